#pragma once

#include <QFile>

// Growth cannot be measured under AddressSanitizer, whose quarantine keeps
// freed memory.
#ifdef OMBRIX_SANITIZED
constexpr bool kMemoryMeasurable = false;
#else
constexpr bool kMemoryMeasurable = true;
#endif

// The resident memory of this process in KiB, as the kernel reports it.
inline qint64 ResidentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return 0;
}

// Whether the process grew by less than limitKiB since it held beforeKiB;
// always true where growth cannot be measured.
inline bool GrewLessThan(qint64 beforeKiB, qint64 limitKiB) {
    return !kMemoryMeasurable || ResidentKiB() - beforeKiB < limitKiB;
}
