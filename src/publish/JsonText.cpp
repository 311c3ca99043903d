#include "publish/JsonText.h"

namespace publish {

QByteArray JsonString(const QString& text) {
    static constexpr char kHex[] = "0123456789abcdef";
    QString quoted;
    quoted.reserve(text.size() + 2);
    quoted += QLatin1Char('"');
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'"' || u == u'\\') {
            quoted += QLatin1Char('\\');
            quoted += c;
        } else if (u < 0x20) {
            quoted += QLatin1String("\\u00");
            quoted += QLatin1Char(kHex[u >> 4]);
            quoted += QLatin1Char(kHex[u & 0xF]);
        } else {
            quoted += c;
        }
    }
    quoted += QLatin1Char('"');
    return quoted.toUtf8();
}

QString IsoTime(const QDateTime& time) {
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

} // namespace publish
