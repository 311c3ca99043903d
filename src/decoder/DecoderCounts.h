#pragma once

#include <QtGlobal>

// What the framing has found since the relay started, counted where it
// happens: plain integers, read by whoever shows them (the carrier feed's
// watch and the metrics). Nothing resets them.
struct DecoderCounts {
    // Block markers found: at the start of a stream, after a lost block, and
    // where the marker of the next block ends a batch. A carrier that sends
    // bytes and no markers sends no frames.
    quint64 blockMarkers = 0;
    // A header whose frequency byte is neither F1's nor F2's.
    quint64 badHeaders = 0;
    // No sync codeword after the preamble, or neither a sync codeword nor the
    // next block's marker where one belongs.
    quint64 badSyncs = 0;
    // Pages relayed, by the type they go out as.
    quint64 alphaPages = 0;   // "A"
    quint64 numericPages = 0; // "N"
    quint64 tonePages = 0;    // "T"
};
