// The output connections' lifecycle: listen, accept one client, send with a
// one-deep queue, the five-second heartbeat and the idle message.

#include "outputs/frmOutputSockets.h"

#include "config/ErrorCodes.h"
#include "config/SettingValues.h"
#include "config/adoQuorlan.h"
#include "history/PageTrail.h"
#include "logging/Logs.h"
#include "logging/PeerBytes.h"
#include "outputs/AllowFrom.h"
#include "outputs/DummyMessage.h"
#include "outputs/PagePacket.h"
#include "platform/Error.h"
#include "platform/PlainAddress.h"
#include "platform/YieldToWoken.h"

namespace {

const char kSTX = '\x02';
const char kACK = '\x06';
const char kETX = '\x03';

// How often the idle check runs, and how long the outputs may go without a
// packet before the idle message goes out.
constexpr std::chrono::milliseconds kIdleCheckInterval{5000};
constexpr qint64 kIdleSeconds = 15;
// How long an output port may listen without its socket answering the
// heartbeat before it is closed and opened again.
constexpr qint64 kListeningHeartbeatSeconds = 60;

// What a client sends is logged, but a client that floods must not fill the
// disk with it: long data is cut, and its size is said. Its control bytes are
// shown as codes, so that it cannot write lines of its own into the log.
QByteArray Shown(const QByteArray& data) {
    constexpr qsizetype kLongest = 1000;
    if (data.size() <= kLongest)
        return EscapedPeerBytes(data);
    return EscapedPeerBytes(data.left(kLongest)) + "... [" + QByteArray::number(data.size()) +
           " bytes]";
}

} // namespace

frmOutputSockets::frmOutputSockets(adoQuorlan& db, platform::Time time, ErrorCodes& warnings,
                                   Logs& logs, CoreEvents& events, OutputsRelay& relay,
                                   history::PageTrail& trail)
    : db_(db), time_(time), warnings_(warnings), logs_(logs), events_(events), relay_(relay),
      trail_(trail),
      refusals_(QStringLiteral("Connection"), [this](const QString& line) { log(line); }) {
    figures_.fill(&unbound_);
    tmrWskOutputs.setInterval(kIdleCheckInterval);
    connect(&tmrWskOutputs, &QTimer::timeout, this, &frmOutputSockets::tmrWskOutputs_Timer);
    connect(&wskOutputs, &platform::SocketArray::ConnectionRequest, this,
            &frmOutputSockets::wskOutputs_ConnectionRequest);
    connect(&wskOutputs, &platform::SocketArray::Connect, this,
            &frmOutputSockets::wskOutputs_Connect);
    connect(&wskOutputs, &platform::SocketArray::DataArrival, this,
            &frmOutputSockets::wskOutputs_DataArrival);
    connect(&wskOutputs, &platform::SocketArray::SendComplete, this,
            &frmOutputSockets::wskOutputs_SendComplete);
    connect(&wskOutputs, &platform::SocketArray::Close, this, &frmOutputSockets::wskOutputs_Close);
    connect(&wskOutputs, &platform::SocketArray::Error, this, &frmOutputSockets::wskOutputs_Error);
    connect(&platform::SendCompletions(), &platform::SendCompletionPass::Starting, this,
            [this] { completionLines_.emplace(logs_); });
    connect(&platform::SendCompletions(), &platform::SendCompletionPass::Done, this,
            [this] { completionLines_.reset(); });
}

void frmOutputSockets::log(const QString& text) {
    logs_.LogOutput(text);
}

void frmOutputSockets::log(const QByteArray& text) {
    logs_.LogOutput(text);
}

void frmOutputSockets::StartTimer() {
    tmrWskOutputs.start();
}

void frmOutputSockets::Unload() {
    tmrWskOutputs.stop();
    wskOutputs.UnloadAll();
}

QString frmOutputSockets::ListenAddress() const {
    return db_.GetStartUpKey(QStringLiteral("OutputsLocalIP"), platform::SocketControl::LocalIP());
}

void frmOutputSockets::ListenOnPort(int i) {
    OutputSocket& e = gOutputs[i];
    try {
        platform::SocketControl& socket = wskOutputs[i];
        socket.LocalPort = PortValue(e.Port);
        // A list that cannot be read must not let everyone in: the port stays
        // closed until it is mended.
        AllowFrom::Parse(e.AllowFrom, e.Description);
        const QString ip = ListenAddress();
        // An empty address would listen on every interface of the machine
        // without a word; it, and one the socket cannot read, are reported by
        // the setting's name.
        if (QHostAddress(ip).isNull())
            throw platform::Error(QStringLiteral("OutputsLocalIP \"%1\" is not an address of "
                                                 "this machine: output ports do not listen")
                                      .arg(ip));
        socket.Bind(socket.LocalPort, ip);
        // Bind only records the address; Listen binds the port. A port that
        // another program holds fails there and must not be said to be bound.
        socket.Listen();
        log(QStringLiteral("System: Outputs bound to Local IP stack  ") + ip);
        log(QStringLiteral("System: Reset to Listen on port ") + e.Port + QStringLiteral("   ") +
            e.Description);
        e.Active = true;
    } catch (const platform::Error& error) {
        warnings_.ShowWarning(ErrorCode::ListenOnPort, error.text(), i);
    }
}

bool frmOutputSockets::ClosePort(int i) {
    OutputSocket& e = gOutputs[i];
    if (!e.Sending.Ready()) {
        log(QStringLiteral("System: Can not close. Socket busy. ") + e.Port +
            QStringLiteral("   ") + e.Description);
        return false;
    }
    platform::SocketControl& socket = wskOutputs[i];
    if (socket.State() != platform::SocketState::Closed) {
        log(QStringLiteral("System: Close port ") + e.Port + QStringLiteral("   ") + e.Description);
        socket.Close();
    }
    figures(i).NoteConnected(false, time_.Now());
    e.Sending.Hold(e.Queue.DropSend());
    e.Status = OutputSocket::Valid;
    return true;
}

bool frmOutputSockets::SendDataOutputs(int i, const QueuedPacket& packet) {
    SendOutcome outcome;
    relay_.InStoreBurst([&](Undelivered& stores) { outcome = TrySend(i, packet, stores); },
                        [&](const Undelivered& stores) { TellSend(i, outcome, stores); });
    return outcome.taken;
}

SendOutcome frmOutputSockets::TrySend(int i, const QueuedPacket& packet, Undelivered& stores) {
    SendOutcome outcome;
    try {
        if (wskOutputs[i].State() != platform::SocketState::Connected)
            return outcome;
        if (!HasRoomFor(i, packet.packet.size())) {
            // What the client holds is stored; this packet is not taken, so
            // the caller stores it (or, for a stored row, leaves it stored).
            closeStalled(i, outcome, stores);
            return outcome;
        }
        Take(i, packet);
        outcome.taken = true;
    } catch (const platform::Error& error) {
        outcome.error = error.text();
    }
    return outcome;
}

void frmOutputSockets::TellSend(int i, const SendOutcome& outcome, const Undelivered& stores) {
    if (outcome.stalled) {
        const QString text = stalledText(i);
        log(text);
        warnings_.ShowWarning(ErrorCode::CloseStalledClient, text, i);
        for (const int place : outcome.undelivered)
            stores.Tell(place);
    }
    if (!outcome.error.isEmpty())
        warnings_.ShowWarning(ErrorCode::SendDataOutputs, outcome.error, i);
}

bool frmOutputSockets::SendAtOnce(int i, const QByteArray& packet, qint64 pageID) {
    if (wskOutputs[i].State() != platform::SocketState::Connected || !HasRoomFor(i, packet.size()))
        return false;
    try {
        Take(i, QueuedPacket{packet, 0, {}, {pageID, 0}});
        return true;
    } catch (const platform::Error&) {
        return false; // SendDataOutputs meets it again and reports it
    }
}

bool frmOutputSockets::HasRoomFor(int i, qint64 bytes) {
    const qint64 waiting = gOutputs[i].Sending.Pending().size() + wskOutputs[i].BytesToWrite();
    return waiting == 0 || waiting + bytes <= kClientQueueLimit;
}

// A send the socket refuses raises before anything changed.
void frmOutputSockets::Take(int i, const QueuedPacket& packet) {
    OutputSocket& e = gOutputs[i];
    const bool sentNow = e.Sending.Send(wskOutputs[i], packet.packet);
    e.Queue.Queue(packet);
    const QDateTime now = time_.Now();
    if (sentNow)
        e.Queue.StartSend(now);
    // A stored row is deleted once its send is told complete: until then a
    // restart would send it again, so that is not left for later.
    if (packet.storedMessID != 0)
        wskOutputs[i].CompleteSoon();
    OutputFigures& counted = figures(i);
    if (packet.storedMessID == 0)
        counted.CountSent(now);
    counted.lastSend = now;
    if (IsPagePacket(packet.packet))
        counted.lastPage = now;
}

qint64 frmOutputSockets::WaitingBytes(int i) {
    const platform::SocketControl& socket = wskOutputs[i];
    return gOutputs[i].Sending.Pending().size() + socket.BytesToWrite() +
           socket.UnacknowledgedBytes();
}

bool frmOutputSockets::StoppedReading(int i) {
    const platform::SocketControl& socket = wskOutputs[i];
    const qint64 acknowledged = socket.BytesWritten() - socket.UnacknowledgedBytes();
    return gOutputs[i].Queue.Stalled(acknowledged, WaitingBytes(i), time_.Now());
}

QString frmOutputSockets::stalledText(int i) const {
    return QStringLiteral("System: Client ") + gOutputs[i].Description +
           QStringLiteral(" stopped reading. Closing port ") + gOutputs[i].Port;
}

// What the client did not take is stored whatever its socket did (a failure
// of the socket reaches the heartbeat, which reports it).
void frmOutputSockets::CloseStalledClient(int i) {
    SendOutcome outcome;
    relay_.InStoreBurst([&](Undelivered& stores) { closeStalled(i, outcome, stores); },
                        [&](const Undelivered& stores) { TellSend(i, outcome, stores); });
}

// A client that stopped reading would hold its packets for as long as it stays
// connected, and lose them all when it goes. It is closed at once, with a
// reset so that nothing more reaches it on this connection, and every packet it
// did not acknowledge is stored, oldest first, for when it returns.
void frmOutputSockets::closeStalled(int i, SendOutcome& outcome, Undelivered& stores) {
    OutputSocket& e = gOutputs[i];
    platform::SocketControl& socket = wskOutputs[i];
    outcome.stalled = true;
    // The reset follows the count at once: the network stack goes on sending
    // while the connection is open (a window probe can take more), and a
    // packet that reached the client after the count would be stored as well.
    const qint64 notAcknowledged = socket.UnacknowledgedBytes() + socket.BytesToWrite();
    socket.CloseDiscarding();
    const std::vector<QueuedPacket> undelivered = e.Queue.TakeUndelivered(notAcknowledged);
    for (const QueuedPacket& packet : undelivered)
        if (packet.storedMessID == 0) // a row still stored stays where it is
            outcome.undelivered << stores.Add(i, packet.packet, packet.mark);
    e.Sending.Restart();
    e.Status = OutputSocket::PeerClosed;
    e.StatusTime = time_.Now();
    ++figures(i).closedStoppedReading;
    figures(i).NoteConnected(false, e.StatusTime);
    try {
        socket.Listen();
    } catch (const platform::Error&) {
        // The heartbeat finds the socket closed and opens it again.
    }
}

void frmOutputSockets::UpdateOutputClients() {
    refusals_.Tick(time_.Now());
    // A client is judged by its sends as they are, told complete or not.
    platform::TellSendCompletionsNow();
    for (int i = 0; i < db_.gOutputCount; ++i) {
        OutputSocket& e = gOutputs[i];
        if (e.Status == OutputSocket::Empty || !e.Active)
            continue;
        switch (wskOutputs[i].State()) {
        case platform::SocketState::Connected:
            if (StoppedReading(i)) {
                CloseStalledClient(i);
                break;
            }
            if (e.Status != OutputSocket::Connected) {
                e.StatusTime = time_.Now();
                log(QStringLiteral("System: Port ") + e.Port + QStringLiteral(" connected to ") +
                    e.Description);
            }
            e.Status = OutputSocket::Connected;
            break;
        case platform::SocketState::Listening:
            e.Status = OutputSocket::Listening;
            if (e.StatusTime.addSecs(kListeningHeartbeatSeconds) < time_.Now()) {
                log(QStringLiteral("System: Socket heart beat has failed. Closing port ") + e.Port +
                    QStringLiteral("   ") + e.Description);
                ClosePort(i);
                e.StatusTime = time_.Now();
                warnings_.ShowWarning(
                    ErrorCode::UpdateOutputClients,
                    e.Description +
                        QStringLiteral(" has heartbeat failure. There is no TCP connection."),
                    i);
            }
            break;
        case platform::SocketState::Closed:
            ListenOnPort(i);
            break;
        case platform::SocketState::Closing:
            ClosePort(i);
            break;
        default:
            log(QStringLiteral("System: Port ") + e.Port + QStringLiteral("   ") + e.Description +
                QStringLiteral(" in transition"));
            break;
        }
    }
}

void frmOutputSockets::ResetStreamActivityTimer() {
    IdleDeadline = time_.Now().addSecs(kIdleSeconds);
}

void frmOutputSockets::tmrWskOutputs_Timer() {
    try {
        if (!IdleDeadline.isValid() || IdleDeadline < time_.Now()) {
            IdleDeadline = time_.Now().addSecs(kIdleSeconds);
            relay_.RelayToOutputs(
                DummyMessage(time_.TimeText(), settings_.incomingPktType, settings_.serverID));
        }
    } catch (const std::exception& error) {
        log(QStringLiteral("System: Idle message failed: ") + QString::fromLocal8Bit(error.what()));
    }
}

void frmOutputSockets::wskOutputs_ConnectionRequest(int i, qint32 requestID) {
    try {
        platform::SocketControl& socket = wskOutputs[i];
        if (!PeerAllowed(i, requestID))
            return;
        if (socket.State() != platform::SocketState::Closed)
            socket.Close();
        gOutputs[i].Sending.Hold(gOutputs[i].Queue.DropSend());
        log(QStringLiteral("Event: Incoming request on port [%1]   ").arg(requestID) +
            gOutputs[i].Description);
        socket.Accept(requestID);
        figures(i).NoteConnected(true, time_.Now());
        warnings_.Ended(AlarmCondition::OutputConnected, i);
    } catch (const platform::Error& error) {
        warnings_.ShowWarning(ErrorCode::OutputsConnectionRequest, error.text(), i);
    }
}

// Whoever connects first is sent the output's pages, and while connected
// keeps its client out. A peer the output does not allow is refused before
// anything is closed: the request is not accepted, so the control refuses it
// and the port goes on listening (or serving its client) as it was.
bool frmOutputSockets::PeerAllowed(int i, qint32 requestID) {
    const OutputSocket& e = gOutputs[i];
    if (e.AllowFrom.trimmed().isEmpty())
        return true;
    const QHostAddress peer = PlainAddress(wskOutputs[i].RequestPeerAddress(requestID));
    bool allowed = false;
    try {
        allowed = AllowFrom::Parse(e.AllowFrom, e.Description).Allows(peer);
    } catch (const platform::Error&) {
        // A list that cannot be read allows no one; ListenOnPort reports it.
    }
    if (allowed)
        return true;
    ++figures(i).closedRefused;
    // Tried again and again, refusals are counted rather than each logged.
    const QString place =
        QStringLiteral(" on port ") + e.Port + QStringLiteral("   ") + e.Description;
    if (refusals_.Refused(peer.toString(), place, time_.Now()))
        log(QStringLiteral("Event: Refused connection from ") + peer.toString() + place);
    return false;
}

void frmOutputSockets::wskOutputs_Connect(int i) {
    log(QStringLiteral("Event: Connection on socket %1   ").arg(i) + gOutputs[i].Description);
}

void frmOutputSockets::wskOutputs_DataArrival(int i, qint64) {
    try {
        const QByteArray data = wskOutputs[i].GetData();
        log(QByteArray("Event: New data on socket ") + QByteArray::number(i) + "  --> " +
            Shown(data));
        ProcessClientData(i, data);
    } catch (const platform::Error& error) {
        warnings_.ShowWarning(ErrorCode::OutputsDataArrival, error.text(), i);
    }
}

void frmOutputSockets::wskOutputs_SendComplete(int i) {
    OutputSocket& e = gOutputs[i];
    SendCompletion done;
    try {
        platform::SocketControl& socket = wskOutputs[i];
        done = e.Queue.CompleteSend(socket.UnacknowledgedBytes());
        const QByteArray next = e.Sending.Complete(socket);
        if (!next.isEmpty()) {
            platform::YieldToWoken(); // at the end of the pass
            log(QByteArray("System: Send Complete -> ") + next);
            e.Queue.StartSend(time_.Now());
        }
    } catch (const platform::Error& error) {
        warnings_.ShowWarning(ErrorCode::SendDataOutputs, error.text(), i);
    }
    figures(i).resent += static_cast<qint64>(done.stored.size());
    for (const QueuedPacket& packet : done.stored)
        relay_.StoredPacketSent(i, packet);
    tellTrail(i, done.sent, history::TrailEvent::Sent);
    tellTrail(i, done.taken, history::TrailEvent::Taken);
}

void frmOutputSockets::NoteTaken() {
    for (int i = 0; i < db_.gOutputCount; ++i) {
        const platform::SocketControl& socket = wskOutputs[i];
        if (socket.State() == platform::SocketState::Connected)
            tellTrail(i, gOutputs[i].Queue.Acknowledged(socket.UnacknowledgedBytes()),
                      history::TrailEvent::Taken);
    }
}

// A live page is known to the history by its identifier; a packet sent from
// the store, by the copy it was read from.
void frmOutputSockets::tellTrail(int i, const std::vector<TrailMark>& marks,
                                 history::TrailEvent event) {
    for (const TrailMark& mark : marks) {
        if (mark.pageID != 0)
            trail_.PageEvent(mark.pageID, gOutputs[i].Description, event);
        else if (mark.copyID != 0)
            trail_.CopyEvent(mark.copyID, event);
    }
}

void frmOutputSockets::wskOutputs_Close(int i) {
    OutputSocket& e = gOutputs[i];
    try {
        log(QStringLiteral("Event: Remote close request on socket %1  ").arg(i) + e.Description);
        ++figures(i).closedDropped;
        figures(i).NoteConnected(false, time_.Now());
        platform::SocketControl& socket = wskOutputs[i];
        // What went ahead on the connection the client closed was read or
        // lost with it, as what was written: not sent to the next client.
        e.Sending.Restart(e.Queue.DropSend(socket.AheadBytes()));
        e.Status = OutputSocket::PeerClosed;
        socket.Close();
        socket.Listen();
    } catch (const platform::Error& error) {
        warnings_.ShowWarning(ErrorCode::OutputsClose, error.text(), i);
    }
}

void frmOutputSockets::wskOutputs_Error(int i, int, const QString& description) {
    OutputSocket& e = gOutputs[i];
    log(QStringLiteral("Event: Error on Connection Request. Port ") + e.Port +
        QStringLiteral("   ") + e.Description + QStringLiteral(" reports ") + description);
    wskOutputs[i].Close();
    if (figures(i).connected)
        ++figures(i).closedDropped;
    figures(i).NoteConnected(false, time_.Now());
    e.Status = OutputSocket::Valid;
    // The send in progress died with the socket: without this the output would
    // stay "busy" for ever and queue without sending. What was queued behind it
    // stays queued and goes out to the next client.
    e.Sending.Restart(e.Queue.DropSend());
}

void frmOutputSockets::ProcessClientData(int i, const QByteArray& rx) {
    OutputSocket& e = gOutputs[i];
    if (rx.isEmpty())
        return;
    if (rx.at(0) == kSTX && rx.size() == 3) {
        if (rx.at(1) == kACK && rx.at(2) == kETX)
            e.StatusTime = time_.Now();
    } else if (rx.at(0) == kSTX) {
        log(QByteArray("System: Data on Port ") + e.Port.toUtf8() + " --> " + Shown(rx));
        e.StatusTime = time_.Now();
    } else {
        log(QByteArray("System: Not a STX packet on Port ") + e.Port.toUtf8() + " --> " +
            Shown(rx));
    }
}
