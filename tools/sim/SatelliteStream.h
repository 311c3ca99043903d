#pragma once

#include "PageList.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The byte stream the carrier's satellite decoder delivers: blocks, each a
// header (frequency and rate), a preamble and batches of 16 codewords after a
// sync codeword, every codeword byte complemented; a block start marker opens
// the stream and ends each block.
namespace sim {

struct StreamOptions {
    int frequency = 1;      // 1 or 2
    int rate = 1200;        // 512 or 1200 bit/s
    int preambleBytes = 72; // 576 bits of alternating ones and zeros
    int pagesPerBlock = 10;
};

// Address then message codewords of one page.
QList<quint32> PageCodewords(const Page& page);

// The codewords of one block's batches: each address in the frame its RIC
// names, idle codewords where nothing is sent, and at least one idle after the
// last page so that it is complete within the block. A multiple of 16.
QList<quint32> LayBatches(const QList<Page>& pages);

// Frames blocks of batch codewords (each padded with idle codewords to a
// multiple of 16) into the stream.
QByteArray FrameBlocks(const QList<QList<quint32>>& blocks, const StreamOptions& options);

// The whole stream for a page list, pagesPerBlock pages to a block.
QByteArray EncodeStream(const QList<Page>& pages, const StreamOptions& options);

// The start marker of a block, with its fifth byte.
QByteArray BlockMarker();

} // namespace sim
