#pragma once

// How many rows of each connection table the relay uses; rows beyond these are
// loaded into no socket.
constexpr int kMaxOutputs = 50;
constexpr int kMaxTelstra = 2;
// The connection arrays keep one slot beyond the rows in use.
constexpr int kOutputSlots = kMaxOutputs + 1;
constexpr int kTelstraSlots = kMaxTelstra + 1;
