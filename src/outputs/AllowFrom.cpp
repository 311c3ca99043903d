#include "outputs/AllowFrom.h"

#include "platform/Error.h"
#include "platform/PlainAddress.h"

#include <QRegularExpression>

namespace {

// A whole address: four dotted numbers, or an IPv6 address. Shorter forms
// ("10", "127.1") are refused: they would stand for addresses the operator
// may not have meant.
bool WholeAddress(const QString& text, QHostAddress& address) {
    static const QRegularExpression dotted(
        QStringLiteral("^[0-9]{1,3}\\.[0-9]{1,3}\\.[0-9]{1,3}\\.[0-9]{1,3}$"));
    if (!text.contains(QLatin1Char(':')) && !dotted.match(text).hasMatch())
        return false;
    return address.setAddress(text);
}

// One entry as a network and its prefix length; a null address when it is
// neither an address nor a range.
QPair<QHostAddress, int> Range(const QString& entry) {
    const qsizetype slash = entry.indexOf(QLatin1Char('/'));
    QHostAddress address;
    if (!WholeAddress(entry.left(slash), address))
        return {};
    if (slash < 0) {
        address = PlainAddress(address);
        return {address, address.protocol() == QAbstractSocket::IPv4Protocol ? 32 : 128};
    }
    QPair<QHostAddress, int> range = QHostAddress::parseSubnet(entry);
    if (range.first.isNull() || range.second < 0)
        return {};
    // An IPv4-mapped range ("::ffff:10.0.0.0/104") is the IPv4 range it
    // stands for; its prefix keeps the 96 bits of the mapping.
    const QHostAddress plain = PlainAddress(range.first);
    if (plain.protocol() != range.first.protocol())
        return {plain, range.second - 96};
    return range;
}

} // namespace

AllowFrom AllowFrom::Parse(const QString& text, const QString& description) {
    static const QRegularExpression separators(QStringLiteral("[\\s,]+"));
    AllowFrom allowed;
    for (const QString& entry : text.split(separators, Qt::SkipEmptyParts)) {
        const QPair<QHostAddress, int> range = Range(entry);
        if (range.first.isNull())
            throw platform::Error(
                QStringLiteral("AllowFrom entry \"%1\" of output %2 is not an address or an "
                               "address range: the port does not listen")
                    .arg(entry, description));
        allowed.ranges_ << range;
    }
    return allowed;
}

bool AllowFrom::Allows(const QHostAddress& peer) const {
    if (ranges_.isEmpty())
        return true;
    const QHostAddress plain = PlainAddress(peer);
    for (const auto& range : ranges_)
        if (plain.isInSubnet(range.first, range.second))
            return true;
    return false;
}
