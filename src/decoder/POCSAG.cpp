#include "decoder/POCSAG.h"

#include <array>
#include <cstring>
#include <utility>

namespace {

constexpr int kAddressDigits = 7;
constexpr qint32 kLargestAddress = 9999999;

// Sets `target` to `text` in the buffer it already has: a page's address and
// header are set for every page, and need no allocation once they have one.
void Overwrite(QByteArray& target, const char* text, qsizetype length) {
    target.resize(length);
    std::memcpy(target.data(), text, size_t(length));
}

} // namespace

bool POCSAG::ProcessCodeword(int pos, const Codeword& cw) {
    if (cw[4] > 127) {
        gDecoder.StripMsgPOCSAG(cw, page_.gMessageText);
        // Only a short page can go out as numeric: the digits of a longer one
        // are never read, so they are not worked out.
        if (gNumericText.size() <= kLongestNumericText)
            gDecoder.StripNumericMsgPOCSAG(cw, gNumericText);
        return false;
    }
    if (gDecoder.TestIdle(cw))
        return true;
    OpenPage(gDecoder.ConvertAddress(pos, cw), gDecoder.ConvertFunction(cw));
    return false;
}

void POCSAG::OpenPage(qint32 ric, const QByteArray& function) {
    page_.gFunction = function;
    if (ric < 0 || ric > kLargestAddress) {
        page_.gAddress = QByteArray::number(ric).rightJustified(kAddressDigits, '0');
        page_.gPageHeader = page_.gAddress + ' ' + page_.gFunction + ' ';
        return;
    }
    // The address, zero-filled to seven digits, a blank, the function letter
    // and a blank.
    std::array<char, kAddressDigits + 3> header{};
    qint32 rest = ric;
    for (int i = kAddressDigits - 1; i >= 0; --i, rest /= 10)
        header[size_t(i)] = char('0' + rest % 10);
    header[kAddressDigits] = ' ';
    header[kAddressDigits + 1] = function.at(0);
    header[kAddressDigits + 2] = ' ';
    Overwrite(page_.gAddress, header.data(), kAddressDigits);
    Overwrite(page_.gPageHeader, header.data(), qsizetype(header.size()));
}

QByteArray POCSAG::TakeNumericText() {
    return std::exchange(gNumericText, QByteArray());
}
