#include "PageList.h"

#include "PocsagCodewords.h"

namespace sim {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Takes the next blank-separated field from `line` at `pos`.
QByteArray NextField(const QByteArray& line, qsizetype& pos) {
    while (pos < line.size() && IsBlank(line[pos]))
        ++pos;
    const qsizetype start = pos;
    while (pos < line.size() && !IsBlank(line[pos]))
        ++pos;
    return line.mid(start, pos - start);
}

QString TextError(const Page& page) {
    if (page.type == 'T')
        return page.text.isEmpty() ? QString()
                                   : QStringLiteral("a tone-only page (type T) carries no text");
    if (page.text.isEmpty())
        return QStringLiteral("type %1 needs a text; use T for a tone-only page")
            .arg(QLatin1Char(page.type));
    for (const char c : page.text) {
        const int code = static_cast<unsigned char>(c);
        if (page.type == 'N' && NumericCode(c) < 0)
            return QStringLiteral("'%1' cannot be sent on a numeric page (digits, space, *, U, "
                                  "-, ( and ) can)")
                .arg(QLatin1Char(c));
        if (page.type == 'A' && (code < 32 || code > 126))
            return QStringLiteral("character code %1 is not printable 7-bit text").arg(code);
    }
    return {};
}

// Reads one non-empty, non-comment line into `page`; returns the error, if any.
QString ParseLine(const QByteArray& line, Page& page) {
    qsizetype pos = 0;
    const QByteArray ric = NextField(line, pos);
    bool ok = false;
    const qulonglong value = ric.toULongLong(&ok);
    if (!ok || value > kLargestRic)
        return QStringLiteral("RIC \"%1\" is not a number from 0 to %2")
            .arg(QString::fromLatin1(ric))
            .arg(kLargestRic);
    page.ric = quint32(value);

    const QByteArray function = NextField(line, pos);
    if (function.size() != 1 || function[0] < 'A' || function[0] > 'D')
        return QStringLiteral("function \"%1\" is not one of A, B, C, D")
            .arg(QString::fromLatin1(function));
    page.function = function[0];

    const QByteArray type = NextField(line, pos);
    if (type.size() != 1 || (type[0] != 'A' && type[0] != 'N' && type[0] != 'T'))
        return QStringLiteral("type \"%1\" is not one of A, N, T").arg(QString::fromLatin1(type));
    page.type = type[0];

    page.text = pos < line.size() ? line.mid(pos + 1) : QByteArray();
    return TextError(page);
}

} // namespace

PageListResult ParsePageList(const QByteArray& content) {
    PageListResult result;
    const QList<QByteArray> lines = content.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        if (line.endsWith('\r'))
            line.chop(1);
        const QByteArray trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith('#'))
            continue;
        Page page;
        const QString error = ParseLine(line, page);
        if (!error.isEmpty()) {
            result.error = QStringLiteral("line %1: %2").arg(i + 1).arg(error);
            result.pages.clear();
            return result;
        }
        result.pages.append(page);
    }
    if (result.pages.isEmpty())
        result.error = QStringLiteral("no pages");
    return result;
}

} // namespace sim
