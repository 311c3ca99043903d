#pragma once

#include "decoder/Codeword.h"

#include <QByteArray>
#include <QtGlobal>

// Bit work on single POCSAG codewords: address, function, idle test, numeric
// digits and 7-bit characters. The character assembly runs across message
// codewords, so the class keeps where it is within a cycle of seven codewords
// (7 x 20 bits = 20 characters) and the bits left over from the last one.
//
// Check bits are not used: every codeword is decoded as received.
class DecodePOCSAGSAT {
public:
    int AlphaPhase = 0; // 0..6
    // Bits of the last codeword that did not complete a character: after phase 0
    // as a plain 6-bit value, after phases 1 to 5 already at the high end of a
    // 7-bit value.
    int AlphaCarry = 0;
    // Put in place of a character whose code is below 16; nothing sets it, so
    // those characters are dropped.
    QByteArray BitIndicator;

    // Appends the five digits of a message codeword.
    void StripNumericMsgPOCSAG(const Codeword& cw, QByteArray& numericText) const;
    // Appends the characters this message codeword completes.
    void StripMsgPOCSAG(const Codeword& cw, QByteArray& alphaText);
    QByteArray ConvertFunction(const Codeword& cw) const;
    // The RIC: the 18 address bits times 8 plus the frame of batch position
    // `pos` (1..16). Restarts the character assembly.
    qint32 ConvertAddress(int pos, const Codeword& cw);
    // True for an idle codeword (its last byte is not compared); an idle
    // codeword restarts the character assembly.
    bool TestIdle(const Codeword& cw);

private:
    void restartAssembly() { AlphaPhase = AlphaCarry = 0; }
};
