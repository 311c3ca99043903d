// The warning report as the operator reads it in the warning box, and the one
// line it leaves in the error log.

#include "TestSystem.h"

#include <QFile>
#include <QTest>

namespace {

QStringList BoxLines(TestSystem& t) {
    return t->window.txbSystemError.Text.split(QStringLiteral("\r\n"));
}

QByteArray LastLogLine(const WorkFolder& folder) {
    QFile f(folder.file(QStringLiteral("LOGS/Quorlan")));
    f.open(QIODevice::ReadOnly);
    QList<QByteArray> lines = f.readAll().split('\n');
    lines.removeAll(QByteArray());
    return lines.isEmpty() ? QByteArray() : lines.last().chopped(1);
}

const QDateTime kNow(QDate(2026, 1, 15), QTime(10, 0, 0));

} // namespace

class WarningReportTest : public QObject {
    Q_OBJECT

private slots:
    void reportOfANumberWithItsRow() {
        WorkFolder folder;
        folder.exec(
            QStringLiteral("Ombrixsys.mdb"),
            QStringLiteral(
                "UPDATE ErrorCodes SET Function = 'F', Description = 'D' WHERE ErrorNumber = 205"));
        TestSystem t(folder.path());
        t.clock.set(kNow);
        QVERIFY(t->Form_Load());
        QVERIFY(!t->window.frmeSystemError.Visible);
        t->ShowWarning(ErrorCode::ConnectTelstraPort,
                       QStringLiteral("Connection is forcefully rejected"), 1);
        QVERIFY(t->window.frmeSystemError.Visible);
        QCOMPARE(BoxLines(t),
                 (QStringList{QStringLiteral("15 Jan 2026 10:00:00     Warning ! "), QString(),
                              QStringLiteral("Socket [1]"), QStringLiteral("Error Number 205"),
                              QString(), QStringLiteral("Function:  F"),
                              QStringLiteral("Description:  D"), QString(), QString(),
                              QStringLiteral("Windows reports: "), QString(),
                              QStringLiteral("Connection is forcefully rejected")}));
        QCOMPARE(
            LastLogLine(folder),
            QByteArray("15 Jan 2026 10:00:00\tError\tError\tConnection is forcefully rejected"));
        QVERIFY(t->window.txbLogErrors.Text.startsWith(
            QStringLiteral("15 Jan 2026 10:00:00  Error\tConnection is forcefully rejected\r\n")));
    }

    void reportOfANumberWithoutARowAndOfNoSocket() {
        WorkFolder folder;
        folder.exec(QStringLiteral("Ombrixsys.mdb"),
                    QStringLiteral("DELETE FROM ErrorCodes WHERE ErrorNumber = 205"));
        TestSystem t(folder.path());
        t.clock.set(kNow);
        QVERIFY(t->Form_Load());
        t->ShowWarning(ErrorCode::ConnectTelstraPort, QStringLiteral("refused"), 1);
        QCOMPARE(BoxLines(t).mid(2, 5),
                 (QStringList{QStringLiteral("Socket [1]"),
                              QStringLiteral("Error Number: Not in database"), QString(),
                              QStringLiteral("Function:  Unknown"),
                              QStringLiteral("Description:  Unknown")}));
        t->ShowWarning(ErrorCode::GetStartUpKey, QStringLiteral("no such table"), 0);
        QCOMPARE(BoxLines(t).value(2), QStringLiteral("Socket [0]"));
        QCOMPARE(BoxLines(t).value(3), QStringLiteral("Error Number 309"));
        QCOMPARE(BoxLines(t).value(5), QStringLiteral("Function:  GetStartUpKey"));
        // The box shows only the latest report; the log has one line per report.
        QVERIFY(!t->window.txbSystemError.Text.contains(QStringLiteral("refused")));
        QCOMPARE(t->window.txbLogErrors.Text.count(QStringLiteral("Error\trefused")), 1);
    }

    void aFailingLookupDoesNotNest() {
        WorkFolder folder;
        TestSystem t(folder.path());
        t.clock.set(kNow);
        QVERIFY(t->Form_Load());
        folder.exec(QStringLiteral("Ombrixsys.mdb"),
                    QStringLiteral("ALTER TABLE ErrorCodes RENAME TO Lost"));
        t->ShowWarning(ErrorCode::ConnectTelstraPort, QStringLiteral("refused"), 1);
        QCOMPARE(t.warningNumbers(), (QList<int>{300, 205}));
        QVERIFY(t.warnings[0].text.contains(QStringLiteral("ErrorCodes")));
        QCOMPARE(BoxLines(t).value(3), QStringLiteral("Error Number: Not in database"));
        QCOMPARE(BoxLines(t).last(), QStringLiteral("refused"));
        t->ShowWarning(ErrorCode::OpenErrorCode, QStringLiteral("lookup broken"), 0);
        QCOMPARE(t.warningNumbers(), (QList<int>{300, 205, 300}));
        t->db.OpenErrorCodes(1);
        QCOMPARE(t.warningNumbers().last(), 301);
    }

    void reportsStillShowWithoutTheSystemDatabase() {
        WorkFolder folder;
        TestSystem t(folder.path());
        t.clock.set(kNow);
        QVERIFY(t->Form_Load());
        t->db.CloseSysDatabase();
        t->ShowWarning(ErrorCode::OutputsClose, QStringLiteral("socket closed late"), 4);
        QVERIFY(t->window.frmeSystemError.Visible);
        QCOMPARE(BoxLines(t).value(2), QStringLiteral("Socket [4]"));
        QCOMPARE(BoxLines(t).value(3), QStringLiteral("Error Number: Not in database"));
        QCOMPARE(LastLogLine(folder),
                 QByteArray("15 Jan 2026 10:00:00\tError\tError\tsocket closed late"));
    }
};

QTEST_GUILESS_MAIN(WarningReportTest)
#include "warning-report-test.moc"
