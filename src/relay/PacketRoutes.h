#pragma once

#include "publish/PageMessage.h"
#include "routing/Route.h"

#include <QByteArray>
#include <optional>

namespace relay {

// The packet in hand as the routes of the outputs see it: read once, the
// first time a route that is not "every page" asks.
class PacketRoutes {
public:
    void Hold(const QByteArray& packet) {
        packet_ = &packet;
        read_ = false;
    }
    // Whether `route` lets the packet through. What is not a page (a frame
    // notice, the idle or dummy message) goes to every output: clients know
    // by it that the link is alive.
    bool Lets(const routing::Route& route) {
        if (route.Everything())
            return true;
        if (!read_)
            read();
        return !page_ || route.Routes(*page_);
    }

private:
    void read() {
        read_ = true;
        page_.reset();
        fields_ = publish::ReadPage(*packet_);
        if (fields_)
            page_.emplace(routing::PageFacts{fields_->rate, fields_->frequency, fields_->function,
                                             fields_->address, fields_->type, fields_->text});
    }

    const QByteArray* packet_ = nullptr;
    bool read_ = false;
    std::optional<publish::PageFields> fields_;
    std::optional<routing::RoutedPage> page_;
};

} // namespace relay
