#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace web {

// Follows the HTTP/1.1 framing of the requests on one connection as their
// bytes arrive (request line and headers, then a body by Content-Length or
// in chunks, then the next request), so that limits hold while a request is
// read rather than after it was read whole. It keeps only a request's
// headers, never a body.
class RequestFraming {
public:
    static constexpr qsizetype kMaxHeaderBytes = qsizetype(16) * 1024;
    static constexpr qsizetype kMaxChunkLine = 256;
    // Requests read whole and not yet taken by the server (pipelined).
    static constexpr int kMaxWaiting = 32;

    // How a connection broke the limits; None while it keeps to them.
    enum class Fault {
        None = 0,
        Malformed = 400,
        BodyTooLarge = 413,
        TooManyRequests = 429,
        HeadersTooLarge = 431,
    };

    explicit RequestFraming(qint64 maxBody) : maxBody_(maxBody) {}

    // Reads the next bytes of the stream.
    Fault Read(QByteArrayView bytes);
    // Between requests, or within a request's line and headers.
    bool InHeaders() const { return state_ == State::Headers; }
    // A request asked to change protocols (a WebSocket): what follows is not HTTP.
    bool Upgrading() const { return state_ == State::Upgrade; }
    // The stream offset just past the oldest request read whole and not yet
    // taken, which is then taken; -1 when there is none.
    qint64 TakeRequest();
    // Bytes of the stream read so far.
    qint64 Seen() const { return seen_; }
    // Requests read whole so far.
    qint64 RequestsRead() const { return requestsRead_; }

private:
    enum class State { Headers, Body, ChunkSize, ChunkData, ChunkEnd, Trailers, Upgrade };

    qsizetype readHeaders(QByteArrayView bytes);
    qsizetype readBody(QByteArrayView bytes);
    qsizetype readChunkSize(QByteArrayView bytes);
    qsizetype readChunkEnd(QByteArrayView bytes);
    qsizetype readTrailers(QByteArrayView bytes);
    qsizetype readLine(QByteArrayView bytes, qsizetype limit, Fault fault);
    void headersRead();
    void countBody(qsizetype bytes);

    qint64 maxBody_;
    State state_ = State::Headers;
    Fault fault_ = Fault::None;
    QByteArray head_; // the request's line and headers, or the line being read
    qint64 remaining_ = 0;
    qint64 bodyBytes_ = 0;
    qint64 seen_ = 0;
    bool complete_ = false; // the bytes just read ended a request
    qint64 requestsRead_ = 0;
    QList<qint64> waiting_;
};

} // namespace web
