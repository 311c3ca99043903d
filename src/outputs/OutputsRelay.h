#pragma once

#include "outputs/ClientQueue.h"

#include <QByteArray>
#include <QString>
#include <functional>

// The packets one burst of events could not deliver (a page for every away
// client, a stalled client's backlog). The relay above stores them together,
// in one transaction, and tells of each where the caller's order puts it.
class Undelivered {
public:
    // A packet for output `index` (`mark`: what the history knows it by);
    // returns its place, for Tell.
    virtual int Add(int index, const QByteArray& packet, TrailMark mark) = 0;
    // The line of the packet at `place`, once the burst has been stored.
    virtual void Tell(int place) const = 0;

protected:
    ~Undelivered() = default;
};

// All the outputs need of the relay above them: where the idle message goes,
// what becomes of a stored packet once its send is written, and the store for
// what a client could not take.
class OutputsRelay {
public:
    virtual ~OutputsRelay() = default;
    // The idle message goes out as every other packet does.
    virtual void RelayToOutputs(const QByteArray& packet) = 0;
    // The send that carried a stored packet to output `index` has been written.
    virtual void StoredPacketSent(int index, const QueuedPacket& packet) = 0;
    // Runs `attempt`, stores what it added in one transaction, then runs `tell`
    // to write the lines. An exception of `attempt` is passed on once what it
    // added is stored and told.
    virtual void InStoreBurst(const std::function<void(Undelivered&)>& attempt,
                              const std::function<void(const Undelivered&)>& tell) = 0;
};

// The start-up settings the outputs read: the idle message's text.
struct OutputSettings {
    QString serverID;        // ServerID
    QString incomingPktType; // IncomingPktType: "Enhanced" or the normal layout
};
