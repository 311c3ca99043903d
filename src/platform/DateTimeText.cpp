#include "platform/DateTimeText.h"

#include <QRegularExpression>

namespace platform {

namespace {

constexpr int kMsecsPerSecond = 1000;

QString WithoutZone(QString format) {
    static const QRegularExpression zone(QStringLiteral(R"(\s*\bt+\b\s*)"));
    return format.replace(zone, QStringLiteral(" ")).trimmed();
}

// A two-digit year reads as 19yy; dates of this system are never that old.
QDate FixCentury(QDate date, const QString& format) {
    if (date.isValid() && !format.contains(QLatin1String("yyyy")) && date.year() < 1950)
        return date.addYears(100);
    return date;
}

} // namespace

DateTimeText::DateTimeText(const QLocale& locale)
    : locale_(locale), dateFormat_(locale.dateFormat(QLocale::ShortFormat)),
      timeFormat_(WithoutZone(locale.timeFormat(QLocale::LongFormat))),
      timeHasParts_(timeFormat_.contains(QLatin1Char('z'))) {}

QString DateTimeText::DateTime(const QDateTime& value) const {
    const QDate date = value.date();
    const QTime time = value.time();
    if (!date.isValid() || !time.isValid() || timeHasParts_)
        return Date(date) + QLatin1Char(' ') + Time(time);
    const int second = time.msecsSinceStartOfDay() / kMsecsPerSecond;
    if (date.toJulianDay() != keptDateTimeDay_ || second != keptDateTimeSecond_) {
        keptDateTime_ = Date(date) + QLatin1Char(' ') + Time(time);
        keptDateTimeDay_ = date.toJulianDay();
        keptDateTimeSecond_ = second;
    }
    return keptDateTime_;
}

QString DateTimeText::Date(const QDate& value) const {
    if (!value.isValid())
        return locale_.toString(value, dateFormat_);
    if (value.toJulianDay() != keptDay_) {
        keptDate_ = locale_.toString(value, dateFormat_);
        keptDay_ = value.toJulianDay();
    }
    return keptDate_;
}

QString DateTimeText::Time(const QTime& value) const {
    if (!value.isValid() || timeHasParts_)
        return locale_.toString(value, timeFormat_);
    const int second = value.msecsSinceStartOfDay() / kMsecsPerSecond;
    if (second != keptSecond_) {
        keptTime_ = locale_.toString(value, timeFormat_);
        keptSecond_ = second;
    }
    return keptTime_;
}

std::optional<QDateTime> DateTimeText::ParseDateTime(const QString& text) const {
    const QString trimmed = text.simplified();
    const QStringList dateFormats = {dateFormat_, QStringLiteral("yyyy-MM-dd"),
                                     QStringLiteral("d/M/yyyy"), QStringLiteral("d/M/yy"),
                                     QStringLiteral("d MMM yyyy")};
    const QStringList timeFormats = {timeFormat_, QStringLiteral("HH:mm:ss"),
                                     QStringLiteral("h:mm:ss AP"), QStringLiteral("H:mm")};
    for (const QString& df : dateFormats) {
        for (const QString& tf : timeFormats) {
            const QString format = df + QLatin1Char(' ') + tf;
            QDateTime value = locale_.toDateTime(trimmed, format);
            if (!value.isValid())
                value = QDateTime::fromString(trimmed, format);
            if (value.isValid())
                return QDateTime(FixCentury(value.date(), df), value.time());
        }
        QDate date = locale_.toDate(trimmed, df);
        if (date.isValid())
            return QDateTime(FixCentury(date, df), QTime(0, 0));
    }
    const QDateTime iso = QDateTime::fromString(trimmed, Qt::ISODateWithMs);
    if (iso.isValid())
        return iso;
    return std::nullopt;
}

std::optional<QTime> DateTimeText::ParseTime(const QString& text) const {
    const QString trimmed = text.simplified();
    const QStringList formats = {timeFormat_, QStringLiteral("h:mm:ss AP"),
                                 QStringLiteral("h:mm AP"), QStringLiteral("H:mm:ss"),
                                 QStringLiteral("H:mm")};
    for (const QString& format : formats) {
        QTime value = locale_.toTime(trimmed, format);
        if (!value.isValid())
            value = QTime::fromString(trimmed, format);
        if (value.isValid())
            return value;
    }
    return std::nullopt;
}

} // namespace platform
