#include "config/SettingValues.h"

#include "platform/Error.h"

#include <QRegularExpression>
#include <algorithm>
#include <limits>

qint32 WholeNumber(const QString& text) {
    return static_cast<qint32>(std::clamp<qint64>(WholeNumber64(text),
                                                  std::numeric_limits<qint32>::min(),
                                                  std::numeric_limits<qint32>::max()));
}

qint64 WholeNumber64(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    qint64 value = 0;
    for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i) {
        const int digit = text[i].unicode() - '0';
        if (value > (std::numeric_limits<qint64>::max() - digit) / 10)
            return negative ? std::numeric_limits<qint64>::min()
                            : std::numeric_limits<qint64>::max();
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

bool BooleanValue(const QString& text) {
    const QString word = text.trimmed();
    if (word.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    bool number = false;
    const int value = word.toInt(&number);
    return number && value != 0;
}

qint32 LongValue(const QString& text) {
    bool ok = false;
    const qint32 value = text.trimmed().toInt(&ok);
    if (!ok)
        throw platform::Error(
            QStringLiteral("Type mismatch: \"%1\" is not a whole number").arg(text));
    return value;
}

qint32 PortValue(const QString& text) {
    if (text != text.trimmed())
        throw platform::Error(
            QStringLiteral("Invalid argument: port \"%1\" has blanks around the number").arg(text));
    const qint32 value = LongValue(text);
    if (value == 0)
        throw platform::Error(
            QStringLiteral("Invalid argument: port %1 is outside 1 to 65535").arg(text));
    return value;
}

QString PortProblem(const QString& text) {
    constexpr qint32 kHighestPort = 65535;
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    const bool whole = digits.match(text).hasMatch();
    const qint32 value = whole ? text.toInt() : 0;
    if (value >= 1 && value <= kHighestPort)
        return {};
    return QStringLiteral("port \"%1\" is not a whole number from 1 to 65535 (digits only, "
                          "no blanks)")
        .arg(text);
}

qint32 FeedSilenceSeconds(const QString& text) {
    const QString digits = text.trimmed();
    static const QRegularExpression kDigits(QStringLiteral("^[0-9]{1,6}$"));
    if (!kDigits.match(digits).hasMatch())
        return kDefaultFeedSilenceSeconds;
    const qint32 seconds = digits.toInt();
    return seconds <= kLongestFeedSilenceSeconds ? seconds : kDefaultFeedSilenceSeconds;
}

qint32 HistoryDays(const QString& text) {
    const QString digits = text.trimmed();
    static const QRegularExpression kDigits(QStringLiteral("^[0-9]{1,5}$"));
    if (!kDigits.match(digits).hasMatch())
        return kDefaultHistoryDays;
    const qint32 days = digits.toInt();
    return days <= kLongestHistoryDays ? days : kDefaultHistoryDays;
}
