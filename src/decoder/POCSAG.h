#pragma once

#include "decoder/Codeword.h"
#include "decoder/DecodePOCSAGSAT.h"
#include "decoder/PageState.h"

#include <QByteArray>

// Classifies each data codeword of a batch and drives the bit work: message
// codewords fill the two readings of the page text (the characters straight
// into the page's text, the digits aside until the page ends), an address
// codeword opens a page, an idle codeword ends it.
class POCSAG {
public:
    explicit POCSAG(PageState& page) : page_(page) {}

    DecodePOCSAGSAT gDecoder;
    // Digits of the page in progress; once there are more than a numeric page
    // holds, no more are added.
    QByteArray gNumericText;
    // Most digits a page may have and still go out as numeric.
    static constexpr int kLongestNumericText = 20;

    // pos: batch position 1..16. True when the page in progress is complete.
    bool ProcessCodeword(int pos, const Codeword& cw);
    QByteArray TakeNumericText();

private:
    // An address codeword: the page it opens gets its address, function and header.
    void OpenPage(qint32 ric, const QByteArray& function);

    PageState& page_;
};
