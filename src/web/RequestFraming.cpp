#include "web/RequestFraming.h"

#include <algorithm>

namespace web {

namespace {

using Fault = RequestFraming::Fault;

// Longest Content-Length or chunk size read: far above any limit, far below overflow.
constexpr qsizetype kMaxDigits = 15;

bool AllOf(const QByteArray& text, int (*test)(int)) {
    return !text.isEmpty() && text.size() <= kMaxDigits &&
           std::all_of(text.begin(), text.end(), [&](char c) { return test(uchar(c)) != 0; });
}

// The end of the empty line that closes a header block, searched from FROM;
// -1 when the block is not complete.
qsizetype HeaderEnd(const QByteArray& head, qsizetype from) {
    for (qsizetype i = head.indexOf('\n', from); i >= 0; i = head.indexOf('\n', i + 1)) {
        if (i + 1 < head.size() && head[i + 1] == '\n')
            return i + 2;
        if (i + 2 < head.size() && head[i + 1] == '\r' && head[i + 2] == '\n')
            return i + 3;
    }
    return -1;
}

bool IsBlankLine(const QByteArray& line) {
    return line == "\n" || line == "\r\n";
}

struct Framing {
    bool chunked = false;
    bool upgrade = false;
    qint64 length = -1;
    bool malformed = false;
};

void ReadHeader(const QByteArray& name, const QByteArray& value, Framing& framing) {
    if (name == "content-length") {
        const qint64 length = AllOf(value, isdigit) ? value.toLongLong() : -1;
        if (length < 0 || (framing.length >= 0 && framing.length != length))
            framing.malformed = true;
        framing.length = length;
    } else if (name == "transfer-encoding") {
        // Chunked must be the last coding; nothing else frames a request.
        framing.chunked = value.toLower().endsWith("chunked");
        framing.malformed = framing.malformed || !framing.chunked;
    } else if (name == "upgrade") {
        framing.upgrade = true;
    }
}

Framing ReadFraming(const QByteArray& head) {
    Framing framing;
    const QList<QByteArray> lines = head.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            ReadHeader(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed(),
                       framing);
    }
    return framing;
}

} // namespace

Fault RequestFraming::Read(QByteArrayView bytes) {
    while (!bytes.isEmpty() && fault_ == Fault::None) {
        qsizetype used = 0;
        switch (state_) {
        case State::Headers:
            used = readHeaders(bytes);
            break;
        case State::Body:
            used = readBody(bytes);
            break;
        case State::ChunkSize:
            used = readChunkSize(bytes);
            break;
        case State::ChunkData:
            used = readBody(bytes);
            break;
        case State::ChunkEnd:
            used = readChunkEnd(bytes);
            break;
        case State::Trailers:
            used = readTrailers(bytes);
            break;
        case State::Upgrade:
            used = bytes.size();
            countBody(used);
            break;
        }
        seen_ += used;
        bytes = bytes.sliced(used);
        if (complete_) {
            complete_ = false;
            ++requestsRead_;
            waiting_ << seen_;
            if (waiting_.size() > kMaxWaiting)
                fault_ = Fault::TooManyRequests;
        }
    }
    return fault_;
}

qint64 RequestFraming::TakeRequest() {
    return waiting_.isEmpty() ? -1 : waiting_.takeFirst();
}

qsizetype RequestFraming::readHeaders(QByteArrayView bytes) {
    if (head_.isEmpty()) {
        // Empty lines before a request line are allowed, and are not a request.
        const auto blank =
            std::find_if(bytes.begin(), bytes.end(), [](char c) { return c != '\r' && c != '\n'; });
        if (blank != bytes.begin())
            return blank - bytes.begin();
    }
    const qsizetype before = head_.size();
    head_.append(bytes.first(std::min(bytes.size(), kMaxHeaderBytes + 1 - before)));
    const qsizetype end = HeaderEnd(head_, std::max<qsizetype>(0, before - 2));
    if (end < 0) {
        if (head_.size() > kMaxHeaderBytes)
            fault_ = Fault::HeadersTooLarge;
        return head_.size() - before;
    }
    head_.truncate(end);
    headersRead();
    head_.clear();
    return end - before;
}

void RequestFraming::headersRead() {
    const Framing framing = ReadFraming(head_);
    bodyBytes_ = 0;
    if (framing.malformed) {
        fault_ = Fault::Malformed;
    } else if (framing.upgrade) {
        state_ = State::Upgrade; // the server hands the connection on, or refuses it
        complete_ = true;
    } else if (framing.chunked) {
        state_ = State::ChunkSize;
    } else if (framing.length > maxBody_) {
        fault_ = Fault::BodyTooLarge;
    } else if (framing.length > 0) {
        state_ = State::Body;
        remaining_ = framing.length;
    } else {
        complete_ = true;
    }
}

qsizetype RequestFraming::readBody(QByteArrayView bytes) {
    const qsizetype used = qsizetype(std::min<qint64>(bytes.size(), remaining_));
    remaining_ -= used;
    if (state_ == State::ChunkData) {
        countBody(used);
        if (remaining_ == 0)
            state_ = State::ChunkEnd;
    } else if (remaining_ == 0) {
        state_ = State::Headers;
        complete_ = true;
    }
    return used;
}

// Reads into head_ up to the end of a line; a line longer than LIMIT is a
// FAULT. The line is whole when head_ ends in a line feed.
qsizetype RequestFraming::readLine(QByteArrayView bytes, qsizetype limit, Fault fault) {
    const qsizetype feed = bytes.indexOf('\n');
    const qsizetype used = feed < 0 ? bytes.size() : feed + 1;
    if (head_.size() + used > limit) {
        fault_ = fault;
        return used;
    }
    head_.append(bytes.first(used));
    countBody(used);
    return used;
}

qsizetype RequestFraming::readChunkSize(QByteArrayView bytes) {
    const qsizetype used = readLine(bytes, kMaxChunkLine, Fault::Malformed);
    if (fault_ != Fault::None || !head_.endsWith('\n'))
        return used;
    const qsizetype extension = head_.indexOf(';');
    const QByteArray size = (extension < 0 ? head_ : head_.left(extension)).trimmed();
    head_.clear();
    bool hex = AllOf(size, isxdigit);
    const qint64 length = hex ? size.toLongLong(&hex, 16) : -1;
    if (!hex)
        fault_ = Fault::Malformed;
    else if (bodyBytes_ + length > maxBody_)
        fault_ = Fault::BodyTooLarge;
    else if (length == 0)
        state_ = State::Trailers;
    else {
        state_ = State::ChunkData;
        remaining_ = length;
    }
    return used;
}

qsizetype RequestFraming::readChunkEnd(QByteArrayView bytes) {
    const qsizetype used = readLine(bytes, 2, Fault::Malformed);
    if (fault_ != Fault::None || !head_.endsWith('\n'))
        return used;
    if (!IsBlankLine(head_))
        fault_ = Fault::Malformed;
    head_.clear();
    state_ = State::ChunkSize;
    return used;
}

qsizetype RequestFraming::readTrailers(QByteArrayView bytes) {
    const qsizetype used = readLine(bytes, kMaxHeaderBytes, Fault::HeadersTooLarge);
    if (fault_ != Fault::None || !head_.endsWith('\n'))
        return used;
    if (IsBlankLine(head_)) {
        state_ = State::Headers;
        complete_ = true;
    }
    head_.clear();
    return used;
}

void RequestFraming::countBody(qsizetype bytes) {
    bodyBytes_ += bytes;
    if (bodyBytes_ > maxBody_ && fault_ == Fault::None)
        fault_ = Fault::BodyTooLarge;
}

} // namespace web
