#pragma once

#include <QByteArray>

class StoreBurst;

namespace relay {

// What a sink did with a packet.
enum class Taken {
    Delivered, // every destination of the sink has it, or none wanted it
    Queued,    // the sink holds it and passes it on later, by way of the store
    Store,     // a destination could not take it: its copy is in the burst
};

// A destination of relayed packets: the TCP outputs, the MQTT brokers, and
// whatever comes next. The dispatcher hands every packet to each sink in turn,
// stores in one transaction what the sinks could not deliver, and only then
// has each sink tell of the packet: the wire first, the disk once, the lines
// last.
class PacketSink {
public:
    virtual ~PacketSink() = default;
    // Hands the packet to the sink's destinations that can take it now; the
    // copy of each that cannot goes into `stores`. Writes no line.
    virtual Taken Take(const QByteArray& packet, StoreBurst& stores) = 0;
    // The lines that tell of the packet, once `stores` is on the disk.
    virtual void Tell(const QByteArray& packet, const StoreBurst& stores) = 0;
};

} // namespace relay
