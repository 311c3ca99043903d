#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <optional>

namespace platform {

// Every date-time text of the system: the locale's short date, a blank, the
// locale's long time (without a time-zone name, which does not read back).
// Texts this makes read back to the same second.
//
// The relay writes many lines a second, each with the time: the texts of the
// last date and the last second asked for are kept and given again.
class DateTimeText {
public:
    explicit DateTimeText(const QLocale& locale = QLocale::system());

    QString DateTime(const QDateTime& value) const;
    QString Date(const QDate& value) const;
    QString Time(const QTime& value) const;

    std::optional<QDateTime> ParseDateTime(const QString& text) const;
    std::optional<QTime> ParseTime(const QString& text) const;

    const QLocale& locale() const { return locale_; }

private:
    QLocale locale_;
    QString dateFormat_;
    QString timeFormat_;
    bool timeHasParts_ = false; // parts of a second: such a text is not kept

    mutable qint64 keptDay_ = -1; // Julian day of keptDate_
    mutable QString keptDate_;
    mutable int keptSecond_ = -1; // of the day, for keptTime_
    mutable QString keptTime_;
    mutable qint64 keptDateTimeDay_ = -1; // the date and second of keptDateTime_
    mutable int keptDateTimeSecond_ = -1;
    mutable QString keptDateTime_;
};

} // namespace platform
