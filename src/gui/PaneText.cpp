#include "gui/PaneText.h"

#include "logging/ShownPacket.h"

namespace {

constexpr QByteArrayView kLineEnd = "\r\n";

} // namespace

QString PaneText(const QByteArray& pane) {
    QString text;
    text.reserve(pane.size());
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = pane.indexOf(kLineEnd, start);
        text += ShownPacket(pane.mid(start, end < 0 ? -1 : end - start));
        if (end < 0)
            return text;
        text += QLatin1Char('\n');
        start = end + kLineEnd.size();
    }
}
