// Connection and Recordset on real SQLite files: what the routines above them
// rely on when they read settings, bind grids and store packets.

#include "platform/Connection.h"
#include "platform/Error.h"
#include "platform/Recordset.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

namespace {

QString CS(const QString& path) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path +
           QStringLiteral(";Persist Security Info=False");
}

// Plain SQL against the file, outside the code under test.
void Sql(const QString& path, const QString& sql, const QVariantList& params = {}) {
    const QString name = QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.prepare(sql));
        for (const auto& p : params)
            q.addBindValue(p);
        QVERIFY2(q.exec(), qPrintable(sql));
    }
    QSqlDatabase::removeDatabase(name);
}

QVariant Scalar(const QString& path, const QString& sql) {
    const QString name = QUuid::createUuid().toString();
    QVariant result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.open();
        QSqlQuery q(db);
        q.exec(sql);
        if (q.next())
            result = q.value(0);
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

} // namespace

class RecordsetTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString db;
    platform::Connection cn;

private slots:
    void init() {
        db = dir.filePath(QUuid::createUuid().toString(QUuid::Id128) + QStringLiteral(".mdb"));
        Sql(db, QStringLiteral("CREATE TABLE T (Name TEXT, Value TEXT, N INTEGER)"));
        Sql(db, QStringLiteral(
                    "INSERT INTO T VALUES ('b', 'two', 2), ('a', NULL, 1), ('c', 'three', 3)"));
        cn.ConnectionString = CS(QStringLiteral(".\\") + QFileInfo(db).fileName());
        cn.BaseFolder = dir.path();
        cn.Open();
    }
    void cleanup() { cn.Close(); }

    void connectionOpensExistingFilesOnly() {
        platform::Connection missing;
        missing.ConnectionString = CS(dir.filePath(QStringLiteral("nothing.mdb")));
        try {
            missing.Open();
            QFAIL("opened a missing file");
        } catch (const platform::Error& e) {
            QVERIFY(e.text().contains(QStringLiteral("nothing.mdb")));
        }
        QCOMPARE(missing.State(), platform::ObjectState::Closed);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("nothing.mdb"))));
        QCOMPARE(cn.State(), platform::ObjectState::Open);
        cn.Close();
        QCOMPARE(cn.State(), platform::ObjectState::Closed);
    }

    void connectionRefusesAccessAndNonDatabaseFiles() {
        const QString jet = dir.filePath(QStringLiteral("jet.mdb"));
        QFile f(jet);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("\x00\x01\x00\x00", 4) + QByteArray("Standard Jet DB") +
                QByteArray(2000, '\0'));
        f.close();
        platform::Connection c;
        c.ConnectionString = CS(jet);
        try {
            c.Open();
            QFAIL("opened a Jet file");
        } catch (const platform::Error& e) {
            QVERIFY(e.text().contains(QStringLiteral("jet.mdb")));
            QVERIFY(e.text().contains(QStringLiteral("not a database this system can open")));
        }
        const QString text = dir.filePath(QStringLiteral("text.mdb"));
        QFile t(text);
        QVERIFY(t.open(QIODevice::WriteOnly));
        t.write(QByteArray(4096, 'x'));
        t.close();
        c.ConnectionString = CS(text);
        QVERIFY_THROWS_EXCEPTION(platform::Error, c.Open());
        QCOMPARE(c.State(), platform::ObjectState::Closed);
    }

    void countIsValidAtOnceAndMovesKeepOrder() {
        platform::Recordset rs;
        rs.Open(QStringLiteral("SELECT * FROM `T` ORDER BY `N` DESC"), cn);
        QCOMPARE(rs.State(), platform::ObjectState::Open);
        QCOMPARE(rs.RecordCount(), 3L);
        QVERIFY(!rs.Bof() && !rs.Eof());
        QCOMPARE(rs.Field(QStringLiteral("Name")).toString(), QStringLiteral("c"));
        rs.MoveNext();
        QCOMPARE(rs.Field(QStringLiteral("name")).toString(), QStringLiteral("b"));
        rs.MoveNext();
        rs.MoveNext();
        QVERIFY(rs.Eof());
        QVERIFY_THROWS_EXCEPTION(platform::Error, rs.MoveNext());
        QVERIFY_THROWS_EXCEPTION(platform::Error, rs.Field(QStringLiteral("Name")));
        rs.MoveLast();
        QCOMPARE(rs.Field(QStringLiteral("Name")).toString(), QStringLiteral("a"));
        rs.MoveFirst();
        QCOMPARE(rs.Field(QStringLiteral("N")).toInt(), 3);
        QCOMPARE(rs.FieldCount(), 3);
        QVERIFY_THROWS_EXCEPTION(platform::Error, rs.Field(QStringLiteral("Missing")));
        rs.Close();
        QCOMPARE(rs.State(), platform::ObjectState::Closed);
        QVERIFY_THROWS_EXCEPTION(platform::Error, rs.RecordCount());
    }

    void emptyResultIsBothBofAndEof() {
        platform::Recordset rs;
        rs.Open(QStringLiteral("SELECT * FROM `T` WHERE (`Name` = ?)"), cn, {QStringLiteral("zz")});
        QCOMPARE(rs.RecordCount(), 0L);
        QVERIFY(rs.Bof());
        QVERIFY(rs.Eof());
        QVERIFY_THROWS_EXCEPTION(platform::Error, rs.MoveFirst());
        QCOMPARE(rs.FieldCount(), 3);
    }

    void nullReadsAsAbsentAndParametersAreValues() {
        platform::Recordset rs;
        rs.Open(QStringLiteral("SELECT * FROM `T` WHERE (`Name` = ?)"), cn, {QStringLiteral("a")});
        QVERIFY(!rs.Field(QStringLiteral("Value")).isValid());
        platform::Recordset quoted;
        quoted.Open(QStringLiteral("SELECT * FROM `T` WHERE (`Name` = ?)"), cn,
                    {QStringLiteral("it's'); DROP TABLE T; --")});
        QCOMPARE(quoted.RecordCount(), 0L);
        QCOMPARE(Scalar(db, QStringLiteral("SELECT count(*) FROM T")).toInt(), 3);
    }

    void updateWritesChangedRowsAndReadOnlyRefuses() {
        platform::Recordset ro;
        ro.Open(QStringLiteral("SELECT * FROM `T`"), cn);
        QVERIFY_THROWS_EXCEPTION(platform::Error,
                                 ro.SetField(QStringLiteral("Value"), QStringLiteral("x")));

        platform::Recordset rs;
        rs.LockType = 3;
        rs.Open(QStringLiteral("SELECT * FROM `T` ORDER BY `Name`"), cn);
        rs.SetField(QStringLiteral("Value"), QStringLiteral("one"));
        rs.MoveNext();
        rs.SetField(QStringLiteral("Value"), QVariant());
        rs.Update();
        QCOMPARE(Scalar(db, QStringLiteral("SELECT Value FROM T WHERE Name='a'")).toString(),
                 QStringLiteral("one"));
        QVERIFY(Scalar(db, QStringLiteral("SELECT Value FROM T WHERE Name='b'")).isNull());
        QCOMPARE(Scalar(db, QStringLiteral("SELECT Value FROM T WHERE Name='c'")).toString(),
                 QStringLiteral("three"));

        rs.AddNew();
        rs.SetField(QStringLiteral("Name"), QStringLiteral("d"));
        rs.MoveFirst();
        rs.Delete();
        rs.Update();
        QCOMPARE(
            Scalar(db, QStringLiteral(
                           "SELECT group_concat(Name, '') FROM (SELECT Name FROM T ORDER BY Name)"))
                .toString(),
            QStringLiteral("bcd"));
    }

    void failedUpdateKeepsTheEditsForAnotherTry() {
        Sql(db, QStringLiteral("CREATE UNIQUE INDEX T_Name ON T (Name)"));
        platform::Recordset rs;
        rs.LockType = 3;
        rs.Open(QStringLiteral("SELECT * FROM `T` ORDER BY `Name`"), cn);
        rs.SetField(QStringLiteral("Value"), QStringLiteral("kept"));
        rs.MoveNext();
        rs.SetField(QStringLiteral("Name"), QStringLiteral("c")); // collides
        QVERIFY_THROWS_EXCEPTION(platform::Error, rs.Update());
        QVERIFY(Scalar(db, QStringLiteral("SELECT Value FROM T WHERE Name='a'")).isNull());
        rs.SetField(QStringLiteral("Name"), QStringLiteral("bb"));
        rs.Update();
        QCOMPARE(Scalar(db, QStringLiteral("SELECT Value FROM T WHERE Name='a'")).toString(),
                 QStringLiteral("kept"));
        QCOMPARE(Scalar(db, QStringLiteral("SELECT count(*) FROM T WHERE Name='bb'")).toInt(), 1);
    }

    void requeryShowsRowsAddedSinceOpening() {
        platform::Recordset rs;
        rs.Open(QStringLiteral("SELECT * FROM `T` ORDER BY `N`"), cn);
        Sql(db, QStringLiteral("INSERT INTO T VALUES ('z', 'new', 0)"));
        QCOMPARE(rs.RecordCount(), 3L);
        rs.Requery();
        QCOMPARE(rs.RecordCount(), 4L);
        QCOMPARE(rs.Field(QStringLiteral("Name")).toString(), QStringLiteral("z"));
        cn.Close();
        QVERIFY_THROWS_EXCEPTION(platform::Error, rs.Requery());
        QCOMPARE(rs.RecordCount(), 4L); // the client-side copy is still readable
    }

    void everyByteValueSurvivesTheStore() {
        QByteArray all;
        for (int i = 0; i < 256; ++i)
            all.append(static_cast<char>(i));
        Sql(db, QStringLiteral("CREATE TABLE P (Packet BLOB)"));
        cn.Execute(QStringLiteral("INSERT INTO `P` (Packet) VALUES (?)"), {all});
        platform::Recordset rs;
        rs.LockType = 3;
        rs.Open(QStringLiteral("SELECT * FROM `P`"), cn);
        QCOMPARE(rs.Field(QStringLiteral("Packet")).toByteArray(), all);
        QByteArray reversed;
        for (int i = 255; i >= 0; --i)
            reversed.append(static_cast<char>(i));
        rs.SetField(QStringLiteral("Packet"), reversed);
        rs.Update();
        rs.Requery();
        QCOMPARE(rs.Field(QStringLiteral("Packet")).toByteArray(), reversed);
    }

    void executeReportsTheEnginesText() {
        try {
            cn.Execute(QStringLiteral("DELETE FROM `Nope`"));
            QFAIL("no error");
        } catch (const platform::Error& e) {
            QVERIFY(e.text().contains(QStringLiteral("Nope")));
        }
    }
};

QTEST_GUILESS_MAIN(RecordsetTest)
#include "recordset-test.moc"
