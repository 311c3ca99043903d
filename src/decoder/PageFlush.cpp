// Finishing a page: the numeric or alphanumeric choice, the packet and the
// decoder-log line.

#include "decoder/MessagePacket.h"
#include "decoder/SatelliteDecoder2.h"

bool SatelliteDecoder2::IsNumericText(const QByteArray& text) {
    if (text.size() > 20)
        return false;
    // Codes that a numeric pager cannot show mark a 7-bit page.
    return !text.contains('*') && !text.contains('(') && !text.contains(')');
}

void SatelliteDecoder2::FlushPage() {
    page.gMessageText += pocsag.TakeAlphaText();
    // The digits belong to this page whatever it turns out to be, so that no
    // page carries the digits of the one before it.
    const QByteArray digits = pocsag.TakeNumericText();
    const bool numeric = !digits.isEmpty() && IsNumericText(digits);
    QByteArray text;
    if (!page.gMessageText.isEmpty()) {
        page.gMessageType = "A";
        text = page.gMessageText;
        if (page.gMessageText.size() < 12 && numeric) {
            page.gMessageText = "<n>" + digits;
            page.gMessageType = "N";
            text = digits;
        }
    } else if (!page.gPageHeader.isEmpty()) {
        // No 7-bit reading: numeric when the digits say so, else tone only.
        page.gMessageType = numeric ? "N" : "T";
        if (numeric) {
            page.gMessageText = "<n>" + digits;
            text = digits;
        }
    } else {
        return; // idle codewords between pages
    }
    Relay(decoder::MessagePacket(gRate, gFrequency, page.gFunction, page.gAddress,
                                 page.gMessageType, text));
    const QByteArray line = gHeaderSync + page.gPageHeader + page.gMessageText;
    page.gMessageText.clear();
    LogDecoder(line);
    ShowDecoderTrace("[DECODE]\t" + line);
    page.gPageHeader.clear();
    if (!inFrameStream_)
        ShowWindowChanges();
}
