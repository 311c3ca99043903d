#pragma once

#include <array>

// One POCSAG codeword as the framing collects it: elements 4..1 hold bits
// 31..24, 23..16, 15..8 and 7..0 (already un-complemented); elements 0 and 5
// are unused, so that the indices read as the byte numbers of the stream.
using Codeword = std::array<int, 6>;
