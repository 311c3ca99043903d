// The carrier connections' lifecycle: connect, the heartbeat with its
// three-minute silence limit, closing with a busy counter, and sending.

#include "telstra/frmDecSockets.h"

#include "config/CoreEvents.h"
#include "config/ErrorCodes.h"
#include "config/SettingValues.h"
#include "config/adoQuorlan.h"
#include "logging/Logs.h"
#include "platform/Error.h"
#include "platform/PlainAddress.h"
#include "telstra/DecoderInput.h"

#include <QHostInfo>

namespace {

// What one turn of the event loop takes from a carrier: about 400 pages. A
// carrier sending faster than they are relayed waits in the network; the
// clients' sends go out between the turns, instead of piling up behind a
// megabyte decoded at once until a client that reads well is taken for one
// that stopped.
constexpr qint64 kCarrierReadLimit = qint64{64} * 1024;

// A carrier connection that says nothing for this long is closed and opened again.
constexpr qint64 kSilenceSeconds = qint64{3} * 60;

} // namespace

frmDecSockets::frmDecSockets(adoQuorlan& db, platform::Time time, ErrorCodes& warnings, Logs& logs,
                             CoreEvents& events, DecoderInput& decoder)
    : db_(db), time_(time), warnings_(warnings), logs_(logs), events_(events), decoder_(decoder),
      refusals_(QStringLiteral("Call-in"), [this](const QString& line) { log(line); }) {
    callInLookup_.fill(kNoLookup);
    wskDecoder.LimitReading(kCarrierReadLimit);
    tmrSATInput.setInterval(kSatInputInterval);
    tmrSaTData.setInterval(kSatInputInterval);
    connect(&tmrSATInput, &QTimer::timeout, this, &frmDecSockets::tmrSATInput_Timer);
    connect(&tmrSaTData, &QTimer::timeout, this, &frmDecSockets::tmrSaTData_Timer);
    connect(&wskDecoder, &platform::SocketArray::Connect, this, &frmDecSockets::wskDecoder_Connect);
    connect(&wskDecoder, &platform::SocketArray::ConnectionRequest, this,
            &frmDecSockets::wskDecoder_ConnectionRequest);
    connect(&wskDecoder, &platform::SocketArray::Close, this, &frmDecSockets::wskDecoder_Close);
    connect(&wskDecoder, &platform::SocketArray::Error, this, &frmDecSockets::wskDecoder_Error);
    connect(&wskDecoder, &platform::SocketArray::SendComplete, this,
            &frmDecSockets::wskDecoder_SendComplete);
    connect(&wskDecoder, &platform::SocketArray::DataArrival, this,
            &frmDecSockets::wskDecoder_DataArrival);
}

void frmDecSockets::log(const QString& text) {
    logs_.LogInput(text);
}

void frmDecSockets::StartTimers() {
    tmrSATInput.start();
    tmrSaTData.start();
}

void frmDecSockets::Unload() {
    tmrSATInput.stop();
    tmrSaTData.stop();
    wskDecoder.UnloadAll();
}

void frmDecSockets::ConnectTelstraPort(int i) {
    TelstraSocket& e = gTelstra[i];
    try {
        platform::SocketControl& socket = wskDecoder[i];
        socket.RemotePort = PortValue(e.Port);
        const QString ip = CarrierHost();
        socket.RemoteHost = ip;
        log(QStringLiteral("System: Decoder Socket set to ") + ip + QLatin1Char(':') + e.Port);
        socket.Connect();
        log(QStringLiteral("System: Connect to port ") + e.Port + QStringLiteral("   ") +
            e.Description);
    } catch (const platform::Error& error) {
        warnings_.ShowWarning(ErrorCode::ConnectTelstraPort, error.text(), i);
        log(QStringLiteral("System: Telstra Socket problem starting ") + e.Port +
            QStringLiteral("   ") + e.Description + QStringLiteral(" Windows reports [") +
            error.text() + QLatin1Char(']'));
    }
}

// The carrier's servers: the host every connection goes out to, and the only
// one that may call in.
QString frmDecSockets::CarrierHost() const {
    return db_.GetStartUpKey(QStringLiteral("TelstraLocalIP"), platform::SocketControl::LocalIP());
}

void frmDecSockets::CloseTelstraSocket(int i) {
    TelstraSocket& e = gTelstra[i];
    log(QStringLiteral("System: Close ") + e.Port + QStringLiteral("   ") + e.Description);
    e.Sending.Restart();
    e.Status = TelstraSocket::Closed;
    e.CloseCount = 0;
    feed_.Closed(i, time_.Now());
    wskDecoder[i].Close();
    noteHealth();
}

bool frmDecSockets::CloseTelstraPort(int i) {
    TelstraSocket& e = gTelstra[i];
    if (!e.Sending.Ready()) {
        e.CloseCount += 1;
        if (e.CloseCount > 3) {
            log(QStringLiteral("System: Socket busy. Close counter exceeded. Close NOW ") + e.Port +
                QStringLiteral("   ") + e.Description);
            CloseTelstraSocket(i);
            return false;
        }
        log(QStringLiteral("System: Can not close. Socket busy. ") + e.Port +
            QStringLiteral("   ") + e.Description);
        return false;
    }
    if (wskDecoder[i].State() != platform::SocketState::Closed) {
        log(QStringLiteral("System: Close port ") + e.Port + QStringLiteral("   ") + e.Description);
        CloseTelstraSocket(i);
    }
    e.Status = TelstraSocket::Valid;
    return true;
}

void frmDecSockets::UpdateTelstraClients() {
    refusals_.Tick(time_.Now());
    for (int i = 0; i < db_.gTelstraCount; ++i) {
        TelstraSocket& e = gTelstra[i];
        if (e.Status == TelstraSocket::Empty || !e.Active)
            continue;
        auto heartbeatFailed = [&] {
            log(QStringLiteral("System: Socket heart beat has failed. Closing port ") + e.Port +
                QStringLiteral("   ") + e.Description);
            CloseTelstraPort(i);
            e.StatusTime = time_.Now();
        };
        switch (wskDecoder[i].State()) {
        case platform::SocketState::Connected:
            if (e.Status != TelstraSocket::Connected) {
                e.StatusTime = time_.Now();
                log(QStringLiteral("System: Port ") + e.Port + QStringLiteral(" connected to ") +
                    e.Description);
            } else if (e.StatusTime.addSecs(kSilenceSeconds) < time_.Now()) {
                heartbeatFailed();
            }
            e.Status = TelstraSocket::Connected;
            break;
        case platform::SocketState::Listening:
            e.Status = TelstraSocket::Listening;
            if (e.StatusTime.addSecs(kSilenceSeconds) < time_.Now())
                heartbeatFailed();
            break;
        case platform::SocketState::Closed:
            ConnectTelstraPort(i);
            break;
        case platform::SocketState::Closing:
            CloseTelstraPort(i);
            break;
        default:
            log(QStringLiteral("System: Port ") + e.Port + QStringLiteral("   ") + e.Description +
                QStringLiteral(" in transition"));
            break;
        }
    }
    CheckFeedSilence();
}

bool frmDecSockets::SendDataTelstra(int i, const QByteArray& source) {
    TelstraSocket& e = gTelstra[i];
    try {
        platform::SocketControl& socket = wskDecoder[i];
        if (socket.State() != platform::SocketState::Connected)
            return false;
        if (e.Sending.Ready()) {
            events_.StatusChanged(StatusText::LastTransmit,
                                  time_.TimeText() + QStringLiteral("TX Data"));
            events_.Changed();
        }
        e.Sending.Send(socket, source);
        return true;
    } catch (const platform::Error& error) {
        warnings_.ShowWarning(ErrorCode::SendDataTelstra, error.text(), i);
        CloseTelstraSocket(i);
        return false;
    }
}

void frmDecSockets::wskDecoder_Connect(int i) {
    log(QStringLiteral("Event: Connection on socket %1   ").arg(i) + gTelstra[i].Description);
    streamConnected(i);
}

// The connections share one decoder: a connection that comes while the other
// one still feeds it leaves its block alone.
void frmDecSockets::streamConnected(int i) {
    feed_.Connected(i, time_.Now());
    noteHealth();
    warnings_.Ended(AlarmCondition::CarrierConnected, i);
    if (lastFeed_ >= 0 && lastFeed_ != i && wskDecoder.Exists(lastFeed_) &&
        wskDecoder[lastFeed_].State() == platform::SocketState::Connected)
        return;
    lastFeed_ = i;
    decoder_.StartNewStream();
}

void frmDecSockets::wskDecoder_ConnectionRequest(int i, qint32 requestID) {
    TelstraSocket& e = gTelstra[i];
    try {
        platform::SocketControl& socket = wskDecoder[i];
        // Whoever calls in is taken as the carrier and its bytes as pages, so
        // only the carrier's own host may. Anyone else is refused when this
        // handler returns without accepting, and the socket keeps listening.
        const QHostAddress caller = PlainAddress(socket.RequestPeerAddress(requestID));
        if (!callInFrom_[i].contains(caller)) {
            // Tried again and again, refusals are counted rather than each logged.
            const QString place =
                QStringLiteral(" on port %1   ").arg(socket.ListeningPort()) + e.Description;
            if (refusals_.Refused(caller.toString(), place, time_.Now()))
                log(QStringLiteral("Event: Refused call-in from ") + caller.toString() + place);
            return;
        }
        if (socket.State() != platform::SocketState::Closed)
            CloseTelstraSocket(i);
        log(QStringLiteral("Event: Incoming request on port [%1]   ").arg(requestID) +
            e.Description + QStringLiteral(" from ") + caller.toString());
        socket.Accept(requestID);
        streamConnected(i);
        e.Sending.Restart();
        e.CloseCount = 0;
    } catch (const platform::Error& error) {
        warnings_.ShowWarning(ErrorCode::DecoderConnectionRequest, error.text(), i);
        CloseTelstraSocket(i);
    }
}

void frmDecSockets::wskDecoder_Close(int i) {
    try {
        platform::SocketControl& socket = wskDecoder[i];
        // The call-in is awaited on the address that faced the carrier, not on
        // every interface of the machine.
        const QString local = socket.LocalAddress();
        CloseTelstraSocket(i);
        socket.Bind(0, local);
        socket.Listen();
        LookUpCallInHost(i);
        log(QStringLiteral("System: Listening for the carrier to call in on port %1   ")
                .arg(socket.ListeningPort()) +
            gTelstra[i].Description);
    } catch (const platform::Error& error) {
        warnings_.ShowWarning(ErrorCode::DecoderClose, error.text(), i);
    }
}

// Looked up once for each listen rather than for every caller, so that callers
// cannot make the relay look names up, and off the relay's thread: a DNS that
// does not answer holds the lookup for seconds. Until the answer comes, no
// caller is the carrier's host.
void frmDecSockets::LookUpCallInHost(int i) {
    if (callInLookup_[i] != kNoLookup)
        QHostInfo::abortHostLookup(callInLookup_[i]);
    callInLookup_[i] = kNoLookup;
    callInFrom_[i].clear();
    const QString host = CarrierHost();
    const QHostAddress literal(host);
    if (!literal.isNull()) {
        callInFrom_[i] << PlainAddress(literal);
        return;
    }
    callInLookup_[i] = QHostInfo::lookupHost(host, this, SLOT(callInHostLookedUp(QHostInfo)));
}

// The answer belongs to the socket whose lookup it is; an abandoned one to none.
void frmDecSockets::callInHostLookedUp(const QHostInfo& info) {
    for (int i = 0; i < kTelstraSlots; ++i) {
        if (callInLookup_[i] != info.lookupId())
            continue;
        callInLookup_[i] = kNoLookup;
        for (const QHostAddress& address : info.addresses())
            callInFrom_[i] << PlainAddress(address);
    }
}

void frmDecSockets::wskDecoder_Error(int i, int, const QString& description) {
    TelstraSocket& e = gTelstra[i];
    log(QStringLiteral("Event: Error on Connection Request. Port ") + e.Port +
        QStringLiteral("   ") + e.Description + QStringLiteral(" reports ") + description);
    CloseTelstraSocket(i);
}

void frmDecSockets::wskDecoder_SendComplete(int i) {
    TelstraSocket& e = gTelstra[i];
    try {
        const QByteArray next = e.Sending.Complete(wskDecoder[i]);
        if (!next.isEmpty())
            logs_.LogInput(QByteArray("System: Send Complete -> ") + next);
    } catch (const platform::Error& error) {
        warnings_.ShowWarning(ErrorCode::SendDataTelstra, error.text(), i);
    }
}
