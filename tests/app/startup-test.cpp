// Start-up and shutdown of a whole System on a real working folder.

#include "TestSystem.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void startsAndShowsItsSettings() {
        WorkFolder folder;
        folder.setSetting(QStringLiteral("MessID"), QStringLiteral("2000123"));
        folder.setSetting(QStringLiteral("IncomingPktType"), QStringLiteral("Enhanced"));
        TestSystem t(folder.path());
        QVERIFY(t->Form_Load());
        QCOMPARE(t->window.Caption, QStringLiteral("Ombrix  V2.0 (101)"));
        QCOMPARE(t->window.lbStartDate.Caption, QStringLiteral("Start Date 15 Jan 2026 10:00:00"));
        QCOMPARE(t->window.Width, 15332);
        QCOMPARE(t->window.Height, 8316);
        QVERIFY(t->window.Visible);
        QCOMPARE(t->window.SSTab1.Value, 5);
        QCOMPARE(t->window.cmdEnable.Caption, QStringLiteral("Disable"));
        QCOMPARE(t->delayedDb.gMessID, 2000123);
        QCOMPARE(t->gIncomingPktType, QStringLiteral("Enhanced"));
        QCOMPARE(t->delayedDb.gNextCompactCheck, t.clock.now());
        QCOMPARE(t->db.gSysConnection.State(), platform::ObjectState::Open);
        QCOMPARE(t->delayedDb.cnDelayed.State(), platform::ObjectState::Open);
        QVERIFY(t.messageBoxes.isEmpty());
        QVERIFY(t.warnings.isEmpty());

        t->delayedDb.gMessID = 2000130;
        QSignalSpy unloaded(t.system.get(), &System::unloaded);
        t->Form_Unload();
        QCOMPARE(unloaded.size(), 1);
        QCOMPARE(t->db.gSysConnection.State(), platform::ObjectState::Closed);
        QCOMPARE(t->delayedDb.cnDelayed.State(), platform::ObjectState::Closed);
        QCOMPARE(folder.setting(QStringLiteral("MessID")).toString(), QStringLiteral("2000130"));
        t->Form_Unload(); // a second unload (window closed after a signal) does nothing
        QCOMPARE(unloaded.size(), 1);
    }

    // The databases hold page texts and the brokers' passwords: a relay whose
    // files every local user may read says so once, and is quiet otherwise.
    void databasesReadableByOthersAreNamedOnce() {
        const QByteArray warning = "can be read by every user of this machine";
        WorkFolder kept;
        {
            TestSystem t(kept.path());
            QVERIFY(t->Form_Load());
            t->Form_Unload();
        }
        QVERIFY(!kept.systemLog().contains(warning));

        WorkFolder open;
        QFile::setPermissions(open.file(QStringLiteral("delayed.mdb")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                  QFileDevice::ReadGroup | QFileDevice::ReadOther);
        TestSystem t(open.path());
        QVERIFY(t->Form_Load());
        const QByteArray log = open.systemLog();
        QCOMPARE(log.count(warning), 1);
        QVERIFY(log.contains("System: delayed.mdb " + warning));
        QVERIFY(t->window.txbLogErrors.Text.contains(QString::fromLatin1(warning)));
    }

    void anUnreadableStoreLeavesTheCounterAtItsSetting() {
        WorkFolder folder;
        folder.setSetting(QStringLiteral("MessID"), QStringLiteral("1000042"));
        folder.exec(QStringLiteral("delayed.mdb"),
                    QStringLiteral("ALTER TABLE Delayed RENAME COLUMN MessID TO Lost"));
        TestSystem t(folder.path());
        QVERIFY(t->Form_Load());
        QCOMPARE(t->delayedDb.gMessID, 1000042);
        QVERIFY(!t.warnings.isEmpty());
        QCOMPARE(t.warnings.last().number, 404);
        QVERIFY(t.warnings.last().text.contains(QStringLiteral("MessID")));
        QVERIFY(folder.systemLog().contains("\tError\tError\t" + t.warnings.last().text.toUtf8()));
        QCOMPARE(t->window.SSTab1.Value, 5); // the start-up ran to its end
    }

    void missingRowsTakeTheirDefaults() {
        WorkFolder folder;
        folder.removeSetting(QStringLiteral("ServerID"));
        folder.removeSetting(QStringLiteral("MessID"));
        folder.removeSetting(QStringLiteral("IncomingPktType"));
        TestSystem t(folder.path());
        QVERIFY(t->Form_Load());
        QCOMPARE(t->window.Caption, QStringLiteral("Ombrix  V2.0 (101)"));
        QCOMPARE(t->delayedDb.gMessID, 1000000);
        QCOMPARE(t->gIncomingPktType, QStringLiteral("Normal"));
        t->Form_Unload();
        QVERIFY(!folder.setting(QStringLiteral("MessID")).isValid()); // nothing to write to
    }

    void serverIdNamesTheWindow() {
        WorkFolder folder;
        folder.setSetting(QStringLiteral("ServerID"), QStringLiteral("North-2"));
        TestSystem t(folder.path());
        QVERIFY(t->Form_Load());
        QCOMPARE(t->window.Caption, QStringLiteral("North-2  V2.0 (101)"));
    }

    void systemDatabaseMissing() {
        WorkFolder folder;
        QVERIFY(QFile::remove(folder.file(QStringLiteral("Ombrixsys.mdb"))));
        TestSystem t(folder.path());
        QVERIFY(!t->Form_Load());
        QCOMPARE(t.messageBoxes,
                 QStringList{QStringLiteral("Quorlan sys Database failure. Closing application")});
        QCOMPARE(t.warningNumbers(), QList<int>{306});
        QVERIFY(t->IsUnloaded());
        QVERIFY(t->exitCode != 0);
        QVERIFY(t->window.Caption.isEmpty()); // step 9 never ran
        QVERIFY(
            t->window.lbStartDate.Caption.startsWith(QStringLiteral("Start Date "))); // step 3 did
        QVERIFY(!QFile::exists(folder.file(QStringLiteral("Ombrixsys.mdb"))));
    }

    void delayedDatabaseMissingIsCheckedBeforeTheTemplate() {
        WorkFolder folder;
        QVERIFY(QFile::remove(folder.file(QStringLiteral("delayed.mdb"))));
        QVERIFY(QFile::remove(folder.file(QStringLiteral("empty_delayed.mdb"))));
        folder.setSetting(QStringLiteral("MessID"), QStringLiteral("1000500"));
        TestSystem t(folder.path());
        QVERIFY(!t->Form_Load());
        QCOMPARE(t.messageBoxes,
                 QStringList{QStringLiteral("Delayed Database failure. Closing application")});
        QCOMPARE(t.warningNumbers(), QList<int>{400});
        QVERIFY(t->exitCode != 0);
        QVERIFY(!QFile::exists(folder.file(QStringLiteral("delayed.mdb"))));
        // The counter was never read, so it is not written back lowered.
        QCOMPARE(folder.setting(QStringLiteral("MessID")).toString(), QStringLiteral("1000500"));
    }

    void templateMissing() {
        WorkFolder folder;
        QVERIFY(QFile::remove(folder.file(QStringLiteral("empty_delayed.mdb"))));
        folder.setSetting(QStringLiteral("MessID"), QStringLiteral("1000777"));
        TestSystem t(folder.path());
        QVERIFY(!t->Form_Load());
        QCOMPARE(
            t.messageBoxes,
            QStringList{QStringLiteral(
                "Delayed Database failure. There is no empty_delayed.mdb. Closing application")});
        QVERIFY(t.warnings.isEmpty());
        QVERIFY(t->exitCode != 0);
        QCOMPARE(t->db.gSysConnection.State(), platform::ObjectState::Closed);
        QCOMPARE(t->delayedDb.cnDelayed.State(), platform::ObjectState::Closed);
        QCOMPARE(folder.setting(QStringLiteral("MessID")).toString(), QStringLiteral("1000777"));
    }

    void accessFileIsRefusedByName() {
        WorkFolder folder;
        QFile jet(folder.file(QStringLiteral("Ombrixsys.mdb")));
        QVERIFY(jet.open(QIODevice::WriteOnly | QIODevice::Truncate));
        jet.write(QByteArray("\x00\x01\x00\x00", 4) + QByteArray("Standard ACE DB") +
                  QByteArray(4000, '\0'));
        jet.close();
        TestSystem t(folder.path());
        QVERIFY(!t->Form_Load());
        QCOMPARE(t.messageBoxes,
                 QStringList{QStringLiteral("Quorlan sys Database failure. Closing application")});
        QCOMPARE(t.warnings.size(), 1);
        QVERIFY(t.warnings[0].text.contains(QStringLiteral("Ombrixsys.mdb")));
        QVERIFY(t.warnings[0].text.contains(QStringLiteral("not a database this system can open")));
    }

    void developmentMarkerMovesToTheDevelopmentFolder() {
        WorkFolder elsewhere;
        WorkFolder development;
        development.setSetting(QStringLiteral("ServerID"), QStringLiteral("DevBox"));
        QTemporaryDir markerDir;
        QFile marker(markerDir.filePath(QStringLiteral("development.txt")));
        QVERIFY(marker.open(QIODevice::WriteOnly));
        marker.close();
        SystemOptions options;
        options.developmentMarker = marker.fileName();
        options.developmentFolder = development.path();
        TestSystem t(elsewhere.path(), options);
        QVERIFY(t->Form_Load());
        QCOMPARE(t.messageBoxes.value(0),
                 QStringLiteral("Current directory changed to ") + development.path());
        QCOMPARE(t->window.Caption, QStringLiteral("DevBox  V2.0 (101)"));
    }
};

QTEST_GUILESS_MAIN(StartupTest)
#include "startup-test.moc"
