#include "decoder/POCSAG.h"

#include <utility>

bool POCSAG::ProcessCodeword(int pos, const Codeword& cw) {
    if (cw[4] > 127) {
        gDecoder.StripMsgPOCSAG(cw, gAlphaText);
        gDecoder.StripNumericMsgPOCSAG(cw, gNumericText);
        return false;
    }
    if (gDecoder.TestIdle(cw))
        return true;
    const qint32 ric = gDecoder.ConvertAddress(pos, cw);
    page_.gAddress = QByteArray::number(ric).rightJustified(7, '0');
    page_.gFunction = gDecoder.ConvertFunction(cw);
    page_.gPageHeader = page_.gAddress + ' ' + page_.gFunction + ' ';
    return false;
}

QByteArray POCSAG::TakeAlphaText() {
    return std::exchange(gAlphaText, QByteArray());
}

QByteArray POCSAG::TakeNumericText() {
    return std::exchange(gNumericText, QByteArray());
}
