#pragma once

#include "decoder/DecoderCounts.h"

#include <QByteArray>
#include <QtGlobal>

// What the carrier connections need of the decoder they feed: it takes the
// bytes they receive, frames them, starts afresh when a connection opens, and
// says how many bytes wait in it and what it has found.
class DecoderInput {
public:
    virtual ~DecoderInput() = default;

    virtual void AppendToSatBuffer(const QByteArray& bytes) = 0;
    virtual void FrameStream() = 0;
    virtual void StartNewStream() = 0;
    virtual qsizetype SatBufferLength() const = 0;
    // What the framing has found so far: block markers among them.
    virtual const DecoderCounts& Counts() const = 0;
};
