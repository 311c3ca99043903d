#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>

// POCSAG codewords as a paging transmitter sends them: 21 information bits
// (flag and 20 address or message bits), 10 BCH(31,21) check bits, even parity.
namespace sim {

constexpr quint32 kSyncCodeword = 0x7CD215D8;
constexpr quint32 kIdleCodeword = 0x7A89C197;
constexpr quint32 kLargestRic = (1u << 21) - 1;

// Fills in the check bits and parity of a codeword whose bits 31..11 are set.
quint32 WithCheckBits(quint32 codeword);
// True when the check bits and parity of a codeword are right.
bool HasValidCheckBits(quint32 codeword);

// function: 0..3 for A..D. The three low bits of the RIC are not sent; they
// name the frame the codeword goes in.
quint32 AddressCodeword(quint32 ric, int function);
quint32 MessageCodeword(quint32 data20);

// The POCSAG numeric code of a character, or -1 when a numeric pager has none.
int NumericCode(char c);
// Digits, four bits each, least significant first; the last codeword is
// filled with spaces. Characters without a numeric code are sent as spaces.
QList<quint32> NumericMessage(const QByteArray& digits);
// 7-bit characters (codes 0..127), least significant bit first; the last
// codeword is filled with zero bits.
QList<quint32> AlphaMessage(const QByteArray& text);

} // namespace sim
