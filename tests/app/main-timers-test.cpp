// The main timers: the fixed order of the five-second upkeep and how a failing
// step is reported.

#include "TestSystem.h"

#include "platform/Error.h"

#include <QTest>

class MainTimersTest : public QObject {
    Q_OBJECT

private slots:
    void socketsTickRunsItsStepsInOrder() {
        WorkFolder folder;
        TestSystem t(folder.path());
        QVERIFY(t->Form_Load());
        QStringList names;
        for (const TickStep& step : t->SocketsTickSteps())
            names << step.name;
        QCOMPARE(
            names,
            (QStringList{QStringLiteral("CheckDelayedCompaction"), QStringLiteral("CheckBackUp"),
                         QStringLiteral("UpdateTelstraClients"),
                         QStringLiteral("UpdateOutputClients"), QStringLiteral("CheckWatches")}));
        names.clear();
        for (const TickStep& step : t->SystemTickSteps())
            names << step.name;
        QCOMPARE(names,
                 (QStringList{QStringLiteral("KeepAlarms"), QStringLiteral("ResendDelayed")}));
        // With nothing loaded every tick still runs cleanly.
        t->tmrSockets_Timer();
        t->tmrSystem_Timer();
        QVERIFY(t.warnings.isEmpty());
    }

    void aFailingStepEndsTheTickWithItsWarning() {
        WorkFolder folder;
        TestSystem t(folder.path());
        QVERIFY(t->Form_Load());
        QStringList ran;
        auto steps = t->SocketsTickSteps();
        for (auto& step : steps) {
            const QString name = step.name;
            step.run = [&ran, name] {
                ran << name;
                if (name == QLatin1String("CheckDelayedCompaction"))
                    throw platform::Error(QStringLiteral("disk I/O error"));
            };
        }
        t->RunTick(steps, ErrorCode::SocketsTimer);
        t->RunTick(steps, ErrorCode::SocketsTimer);
        QCOMPARE(ran, (QStringList{QStringLiteral("CheckDelayedCompaction"),
                                   QStringLiteral("CheckDelayedCompaction")}));
        QCOMPARE(t.warningNumbers(), (QList<int>{900, 900}));
        QCOMPARE(t.warnings[0].text, QStringLiteral("disk I/O error"));
        QCOMPARE(t.warnings[0].socket, 0);

        ran.clear();
        steps[2].run = [&ran] {
            ran << QStringLiteral("UpdateTelstraClients");
            throw std::runtime_error("socket gone");
        };
        steps[0].run = [&ran] { ran << QStringLiteral("CheckDelayedCompaction"); };
        t->RunTick(steps, ErrorCode::SocketsTimer);
        QCOMPARE(ran, (QStringList{QStringLiteral("CheckDelayedCompaction"),
                                   QStringLiteral("CheckBackUp"),
                                   QStringLiteral("UpdateTelstraClients")}));
        QCOMPARE(t.warnings.last().text, QStringLiteral("socket gone"));

        std::vector<TickStep> resend = {
            {QStringLiteral("ResendDelayed"),
             [] { throw platform::Error(QStringLiteral("database is locked")); }}};
        t->RunTick(resend, ErrorCode::SystemTimer);
        QCOMPARE(t.warnings.last().number, 902);
        QCOMPARE(t.warnings.last().text, QStringLiteral("database is locked"));
    }

    void ticksStopWithTheWindow() {
        WorkFolder folder;
        TestSystem t(folder.path());
        QVERIFY(t->Form_Load());
        t->StartTimers();
        t->Form_Unload();
        t->tmrSockets_Timer();
        t->tmrSystem_Timer();
        QVERIFY(t.warnings.isEmpty());
    }
};

QTEST_GUILESS_MAIN(MainTimersTest)
#include "main-timers-test.moc"
