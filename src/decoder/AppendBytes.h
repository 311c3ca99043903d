#pragma once

#include <QByteArray>

namespace decoder {

// Appends a few bytes for a codeword. QByteArray::append takes a general
// path that costs more than the decoding of the codeword itself; growing the
// size in place keeps the same amortised growth without it.
inline void AppendBytes(QByteArray& to, const char* bytes, qsizetype count) {
    if (count <= 0)
        return;
    const qsizetype at = to.size();
    to.resize(at + count);
    char* place = to.data() + at;
    for (qsizetype i = 0; i < count; ++i) // a few bytes: no call to memcpy
        place[i] = bytes[i];
}

} // namespace decoder
