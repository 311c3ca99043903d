#pragma once

#include "platform/SocketControl.h"

#include <QObject>
#include <memory>
#include <vector>

namespace platform {

// Socket controls by index, as a window holds them: element 0 always exists,
// the others are created on demand, and destroying the array closes them all.
// Every event carries the index of the element that raised it.
class SocketArray : public QObject {
    Q_OBJECT
public:
    explicit SocketArray(QObject* parent = nullptr);
    ~SocketArray() override;

    SocketControl& operator[](int index);
    const SocketControl& operator[](int index) const;
    bool Exists(int index) const {
        return index >= 0 && static_cast<size_t>(index) < elements_.size() &&
               elements_[static_cast<size_t>(index)];
    }
    void Load(int index);
    // Destroys every element and closes their connections; element 0 comes back empty.
    void UnloadAll();
    // SocketControl::LimitReading for every element, loaded now or later.
    void LimitReading(qint64 bytes);

signals:
    void Connect(int index);
    void ConnectionRequest(int index, qint32 requestID);
    void DataArrival(int index, qint64 bytesTotal);
    void SendComplete(int index);
    void Close(int index);
    void Error(int index, int number, const QString& description);

private:
    SocketControl& element(int index) const;

    // By index, empty where none is loaded: a packet for 50 clients looks up
    // each client's control several times, and a tree's nodes were each a
    // trip to memory.
    std::vector<std::unique_ptr<SocketControl>> elements_;
    qint64 readLimit_ = 0;
};

} // namespace platform
