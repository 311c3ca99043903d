#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstring>
#include <initializer_list>

namespace platform {

// The pieces one after another, in one allocation: log lines are made of a
// handful of short pieces, hundreds of thousands of times a second.
inline QByteArray Joined(std::initializer_list<QByteArrayView> pieces) {
    qsizetype size = 0;
    for (const QByteArrayView piece : pieces)
        size += piece.size();
    QByteArray joined(size, Qt::Uninitialized);
    char* at = joined.data();
    for (const QByteArrayView piece : pieces) {
        if (piece.isEmpty())
            continue;
        std::memcpy(at, piece.data(), static_cast<size_t>(piece.size()));
        at += piece.size();
    }
    return joined;
}

} // namespace platform
