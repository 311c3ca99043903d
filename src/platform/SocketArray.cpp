#include "platform/SocketArray.h"

#include "platform/Error.h"

namespace platform {

SocketArray::SocketArray(QObject* parent) : QObject(parent) {
    Load(0);
}

SocketArray::~SocketArray() {
    elements_.clear();
}

void SocketArray::Load(int index) {
    if (index < 0)
        throw platform::Error(QStringLiteral("Subscript out of range"));
    if (Exists(index))
        throw platform::Error(QStringLiteral("Object already loaded"));
    auto control = std::make_unique<SocketControl>();
    SocketControl* c = control.get();
    c->LimitReading(readLimit_);
    connect(c, &SocketControl::ConnectEvent, this, [this, index] { emit Connect(index); });
    connect(c, &SocketControl::ConnectionRequest, this,
            [this, index](qint32 id) { emit ConnectionRequest(index, id); });
    connect(c, &SocketControl::DataArrival, this,
            [this, index](qint64 total) { emit DataArrival(index, total); });
    connect(c, &SocketControl::SendComplete, this, [this, index] { emit SendComplete(index); });
    connect(c, &SocketControl::CloseEvent, this, [this, index] { emit Close(index); });
    connect(c, &SocketControl::ErrorEvent, this,
            [this, index](int number, const QString& text) { emit Error(index, number, text); });
    if (static_cast<size_t>(index) >= elements_.size())
        elements_.resize(static_cast<size_t>(index) + 1);
    elements_[static_cast<size_t>(index)] = std::move(control);
}

SocketControl& SocketArray::operator[](int index) {
    return element(index);
}

const SocketControl& SocketArray::operator[](int index) const {
    return element(index);
}

SocketControl& SocketArray::element(int index) const {
    if (!Exists(index))
        throw platform::Error(
            QStringLiteral("Control array element '%1' doesn't exist").arg(index));
    return *elements_[static_cast<size_t>(index)];
}

void SocketArray::UnloadAll() {
    elements_.clear();
    Load(0);
}

void SocketArray::LimitReading(qint64 bytes) {
    readLimit_ = bytes;
    for (const std::unique_ptr<SocketControl>& control : elements_)
        if (control)
            control->LimitReading(bytes);
}

} // namespace platform
