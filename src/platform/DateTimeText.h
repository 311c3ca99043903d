#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <optional>

namespace platform {

// Every date-time text of the system: the locale's short date, a blank, the
// locale's long time (without a time-zone name, which does not read back).
// Texts this makes read back to the same second.
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
};

} // namespace platform
