#pragma once

#include "decoder/SatelliteDecoder2.h"
#include "telstra/DecoderInput.h"

// The satellite decoder as the carrier connections' input.
class SatelliteDecoderInput final : public DecoderInput {
public:
    explicit SatelliteDecoderInput(SatelliteDecoder2& decoder) : decoder_(decoder) {}

    void AppendToSatBuffer(const QByteArray& bytes) override { decoder_.AppendToSatBuffer(bytes); }
    void FrameStream() override { decoder_.FrameStream(); }
    void StartNewStream() override { decoder_.StartNewStream(); }
    qsizetype SatBufferLength() const override { return decoder_.SatBufferLength(); }
    const DecoderCounts& Counts() const override { return decoder_.counts; }

private:
    SatelliteDecoder2& decoder_;
};
