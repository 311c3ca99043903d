// The web console's accounts as they are kept in the Operators table of a real
// Ombrixsys.mdb: what is stored, and which name and password are let in.

#include "WorkFolder.h"

#include "config/Operators.h"
#include "platform/Connection.h"
#include "platform/Error.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>

namespace {

const QString kSystemFile = QStringLiteral("Ombrixsys.mdb");

// The folder's Ombrixsys.mdb opened as the relay opens it.
struct OpenFolder {
    WorkFolder folder;
    platform::Connection connection;
    OpenFolder() {
        connection.ConnectionString = QStringLiteral("Data Source=.\\Ombrixsys.mdb");
        connection.BaseFolder = folder.path();
        connection.Open();
    }
    void set(const QString& name, const QString& password) {
        config::SetOperatorPassword(connection, name, password, QStringLiteral("now"));
    }
    bool check(const QString& name, const QString& password) {
        return config::CheckOperator(connection, name, password);
    }
    QString storedHash(const QString& name) const {
        return folder
            .rows(kSystemFile, QStringLiteral("SELECT PasswordHash FROM Operators WHERE Name = ?"),
                  {name})
            .value(0)
            .value(0)
            .toString();
    }
};

qint64 MedianMilliseconds(const std::function<void()>& work) {
    QList<qint64> times;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times << timer.elapsed();
    }
    std::sort(times.begin(), times.end());
    return times[1];
}

} // namespace

class OperatorsTest : public QObject {
    Q_OBJECT

private slots:
    void theStoredHashIsSaltedPbkdf2AndNotThePassword() {
        OpenFolder f;
        f.set(QStringLiteral("operator"), QStringLiteral("correct horse"));
        f.set(QStringLiteral("second"), QStringLiteral("correct horse"));
        const QString stored = f.storedHash(QStringLiteral("operator"));
        const QRegularExpressionMatch match =
            QRegularExpression(QStringLiteral("^pbkdf2-sha256\\$(\\d+)\\$([A-Za-z0-9+/=]+)\\$"
                                              "([A-Za-z0-9+/=]+)$"))
                .match(stored);
        QVERIFY2(match.hasMatch(), qPrintable(stored));
        QVERIFY(match.captured(1).toInt() >= 100000);
        QVERIFY(QByteArray::fromBase64(match.captured(2).toLatin1()).size() >= 16);
        QCOMPARE(QByteArray::fromBase64(match.captured(3).toLatin1()).size(), 32);
        QVERIFY(!stored.contains(QStringLiteral("correct horse")));
        // One password, two accounts: two salts, two texts.
        QVERIFY(f.storedHash(QStringLiteral("second")) != stored);
        QCOMPARE(f.folder.rows(kSystemFile, QStringLiteral("SELECT Name, Created FROM Operators "
                                                           "ORDER BY Name")),
                 (QList<QVariantList>{{QStringLiteral("operator"), QStringLiteral("now")},
                                      {QStringLiteral("second"), QStringLiteral("now")}}));
    }

    void onlyTheRightPasswordOfAKnownNameIsLetIn() {
        OpenFolder f;
        f.set(QStringLiteral("operator"), QStringLiteral("correct horse"));
        QVERIFY(f.check(QStringLiteral("operator"), QStringLiteral("correct horse")));
        QVERIFY(!f.check(QStringLiteral("operator"), QStringLiteral("correct hors")));
        QVERIFY(!f.check(QStringLiteral("operator"), QStringLiteral("Correct horse")));
        QVERIFY(!f.check(QStringLiteral("operator"), QString()));
        QVERIFY(!f.check(QStringLiteral("Operator"), QStringLiteral("correct horse")));
        QVERIFY(!f.check(QStringLiteral("nobody"), QStringLiteral("correct horse")));
    }

    void settingAgainReplacesThePasswordAndKeepsTheCreatedText() {
        OpenFolder f;
        f.set(QStringLiteral("operator"), QStringLiteral("first"));
        config::SetOperatorPassword(f.connection, QStringLiteral("operator"),
                                    QStringLiteral("second"), QStringLiteral("later"));
        QVERIFY(!f.check(QStringLiteral("operator"), QStringLiteral("first")));
        QVERIFY(f.check(QStringLiteral("operator"), QStringLiteral("second")));
        QCOMPARE(f.folder.rows(kSystemFile, QStringLiteral("SELECT Name, Created FROM Operators")),
                 (QList<QVariantList>{{QStringLiteral("operator"), QStringLiteral("now")}}));
    }

    // An account is an operator unless made a viewer; a new password keeps
    // the role, a role given changes it. A name or a role word the relay does
    // not know gives no commands.
    void theRoleIsKeptUnlessGiven() {
        OpenFolder f;
        using config::OperatorRole;
        const QString wall = QStringLiteral("wall");
        f.set(QStringLiteral("operator"), QStringLiteral("secret"));
        QCOMPARE(config::OperatorRoleOf(f.connection, QStringLiteral("operator")),
                 OperatorRole::Operator);
        config::SetOperatorPassword(f.connection, wall, QStringLiteral("one"),
                                    QStringLiteral("now"), OperatorRole::Viewer);
        QCOMPARE(config::OperatorRoleOf(f.connection, wall), OperatorRole::Viewer);
        f.set(wall, QStringLiteral("two"));
        QCOMPARE(config::OperatorRoleOf(f.connection, wall), OperatorRole::Viewer);
        QVERIFY(f.check(wall, QStringLiteral("two")));
        config::SetOperatorPassword(f.connection, wall, QStringLiteral("three"),
                                    QStringLiteral("later"), OperatorRole::Operator);
        QCOMPARE(f.folder.rows(kSystemFile,
                               QStringLiteral("SELECT Role, Created FROM Operators WHERE Name = ?"),
                               {wall}),
                 (QList<QVariantList>{{QStringLiteral("operator"), QStringLiteral("now")}}));

        QCOMPARE(config::OperatorRoleOf(f.connection, QStringLiteral("nobody")),
                 OperatorRole::Viewer);
        f.folder.exec(kSystemFile, QStringLiteral("UPDATE Operators SET Role = 'admin'"));
        QCOMPARE(config::OperatorRoleOf(f.connection, wall), OperatorRole::Viewer);
        f.folder.exec(kSystemFile, QStringLiteral("UPDATE Operators SET Role = ' Operator '"));
        QCOMPARE(config::OperatorRoleOf(f.connection, wall), OperatorRole::Operator);
    }

    // Names and passwords are bound as values: quotes and SQL in them are text.
    void anyPrintableNameAndPasswordWork() {
        OpenFolder f;
        const QString name = QStringLiteral("O'Brien'); DROP TABLE Operators; --");
        const QString password = QStringLiteral("pa'ss\" wörd ✓");
        f.set(name, password);
        QVERIFY(f.check(name, password));
        QVERIFY(!f.check(QStringLiteral("O'Brien"), password));
    }

    void namesAndPasswordsBeyondTheLimitsAreRefused_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("accepted");
        const QString ok = QStringLiteral("secret");
        QTest::newRow("empty name") << QString() << ok << false;
        QTest::newRow("64 characters") << QString(64, QLatin1Char('n')) << ok << true;
        QTest::newRow("65 characters") << QString(65, QLatin1Char('n')) << ok << false;
        QTest::newRow("line feed") << QStringLiteral("a\nb") << ok << false;
        QTest::newRow("escape") << QStringLiteral("a\x1b[2Jb") << ok << false;
        QTest::newRow("empty password") << QStringLiteral("op") << QString() << false;
        // 2 bytes each in UTF-8
        QTest::newRow("1024 bytes") << QStringLiteral("op") << QString(512, QChar(0xE9)) << true;
        QTest::newRow("1026 bytes") << QStringLiteral("op") << QString(513, QChar(0xE9)) << false;
    }
    void namesAndPasswordsBeyondTheLimitsAreRefused() {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(bool, accepted);
        OpenFolder f;
        bool raised = false;
        try {
            f.set(name, password);
        } catch (const platform::Error&) {
            raised = true;
        }
        QCOMPARE(raised, !accepted);
        QCOMPARE(f.check(name, password), accepted);
        QCOMPARE(f.folder.rows(kSystemFile, QStringLiteral("SELECT count(*) FROM Operators"))
                     .value(0)
                     .value(0)
                     .toInt(),
                 accepted ? 1 : 0);
    }

    // Each row is the stored hash of "secret" with %1 its count of rounds, %2
    // its salt and %3 its key; only the untouched one lets the password in.
    void aGarbledStoredHashNeverMatches_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("matches");
        QTest::newRow("untouched") << QStringLiteral("pbkdf2-sha256$%1$%2$%3") << true;
        QTest::newRow("empty") << QStringLiteral("") << false;
        QTest::newRow("the password itself") << QStringLiteral("secret") << false;
        QTest::newRow("another scheme") << QStringLiteral("pbkdf2-md5$%1$%2$%3") << false;
        QTest::newRow("count not a number") << QStringLiteral("pbkdf2-sha256$x$%2$%3") << false;
        QTest::newRow("count 0") << QStringLiteral("pbkdf2-sha256$0$%2$%3") << false;
        QTest::newRow("count negative") << QStringLiteral("pbkdf2-sha256$-1$%2$%3") << false;
        QTest::newRow("absurd count") << QStringLiteral("pbkdf2-sha256$2000000000$%2$%3") << false;
        QTest::newRow("another count") << QStringLiteral("pbkdf2-sha256$100001$%2$%3") << false;
        QTest::newRow("salt not base64") << QStringLiteral("pbkdf2-sha256$%1$*%2$%3") << false;
        QTest::newRow("short salt") << QStringLiteral("pbkdf2-sha256$%1$AAAA$%3") << false;
        QTest::newRow("key not base64") << QStringLiteral("pbkdf2-sha256$%1$%2$%3*") << false;
        QTest::newRow("short key") << QStringLiteral("pbkdf2-sha256$%1$%2$AAAA") << false;
        QTest::newRow("no key") << QStringLiteral("pbkdf2-sha256$%1$%2") << false;
        QTest::newRow("a part too many") << QStringLiteral("pbkdf2-sha256$%1$%2$%3$") << false;
    }
    void aGarbledStoredHashNeverMatches() {
        QFETCH(QString, pattern);
        QFETCH(bool, matches);
        OpenFolder f;
        f.set(QStringLiteral("operator"), QStringLiteral("secret"));
        const QStringList parts = f.storedHash(QStringLiteral("operator")).split(QLatin1Char('$'));
        QCOMPARE(parts.size(), 4);
        const QString stored = QString(pattern)
                                   .replace(QStringLiteral("%1"), parts[1])
                                   .replace(QStringLiteral("%2"), parts[2])
                                   .replace(QStringLiteral("%3"), parts[3]);
        f.folder.exec(kSystemFile, QStringLiteral("UPDATE Operators SET PasswordHash = ?"),
                      {stored});
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(f.check(QStringLiteral("operator"), QStringLiteral("secret")), matches);
        QCOMPARE(config::PasswordMatches(QStringLiteral("secret"), stored), matches);
        QVERIFY2(timer.elapsed() < 10000, "a stored count of rounds held the check");
    }

    // Without the derivation against a stand-in hash, an unknown name would be
    // answered hundreds of times faster than a known one.
    void anUnknownNameTakesAsLongAsAKnownOne() {
        OpenFolder f;
        f.set(QStringLiteral("operator"), QStringLiteral("secret"));
        const qint64 known =
            MedianMilliseconds([&] { f.check(QStringLiteral("operator"), QStringLiteral("x")); });
        const qint64 unknown =
            MedianMilliseconds([&] { f.check(QStringLiteral("nobody"), QStringLiteral("x")); });
        QVERIFY2(known > 0 && unknown * 3 >= known && unknown <= known * 3,
                 qPrintable(QStringLiteral("known %1 ms, unknown %2 ms").arg(known).arg(unknown)));
    }

    void randomPasswordsAreLongUnambiguousAndDifferent() {
        QSet<QString> seen;
        for (int i = 0; i < 50; ++i) {
            const QString password = config::RandomPassword();
            QVERIFY(password.size() >= 16);
            QVERIFY2(QRegularExpression(QStringLiteral("^[A-HJ-NP-Za-km-z2-9]+$"))
                         .match(password)
                         .hasMatch(),
                     qPrintable(password));
            seen.insert(password);
        }
        QCOMPARE(seen.size(), 50);
    }
};

QTEST_GUILESS_MAIN(OperatorsTest)
#include "operators-test.moc"
