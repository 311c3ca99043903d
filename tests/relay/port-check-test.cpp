// The port check: connections that would use one port are reported, however
// their ports are written.

#include "TestSystem.h"

#include <QTest>

class PortCheckTest : public QObject {
    Q_OBJECT

private slots:
    // The sockets read " 7182" and "07182" as 7182, so the check does too; a
    // text that is no number is compared as it is written.
    void portsAreComparedAsTheNumbersTheyAre() {
        WorkFolder folder;
        folder.setOutputs({{QStringLiteral("Out A"), QStringLiteral("7182")},
                           {QStringLiteral("Out B"), QStringLiteral(" 7182")},
                           {QStringLiteral("Out C"), QStringLiteral("abc")},
                           {QStringLiteral("Out D"), QStringLiteral("abc")},
                           {QStringLiteral("Out E"), QStringLiteral("abc ")},
                           {QStringLiteral("Out F"), QStringLiteral("7183")}});
        folder.exec(QStringLiteral("Ombrixsys.mdb"),
                    QStringLiteral("INSERT INTO Telstra (Description, Port, Active) VALUES "
                                   "('Feed 1', '07182', 'Y'), ('Feed 2', '7183 ', 'Y')"));
        TestSystem t(folder.path());
        QVERIFY(t->Form_Load());
        QStringList texts;
        for (const TestSystem::Warning& warning : t.warnings)
            texts << QString::number(warning.number) + QLatin1Char(' ') + warning.text;
        QCOMPARE(texts,
                 (QStringList{
                     QStringLiteral("600 System: Found duplicate ports \t7182\tOut A\tOut B"),
                     QStringLiteral("600 System: Found duplicate ports \tabc\tOut C\tOut D"),
                     QStringLiteral("602 System: Found duplicate ports between tables\t7182\tOut "
                                    "A\tFeed 1"),
                     QStringLiteral("602 System: Found duplicate ports between tables\t 7182\tOut "
                                    "B\tFeed 1"),
                     QStringLiteral("602 System: Found duplicate ports between tables\t7183\tOut "
                                    "F\tFeed 2")}));
        QVERIFY(folder.systemLog().contains(
            "\tOutput\tSystem: Found duplicate ports \t7182\tOut A\tOut B\r\n"));
    }
};

QTEST_GUILESS_MAIN(PortCheckTest)
#include "port-check-test.moc"
