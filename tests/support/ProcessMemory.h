#pragma once

#include <QFile>

// Growth cannot be measured under AddressSanitizer, whose quarantine keeps
// freed memory.
#ifdef OMBRIX_SANITIZED
constexpr bool kMemoryMeasurable = false;
#else
constexpr bool kMemoryMeasurable = true;
#endif

// A memory figure in KiB of a process ("self" or a number), as the kernel
// reports it: "VmRSS" now, "VmHWM" its peak.
inline qint64 ProcessKiB(const QString& process, const QByteArray& figure) {
    QFile status(QStringLiteral("/proc/%1/status").arg(process));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(figure + ':'))
            return line.mid(figure.size() + 1).trimmed().split(' ').first().toLongLong();
    return 0;
}

// The resident memory of this process in KiB.
inline qint64 ResidentKiB() {
    return ProcessKiB(QStringLiteral("self"), "VmRSS");
}

// Whether the process grew by less than limitKiB since it held beforeKiB;
// always true where growth cannot be measured.
inline bool GrewLessThan(qint64 beforeKiB, qint64 limitKiB) {
    return !kMemoryMeasurable || ResidentKiB() - beforeKiB < limitKiB;
}
