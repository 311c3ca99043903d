#include "SatelliteStream.h"

#include "PocsagCodewords.h"

namespace sim {

namespace {

constexpr int kBatchCodewords = 16;

void AppendComplemented(QByteArray& out, quint32 codeword) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(char(~(codeword >> shift) & 0xFFu));
}

void PadWithIdle(QList<quint32>& codewords) {
    while (codewords.size() % kBatchCodewords != 0)
        codewords.append(kIdleCodeword);
}

QByteArray BlockHeader(const StreamOptions& options) {
    QByteArray header;
    header.append(options.frequency == 2 ? '2' : '0');
    header.append("00"); // two bytes the relay does not read
    header.append(options.rate == 1200 ? '1' : '0');
    return header;
}

} // namespace

QByteArray BlockMarker() {
    return QByteArray("\x29\x29\x29\x52\x04", 5);
}

QList<quint32> PageCodewords(const Page& page) {
    QList<quint32> codewords{AddressCodeword(page.ric, page.function - 'A')};
    if (page.type == 'N')
        codewords += NumericMessage(page.text);
    else if (page.type == 'A')
        codewords += AlphaMessage(page.text);
    return codewords;
}

QList<quint32> LayBatches(const QList<Page>& pages) {
    QList<quint32> codewords;
    for (const Page& page : pages) {
        const int frame = int(page.ric & 7);
        while ((codewords.size() % kBatchCodewords) / 2 != frame)
            codewords.append(kIdleCodeword);
        codewords += PageCodewords(page);
    }
    codewords.append(kIdleCodeword);
    PadWithIdle(codewords);
    return codewords;
}

QByteArray FrameBlocks(const QList<QList<quint32>>& blocks, const StreamOptions& options) {
    QByteArray out = BlockMarker();
    for (QList<quint32> block : blocks) {
        if (block.isEmpty())
            block.append(kIdleCodeword);
        PadWithIdle(block);
        out.append(BlockHeader(options));
        out.append(QByteArray(options.preambleBytes, char(0xAA)));
        for (qsizetype i = 0; i < block.size(); ++i) {
            if (i % kBatchCodewords == 0)
                AppendComplemented(out, kSyncCodeword);
            AppendComplemented(out, block[i]);
        }
        out.append(BlockMarker());
    }
    return out;
}

QByteArray EncodeStream(const QList<Page>& pages, const StreamOptions& options) {
    QList<QList<quint32>> blocks;
    const int perBlock = qMax(1, options.pagesPerBlock);
    for (qsizetype first = 0; first < pages.size(); first += perBlock)
        blocks.append(LayBatches(pages.mid(first, perBlock)));
    return FrameBlocks(blocks, options);
}

} // namespace sim
