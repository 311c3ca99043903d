#pragma once

#include <QByteArray>
#include <cstring>

namespace decoder {

// Appends a few bytes for a codeword. QByteArray::append takes a general
// path that costs more than the decoding of the codeword itself; growing the
// size in place keeps the same amortised growth without it.
inline void AppendBytes(QByteArray& to, const char* bytes, qsizetype count) {
    if (count <= 0)
        return;
    const qsizetype at = to.size();
    to.resize(at + count);
    std::memcpy(to.data() + at, bytes, size_t(count));
}

} // namespace decoder
