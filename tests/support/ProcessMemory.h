#pragma once

#include <QFile>

#include <dlfcn.h>
#include <malloc.h>

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

// What SQLite's allocator holds now in KiB (its page caches, bounded by each
// connection's cache size, fill as the files grow), read from the library the
// database driver loaded; 0 when it is not loaded.
inline qint64 SqliteKiB() {
    using MemoryUsed = long long (*)();
    static void* library = dlopen("libsqlite3.so.0", RTLD_NOW | RTLD_NOLOAD);
    static auto used =
        library ? reinterpret_cast<MemoryUsed>(dlsym(library, "sqlite3_memory_used")) : nullptr;
    return used ? used() / 1024 : 0;
}

// The heap this process holds in KiB, SQLite's share apart.
inline qint64 HeapKiB() {
    return qint64(mallinfo2().uordblks / 1024) - SqliteKiB();
}
