#pragma once

#include "platform/SendTogether.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <chrono>
#include <optional>

class QTcpServer;
class QTcpSocket;

namespace platform {

// Where a socket control stands, by the event-driven control's state numbers.
enum class SocketState {
    Closed = 0,
    Open = 1,
    Listening = 2,
    ConnectionPending = 3,
    ResolvingHost = 4,
    HostResolved = 5,
    Connecting = 6,
    Connected = 7,
    Closing = 8,
    Error = 9
};

// One TCP socket with the event-driven control's state numbers, operations and
// events. It can listen, take over an incoming connection on itself (the
// listener closes, so further clients are refused until it listens again),
// connect out, send and receive byte texts, and close.
class SocketControl : public QObject {
    Q_OBJECT
public:
    explicit SocketControl(QObject* parent = nullptr);
    ~SocketControl() override;

    int LocalPort = 0;
    int RemotePort = 0;
    QString RemoteHost;

    SocketState State() const { return state_; }
    static QString LocalIP();

    void Bind(int localPort, const QString& localIP);
    void Listen();
    void Accept(qint32 requestID);
    void Connect();
    void SendData(const QByteArray& data);
    // Puts `data` on the connection now, ahead of the SendData that will hand
    // it over: bytes that a later SendData begins with and that went ahead are
    // not sent again. Nothing is sent, and false returned, when the network
    // stack takes none of it at once. The sends that went ahead are not counted
    // in BytesToWrite, BytesWritten or UnacknowledgedBytes until handed over.
    bool SendAhead(const QByteArray& data);
    // Bytes sent ahead and not yet handed over by SendData.
    qint64 AheadBytes() const { return ahead_; }
    // Bytes wait for a send to be told complete: the completions of the turn
    // are told at once, not after the bookkeeping delay.
    void CompleteSoon();
    // Within a HeldSendScope, what SendData and SendAhead are given from now
    // on stays in the control (counted in BytesToWrite) until ReleaseSends or
    // the scope's end; outside one, sends go out as ever.
    void HoldSends();
    // What was held goes out as one send.
    void ReleaseSends();
    QByteArray GetData();
    void Close();
    // Takes at most `bytes` from the network at each turn of the event loop
    // (0: no limit), for this and every later connection. A peer that sends
    // faster than the relay handles its bytes is then slowed down by the
    // network instead of piling up in memory.
    void LimitReading(qint64 bytes);

    // The port it listens on, chosen by the system when LocalPort is 0; 0 when
    // it is not listening.
    int ListeningPort() const;
    // The address a pending connection request comes from, an IPv4 caller
    // given as its IPv4 address also when a dual-stack listener took it; a
    // null address when there is no such request.
    QHostAddress RequestPeerAddress(qint32 requestID) const;
    // This end's address of the connection; empty when there is none.
    QString LocalAddress() const;
    // Bytes received and not yet taken by GetData.
    qint64 BytesReceived() const { return received_.size(); }
    // Bytes handed to SendData that the control still holds, not yet given
    // to the system's network stack.
    qint64 BytesToWrite() const;
    // Bytes given to the network stack on this connection so far.
    qint64 BytesWritten() const;
    // Bytes given to the network stack that the peer has not acknowledged
    // yet (0 where the system cannot tell).
    qint64 UnacknowledgedBytes() const;
    // Closes at once with a reset: what the network stack still holds for the
    // peer is thrown away rather than delivered later.
    void CloseDiscarding();
    // Tells SendComplete for a send that went out at once on connection
    // number `connection`, if that is still the connection.
    void CompleteSend(quint64 connection);

signals:
    void ConnectEvent();
    void ConnectionRequest(qint32 requestID);
    void DataArrival(qint64 bytesTotal);
    void SendComplete();
    void CloseEvent();
    void ErrorEvent(int number, const QString& description);

private:
    void onNewConnection();
    void adopt(QTcpSocket* socket);
    void dropSocket();
    void onReadyRead();
    void onBytesWritten(qint64 bytes);
    void onDisconnected();
    void onSocketError();
    qint64 sendNow(const QByteArray& data);
    int sendableDescriptor(const QByteArray& data) const;
    bool connected() const;
    // For HeldSendScope, which sends the held bytes of many controls at once.
    friend class HeldSendScope;
    std::optional<BatchSend> heldToSend() const;
    void sentTogether(qint64 sent);
    void endHold(qint64 sentAtOnce);
    void completeLater();
    qint64 aheadHeld() const;
    qint64 buffered() const;
    qint64 inSocketBuffer() const;
    int descriptor() const;
    qint64 writeToSocket(const char* data, qint64 size);
    void sendHeld(qint64 sent);
    [[noreturn]] void wrongState() const;

    SocketState state_ = SocketState::Closed;
    QHostAddress bindAddress_ = QHostAddress::LocalHost; // until Bind names an address
    QTcpServer* server_ = nullptr;
    // Ours alone: a child of this control that only dropSocket lets go, after
    // clearing this. A plain pointer, read for every packet to every client.
    QTcpSocket* socket_ = nullptr;
    QHash<qint32, QTcpSocket*> pending_;
    qint32 nextRequestID_ = 1;
    QByteArray received_;
    qint64 bytesWritten_ = 0;
    qint64 ahead_ = 0;
    // Whether the socket's own buffer may hold bytes: only our writes fill
    // it, and asking the socket costs a chain of trips to memory for each of
    // 50 clients a packet.
    mutable bool socketBuffered_ = false;
    bool holding_ = false;
    QByteArray held_;
    // What a batch of HeldSendScope sent of held_, for the release to count.
    std::optional<qint64> sentTogether_;
    bool completeWhenReleased_ = false;
    quint64 connection_ = 0; // counts the connections adopted
    qint64 readLimit_ = 0;
};

// How long after a turn's sends that went out at once they are told complete,
// when nothing waits for it.
inline constexpr std::chrono::milliseconds kBookkeepingDelay{5};

// The sends that went out at once are told complete from the event loop, all of
// a turn's together. Starting and Done frame that pass, so that a receiver of
// SendComplete can hold what it does for each send but need not do at once
// (its log lines) until the last: what waited behind the sends then goes out
// to every client before the first line is written.
class SendCompletionPass : public QObject {
    Q_OBJECT
signals:
    void Starting();
    void Done();
};

SendCompletionPass& SendCompletions();

// The completions that wait for the bookkeeping delay are told now.
void TellSendCompletionsNow();

} // namespace platform
