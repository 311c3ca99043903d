#pragma once

#include <QByteArray>
#include <QList>

// The messages of one source ("Output", "Input", "Error") in a System log's
// text, in order, without their time stamps.
inline QList<QByteArray> LogLines(const QByteArray& log, const QByteArray& source) {
    const QByteArray marker = '\t' + source + '\t';
    QList<QByteArray> lines;
    for (const QByteArray& line : log.split('\n')) {
        const qsizetype at = line.indexOf(marker);
        if (at >= 0)
            lines << line.mid(at + marker.size()).chopped(line.endsWith('\r') ? 1 : 0);
    }
    return lines;
}
