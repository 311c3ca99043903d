// Finishing a page: the numeric or alphanumeric choice, the packet and the
// decoder-log line.

#include "decoder/MessagePacket.h"
#include "decoder/SatelliteDecoder2.h"

namespace {

// A 7-bit reading this long is a text page, whatever its digits would say.
constexpr qsizetype kShortestTextOnlyPage = 12;

} // namespace

bool SatelliteDecoder2::IsNumericText(const QByteArray& text) {
    if (text.size() > POCSAG::kLongestNumericText)
        return false;
    // Codes that a numeric pager cannot show mark a 7-bit page.
    return !text.contains('*') && !text.contains('(') && !text.contains(')');
}

void SatelliteDecoder2::FlushPage() {
    if (page.gMessageText.isEmpty() && page.gPageHeader.isEmpty()) {
        // Idle codewords between pages: nothing to send, only digits without
        // a page to drop.
        if (!pocsag.gNumericText.isEmpty())
            pocsag.gNumericText.resize(0);
        return;
    }
    // The digits belong to this page whatever it turns out to be, so that no
    // page carries the digits of the one before it. Their buffer, like the
    // text's, is kept for the next page: a page costs no allocation for them
    // once they have grown.
    QByteArray digits = pocsag.TakeNumericText();
    const QByteArray& text = ChoosePageType(digits);
    CountPage();
    Relay(decoder::MessagePacket(gRate, gFrequency, page.gFunction, page.gAddress,
                                 page.gMessageType, text));
    GiveBackDigits(std::move(digits));
    QByteArray line;
    line.reserve(gHeaderSync.size() + page.gPageHeader.size() + page.gMessageText.size());
    line.append(gHeaderSync).append(page.gPageHeader).append(page.gMessageText);
    page.gMessageText.resize(0);
    LogDecoder(line);
    if (Tracing())
        ShowDecoderTrace("[DECODE]\t" + line);
    page.gPageHeader.resize(0);
    if (!inFrameStream_)
        ShowWindowChanges();
}

void SatelliteDecoder2::CountPage() {
    switch (page.gMessageType.isEmpty() ? 'A' : page.gMessageType.front()) {
    case 'N':
        ++counts.numericPages;
        break;
    case 'T':
        ++counts.tonePages;
        break;
    default:
        ++counts.alphaPages;
        break;
    }
}

// Sets the page's type, and the logged text of a numeric page; returns the
// text its packet carries.
const QByteArray& SatelliteDecoder2::ChoosePageType(QByteArray& digits) {
    const bool numeric = !digits.isEmpty() && IsNumericText(digits);
    if (!page.gMessageText.isEmpty()) {
        page.gMessageType = QByteArrayLiteral("A");
        if (page.gMessageText.size() >= kShortestTextOnlyPage || !numeric)
            return page.gMessageText;
        page.gMessageText = "<n>" + digits;
        page.gMessageType = QByteArrayLiteral("N");
        return digits;
    }
    // No 7-bit reading: numeric when the digits say so, else tone only.
    page.gMessageType = numeric ? QByteArrayLiteral("N") : QByteArrayLiteral("T");
    if (numeric)
        page.gMessageText = "<n>" + digits;
    else
        digits.resize(0);
    return digits;
}

// The digit buffer goes back empty to the next page, unless something has
// been added for that page meanwhile.
void SatelliteDecoder2::GiveBackDigits(QByteArray&& digits) {
    if (!pocsag.gNumericText.isEmpty())
        return;
    digits.resize(0);
    pocsag.gNumericText.swap(digits);
}
