#pragma once

#include "config/ConnectionTable.h"
#include "config/Limits.h"
#include "config/RefusalLog.h"
#include "config/SettingValues.h"
#include "decoder/DecoderCounts.h"
#include "platform/SocketArray.h"
#include "platform/Time.h"
#include "telstra/FeedWatch.h"
#include "telstra/TelstraSocket.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QList>
#include <QObject>
#include <QTimer>
#include <array>
#include <chrono>
#include <optional>

class adoQuorlan;
class CoreEvents;
class DecoderInput;
class ErrorCodes;
class Logs;

// The hidden window of the carrier connections: up to two client sockets to
// the carrier's servers, their heartbeat, and the feed of what they receive
// into the decoder.
class frmDecSockets : public QObject {
    Q_OBJECT
public:
    // The carrier's host is read from the StartUp table at each connection, so
    // that a changed TelstraLocalIP takes effect without a restart.
    frmDecSockets(adoQuorlan& db, platform::Time time, ErrorCodes& warnings, Logs& logs,
                  CoreEvents& events, DecoderInput& decoder);

    // Carrier connection i as loaded, and its socket.
    const TelstraSocket& Entry(int index) const { return gTelstra[index]; }
    const platform::SocketControl& Socket(int index) const { return wskDecoder[index]; }
    // Whether the carrier's host is known for a call-in on socket i: false
    // while its name is being looked up.
    bool CallInHostKnown(int index) const { return callInLookup_[index] == kNoLookup; }

    // Rows of the Telstra table loaded into connections.
    int CarrierCount() const;
    // Whether row i is in use and its connection is up.
    bool Carrying(int index) const;
    // Whether each row's connection brings frames, and the decoder's counts.
    const FeedWatch& Feed() const { return feed_; }
    const DecoderCounts& Counts() const;
    // How long a connected carrier may send no frames before it is quiet
    // (warning 112); 0 never.
    void SetFeedSilenceSeconds(qint64 seconds) { feedSilenceSeconds_ = seconds; }
    qint64 FeedSilenceSeconds() const { return feedSilenceSeconds_; }

    // Loading from the Telstra table.
    void LoadTelstraClients();
    void RequestUpdateTelstraClients();
    void CheckTelstraPostUpdate();

    // The connections.
    void UpdateTelstraClients();
    bool SendDataTelstra(int index, const QByteArray& source);
    bool CloseTelstraPort(int index);
    void Unload();
    // Writes the refused call-ins counted and not yet told (at shutdown).
    void FlushRefusals() { refusals_.Flush(); }

    void wskDecoder_Connect(int index);
    void wskDecoder_ConnectionRequest(int index, qint32 requestID);
    void wskDecoder_Close(int index);
    void wskDecoder_Error(int index, int number, const QString& description);
    void wskDecoder_SendComplete(int index);

    // The decoder input feed.
    void wskDecoder_DataArrival(int index, qint64 bytesTotal);
    // While the decoder frames bytes just received: when they arrived (on a
    // monotonic clock), for timing their packets' dispatch.
    using ArrivalTime = std::chrono::steady_clock::time_point;
    const std::optional<ArrivalTime>& BytesArrived() const { return bytesArrived_; }
    // The connection whose bytes the decoder took last (-1: none yet).
    int LastFeed() const { return lastFeed_; }
    void tmrSATInput_Timer();
    void tmrSaTData_Timer();
    void ResetSAT10mSTimer();
    void tellReceived(int i, const QDateTime& receivedAt, const QString& buffered);
    void StartSAT10mSTimer();
    void StartTimers();

private slots:
    // A slot by name, not a functor: Qt 6.4 never frees a functor's slot
    // object when a lookup is abandoned or still running at exit.
    void callInHostLookedUp(const QHostInfo& info);

private:
    std::array<TelstraSocket, kTelstraSlots> gTelstra;
    platform::SocketArray wskDecoder;
    QByteArray RxData;
    // How often buffered carrier bytes are framed, and the data-gap countdown's step.
    static constexpr std::chrono::milliseconds kSatInputInterval{100};
    // The gap the countdown allows between a block's start and the carrier's next data.
    static constexpr int kDataGapMilliseconds = 1000;
    int SatCountdown = 0;
    QTimer tmrSATInput;
    QTimer tmrSaTData;

    ConnectionTable<TelstraSocket, kTelstraSlots> connectionTable();
    void CloseTelstraSocket(int index);
    void ConnectTelstraPort(int index);
    QString CarrierHost() const;
    void LookUpCallInHost(int index);
    void log(const QString& text);
    void streamConnected(int index);
    // The framing of what the connections brought, noting whose frames it found.
    void frameStream();
    void CheckFeedSilence();
    void noteHealth();

    adoQuorlan& db_;
    platform::Time time_;
    ErrorCodes& warnings_;
    Logs& logs_;
    CoreEvents& events_;
    DecoderInput& decoder_;
    int lastFeed_ = -1; // the connection whose bytes the decoder took last
    std::optional<ArrivalTime> bytesArrived_;
    // The carrier host's addresses, looked up when socket i starts listening
    // for the carrier to call in: no other caller may take its place.
    std::array<QList<QHostAddress>, kTelstraSlots> callInFrom_;
    RefusalLog refusals_; // callers that are not the carrier's host
    // The lookup of the carrier's host under way for socket i.
    static constexpr int kNoLookup = -1;
    std::array<int, kTelstraSlots> callInLookup_{};
    FeedWatch feed_;
    qint64 feedSilenceSeconds_ = kDefaultFeedSilenceSeconds;
};
