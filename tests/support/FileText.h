#pragma once

#include <QFile>
#include <QList>

// A file's bytes as they are on disk now; empty when it cannot be read.
inline QByteArray ReadFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

// A log file's lines without their line ends.
inline QList<QByteArray> FileLines(const QString& path) {
    QList<QByteArray> lines = ReadFile(path).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray& line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    return lines;
}
