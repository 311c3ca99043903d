// Date-time texts: what the logs, the start date and LastBackUp show, and that
// a stored text reads back to the same second whatever the machine's locale.

#include "platform/DateTimeText.h"

#include <QTest>

class DateTimeTextTest : public QObject {
    Q_OBJECT

private slots:
    void readsBackToTheSecond_data() {
        QTest::addColumn<QString>("locale");
        QTest::newRow("C") << QStringLiteral("C");
        QTest::newRow("en_AU") << QStringLiteral("en_AU");
        QTest::newRow("en_US") << QStringLiteral("en_US");
        QTest::newRow("de_DE") << QStringLiteral("de_DE");
        QTest::newRow("en_GB") << QStringLiteral("en_GB");
    }
    void readsBackToTheSecond() {
        QFETCH(QString, locale);
        const platform::DateTimeText text{QLocale(locale)};
        for (const QDateTime& when : {QDateTime(QDate(2026, 12, 8), QTime(3, 1, 0)),
                                      QDateTime(QDate(2026, 1, 31), QTime(23, 59, 59)),
                                      QDateTime(QDate(2049, 7, 4), QTime(12, 0, 1)),
                                      QDateTime(QDate(2026, 3, 1), QTime(0, 0, 0))}) {
            const QString written = text.DateTime(when);
            const auto read = text.ParseDateTime(written);
            QVERIFY2(read.has_value(), qPrintable(written));
            QCOMPARE(*read, when);
            QVERIFY2(!written.contains(QLatin1String("UTC")), qPrintable(written));
        }
    }

    void texts() {
        const platform::DateTimeText c{QLocale::c()};
        const QDateTime when(QDate(2026, 12, 8), QTime(16, 5, 9));
        QCOMPARE(c.DateTime(when), QStringLiteral("8 Dec 2026 16:05:09"));
        QCOMPARE(c.Time(when.time()), QStringLiteral("16:05:09"));
        const platform::DateTimeText au{QLocale(QStringLiteral("en_AU"))};
        QCOMPARE(au.DateTime(when), QStringLiteral("8/12/26 4:05:09 PM"));
    }

    void backUpTimeAndOtherForms() {
        const platform::DateTimeText c{QLocale::c()};
        QCOMPARE(c.ParseTime(QStringLiteral("3:01:00 AM")), QTime(3, 1, 0));
        QCOMPARE(c.ParseTime(QStringLiteral("3:01:00 PM")), QTime(15, 1, 0));
        QCOMPARE(c.ParseTime(QStringLiteral("15:01")), QTime(15, 1, 0));
        QVERIFY(!c.ParseTime(QStringLiteral("soon")).has_value());
        QVERIFY(!c.ParseDateTime(QStringLiteral("")).has_value());
        QCOMPARE(c.ParseDateTime(QStringLiteral("2026-12-08T03:01:00.000")),
                 QDateTime(QDate(2026, 12, 8), QTime(3, 1, 0)));
        // A text written under another locale still reads.
        QCOMPARE(c.ParseDateTime(QStringLiteral("8/12/2026 3:01:00 AM")),
                 QDateTime(QDate(2026, 12, 8), QTime(3, 1, 0)));
    }
};

QTEST_GUILESS_MAIN(DateTimeTextTest)
#include "datetime-text-test.moc"
