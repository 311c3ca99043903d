#pragma once

#include "decoder/Codeword.h"
#include "decoder/DecodePOCSAGSAT.h"
#include "decoder/PageState.h"

#include <QByteArray>

// Classifies each data codeword of a batch and drives the bit work: message
// codewords fill the two readings of the page text, an address codeword opens
// a page, an idle codeword ends it.
class POCSAG {
public:
    explicit POCSAG(PageState& page) : page_(page) {}

    DecodePOCSAGSAT gDecoder;
    QByteArray gAlphaText;   // characters not yet collected by the framing
    QByteArray gNumericText; // digits of the page in progress

    // pos: batch position 1..16. True when the page in progress is complete.
    bool ProcessCodeword(int pos, const Codeword& cw);
    QByteArray TakeAlphaText();
    QByteArray TakeNumericText();

private:
    PageState& page_;
};
