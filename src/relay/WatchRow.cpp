#include "relay/WatchRow.h"

#include <QRegularExpression>

namespace relay {

namespace {

// Seven digits: the pager addresses as the packets carry them.
const QRegularExpression kAddress(QStringLiteral("^[0-9]{1,7}$"));
const QRegularExpression kMinutes(QStringLiteral("^[0-9]{1,6}$"));

QString Column(const WatchRow& row, const char* name) {
    return row.value(QLatin1String(name)).trimmed();
}

// Empty is any function; else the letter the decoder reports, in either case.
bool ReadFunction(const QString& text, char& function) {
    function = 0;
    if (text.isEmpty())
        return true;
    const QString letter = text.toUpper();
    if (letter.size() != 1 || letter < QLatin1String("A") || letter > QLatin1String("D"))
        return false;
    function = char(letter.at(0).unicode());
    return true;
}

} // namespace

std::variant<Watch, QString> ReadWatchRow(const WatchRow& row) {
    Watch w;
    w.description = Column(row, "Description");
    if (w.description.isEmpty())
        return QStringLiteral("a row of the Watches table has no Description; it is not used");
    const QString named = QStringLiteral("Watch %1: ").arg(w.description);
    w.address = Column(row, "Address");
    if (!kAddress.match(w.address).hasMatch())
        return named + QStringLiteral("the Address \"%1\" is not a pager address (1 to 7 digits); "
                                      "the row is not used")
                           .arg(w.address);
    w.ric = w.address.toInt();
    const QString function = Column(row, "Function");
    if (!ReadFunction(function, w.function))
        return named + QStringLiteral("the Function \"%1\" is not A, B, C, D or empty; the row is "
                                      "not used")
                           .arg(function);
    const QString minutes = Column(row, "EveryMinutes");
    w.everyMinutes = kMinutes.match(minutes).hasMatch() ? minutes.toInt() : 0;
    if (w.everyMinutes < 1 || w.everyMinutes > kLongestEveryMinutes)
        return named + QStringLiteral("EveryMinutes \"%1\" is not a whole number from 1 to %2; "
                                      "the row is not used")
                           .arg(minutes)
                           .arg(kLongestEveryMinutes);
    const QString active = Column(row, "Active");
    w.active = !active.isEmpty() && active.at(0).toUpper() == QLatin1Char('Y');
    return w;
}

} // namespace relay
