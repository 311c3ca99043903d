#pragma once

#include <array>

namespace decoder {

// The bytes the carrier's stream is framed with, as they arrive.

// A block starts with the marker 29 29 29 52 and a fifth byte that carries nothing.
constexpr int kMarkerByte = 0x29;
constexpr int kMarkerLastByte = 0x52;
constexpr int kMarkerFifthByte = 0x04;

// The preamble repeats one byte: 0x55, or 0xAA when the carrier sends it inverted.
constexpr int kPreambleByte = 0x55;
constexpr int kInvertedPreambleByte = 0xAA;

// The sync codeword 7C D2 15 D8, complemented as the carrier sends every codeword.
constexpr std::array<int, 4> kSyncBytes{0x83, 0x2D, 0xEA, 0x27};

} // namespace decoder
