#pragma once

#include "config/ConnectionTable.h"
#include "config/Limits.h"
#include "config/RefusalLog.h"
#include "logging/Logs.h"
#include "outputs/OutputFigures.h"
#include "outputs/OutputSocket.h"
#include "outputs/OutputsRelay.h"
#include "platform/SocketArray.h"
#include "platform/Time.h"

#include <QList>
#include <QObject>
#include <QTimer>
#include <array>
#include <map>
#include <optional>

class adoQuorlan;
class CoreEvents;

namespace history {
class PageTrail;
enum class TrailEvent : quint8;
} // namespace history
class ErrorCodes;
class Logs;

// What became of a packet handed to an output's socket, before anything of it
// is told: the lines and warnings wait until what had to be stored is stored.
struct SendOutcome {
    bool taken = false;   // sent, or queued behind the send in progress
    bool stalled = false; // the client had stopped reading and was closed
    // Places in the store's burst of what the stalled client had not acknowledged.
    QList<int> undelivered;
    QString error; // the socket refused the send (ErrorCode::SendDataOutputs)
};

// The hidden window of the output connections: one listening socket per active
// output, the heartbeat that keeps them up, and the idle message.
class frmOutputSockets : public QObject {
    Q_OBJECT
public:
    frmOutputSockets(adoQuorlan& db, platform::Time time, ErrorCodes& warnings, Logs& logs,
                     CoreEvents& events, OutputsRelay& relay, history::PageTrail& trail);

    // The settings read at start-up, for the idle message.
    void SetSettings(const OutputSettings& settings) { settings_ = settings; }

    // Output i as loaded, and its socket.
    const OutputSocket& Entry(int index) const { return gOutputs[index]; }
    const platform::SocketControl& Socket(int index) const { return wskOutputs[index]; }

    // What monitoring reads of output i, in use (below gOutputCount). Outputs
    // of one Description share their figures.
    const OutputFigures& Figures(int index) const { return *figures_[index]; }

    // The address the output ports listen on: OutputsLocalIP, or this host's.
    QString ListenAddress() const;

    // Loading from the Outputs table.
    void LoadOutputClients();
    // Makes every output's route again from its Route column (and the
    // aliases it names).
    void RouteOutputs();
    void RequestUpdateOutputClients();
    void CheckOuputsPostUpdate();

    // The connections.
    // Sends a packet, or queues it behind the send in progress; false when the
    // client cannot take it. For a packet read from the store, its row is
    // deleted once the send that carries it has been written.
    bool SendDataOutputs(int index, const QueuedPacket& packet);
    // SendDataOutputs in two steps, for a burst of sends whose stores go to
    // the disk together: TrySend does what the sockets must, writes no line
    // and adds what a stalled client did not take to `stores`; TellSend,
    // after the stores are committed, writes the lines and warnings.
    SendOutcome TrySend(int index, const QueuedPacket& packet, Undelivered& stores);
    void TellSend(int index, const SendOutcome& outcome, const Undelivered& stores);
    // The plain case of SendDataOutputs only: a connected client with room
    // takes the packet, and nothing is logged. False leaves all as it was, for
    // SendDataOutputs to deal with, and tell of, whatever stood in the way.
    // `pageID` is the page's identifier in the history (0: none).
    bool SendAtOnce(int index, const QByteArray& packet, qint64 pageID = 0);
    // A packet taken waits behind the send in progress, not yet on its way to
    // the client (it could not go ahead of that send's completion).
    bool WaitsBehindSend(int index) const {
        return gOutputs[index].Sending.Pending().size() > wskOutputs[index].AheadBytes();
    }
    // Within a HeldSendScope, this output's client is sent what comes next
    // together with what it is sent now, when the scope lets the sends go.
    void HoldSends(int index) { wskOutputs[index].HoldSends(); }
    // A stored row is on its way to this output's client.
    bool CarriesStoredRow(int index) const { return gOutputs[index].Queue.CarriesStoredRow(); }
    void UpdateOutputClients();
    // Tells the history of the pages each client's end has acknowledged
    // since its last send completed (the one-second tick).
    void NoteTaken();
    void ResetStreamActivityTimer();
    void tmrWskOutputs_Timer();
    void StartTimer();
    // Unloading the window destroys its sockets, which closes every connection.
    void Unload();
    // Writes the refusals counted and not yet told (at shutdown).
    void FlushRefusals() { refusals_.Flush(); }

    void wskOutputs_ConnectionRequest(int index, qint32 requestID);
    void wskOutputs_Connect(int index);
    void wskOutputs_DataArrival(int index, qint64 bytesTotal);
    void wskOutputs_SendComplete(int index);
    void wskOutputs_Close(int index);
    void wskOutputs_Error(int index, int number, const QString& description);

private:
    std::array<OutputSocket, kOutputSlots> gOutputs;
    platform::SocketArray wskOutputs;
    QTimer tmrWskOutputs;
    QDateTime IdleDeadline; // null: long past, so the first idle tick sends one

    ConnectionTable<OutputSocket, kOutputSlots> connectionTable();
    void ListenOnPort(int index);
    bool ClosePort(int index);
    void releaseOldPort(int index);
    bool PeerAllowed(int index, qint32 requestID);
    bool StoppedReading(int index);
    void CloseStalledClient(int index);
    void closeStalled(int index, SendOutcome& outcome, Undelivered& stores);
    QString stalledText(int index) const;
    qint64 WaitingBytes(int index);
    bool HasRoomFor(int index, qint64 bytes);
    void Take(int index, const QueuedPacket& packet);
    void ProcessClientData(int index, const QByteArray& rx);
    void tellTrail(int index, const std::vector<TrailMark>& marks, history::TrailEvent event);

    void log(const QString& text);
    void log(const QByteArray& text);

    // The figures by Description, kept while a row of that Description is in
    // use, and each slot's; a slot not in use counts into `unbound_`.
    OutputFigures& figures(int index) { return *figures_[index]; }
    void bindFigures();
    std::map<QString, OutputFigures> figuresByDescription_;
    OutputFigures unbound_;
    std::array<OutputFigures*, kOutputSlots> figures_{};

    adoQuorlan& db_;
    platform::Time time_;
    ErrorCodes& warnings_;
    Logs& logs_;
    CoreEvents& events_;
    OutputsRelay& relay_;
    history::PageTrail& trail_;
    OutputSettings settings_;
    RefusalLog refusals_; // peers that AllowFrom turned away
    // Held through a pass of send completions: the packets that waited go to
    // every client before the first "Send Complete" line is written.
    std::optional<Logs::LineBatch> completionLines_;
};
