// What a route written in a table lets through: the pages an output or a
// publisher gets for each kind of term, and the reasons a route is refused.

#include "routing/AliasBook.h"
#include "routing/Route.h"

#include <QElapsedTimer>
#include <QTest>

using routing::Alias;
using routing::AliasBook;
using routing::PageFacts;
using routing::Route;
using routing::RoutedPage;

namespace {

struct Page {
    QByteArray address = "1234567";
    QByteArray function = "A";
    QByteArray text = "Ambulance to 12 Main St";
    QByteArray rate = "1200";
    QByteArray frequency = "1";
    QByteArray type = "A";
};

const AliasBook kAliases({
    {1300001, "", QStringLiteral("Station 12 crew"), QStringLiteral("Ambulance")},
    {1300002, "C", QStringLiteral("Station 12 crew"), QStringLiteral("Ambulance")},
    {1400000, "B", QStringLiteral("Duty officer"), QStringLiteral("Fire")},
});

Route Parsed(const QString& text) {
    const Route::Parsed parsed = Route::Parse(text, kAliases);
    if (!parsed.route)
        qFatal("route %s refused: %s", qPrintable(text), qPrintable(parsed.problem));
    return *parsed.route;
}

QString Problem(const QString& text) {
    return Route::Parse(text, kAliases).problem;
}

bool Routes(const QString& route, const Page& page) {
    return Parsed(route).Routes(RoutedPage(
        PageFacts{page.rate, page.frequency, page.function, page.address, page.type, page.text}));
}

Page At(const char* address, const char* function = "A") {
    Page page;
    page.address = address;
    page.function = function;
    return page;
}

Page Saying(const QByteArray& text) {
    Page page;
    page.text = text;
    return page;
}

} // namespace

class RouteLanguageTest : public QObject {
    Q_OBJECT
private slots:
    void anEmptyRouteTakesEveryPage() {
        QVERIFY(Parsed(QString()).Everything());
        QVERIFY(Parsed(QStringLiteral(" , ")).Everything());
        QVERIFY(Routes(QString(), At("0000001", "D")));
        QVERIFY(!Route::Nothing().Routes(RoutedPage(PageFacts{})));
    }

    void addressesAndRangesIncludeTheirEnds() {
        const QString route = QStringLiteral("1234567, 1200000-1299999 2000000");
        QVERIFY(Routes(route, At("1234567")));
        QVERIFY(Routes(route, At("1200000")));
        QVERIFY(Routes(route, At("1299999")));
        QVERIFY(Routes(route, At("2000000")));
        QVERIFY(!Routes(route, At("1300000")));
        QVERIFY(!Routes(route, At("1199999")));
        // Leading zeros are the same address.
        QVERIFY(Routes(QStringLiteral("42"), At("0000042")));
    }

    void fieldTermsCompareTheirField() {
        QVERIFY(Routes(QStringLiteral("fn:BD"), At("1", "B")));
        QVERIFY(Routes(QStringLiteral("fn:bd"), At("1", "D")));
        QVERIFY(!Routes(QStringLiteral("fn:BD"), At("1", "A")));
        Page page;
        page.frequency = "2";
        page.rate = "512";
        page.type = "N";
        QVERIFY(Routes(QStringLiteral("freq:2"), page));
        QVERIFY(!Routes(QStringLiteral("freq:1"), page));
        QVERIFY(Routes(QStringLiteral("rate:512"), page));
        QVERIFY(!Routes(QStringLiteral("rate:1200"), page));
        QVERIFY(Routes(QStringLiteral("type:n"), page));
        QVERIFY(!Routes(QStringLiteral("type:A"), page));
    }

    void aTextTermIsAWholeWordInAnyCase() {
        QVERIFY(Routes(QStringLiteral("text:fire"), Saying("House FIRE at 12 Main St")));
        QVERIFY(Routes(QStringLiteral("text:\"main st\""), Saying("House fire at 12 Main St")));
        QVERIFY(Routes(QStringLiteral("text:\"main  st\""), Saying("12 main st.")));
        QVERIFY(!Routes(QStringLiteral("text:fire"), Saying("Firefighters to the station")));
        QVERIFY(!Routes(QStringLiteral("text:test"), Saying("contest")));
        // A term that starts or ends with a sign needs no word boundary there.
        QVERIFY(Routes(QStringLiteral("text:#12"), Saying("unit#12 respond")));
        // Quoted, a term holds commas and quotes.
        QVERIFY(Routes(QStringLiteral("text:\"a, \\\"b\\\"\""), Saying("x a, \"b\" y")));
        // Bytes above 127 are compared as they are.
        QVERIFY(Routes(QString::fromLatin1("text:caf\xe9"), Saying("Caf\xe9 open")));
    }

    void aPatternMatchesAnywhereInTheText() {
        QVERIFY(Routes(QStringLiteral("re:/^TEST\\b/"), Saying("TEST page")));
        QVERIFY(!Routes(QStringLiteral("re:/^TEST\\b/"), Saying("test page")));
        QVERIFY(Routes(QStringLiteral("re:/^TEST\\b/i"), Saying("test page")));
        QVERIFY(Routes(QStringLiteral("re:/a\\/b/"), Saying("route a/b")));
        QVERIFY(Routes(QStringLiteral("re:/x y,z/"), Saying("-x y,z-")));
        // Every byte of the text reaches the pattern as itself.
        QVERIFY(Routes(QStringLiteral("re:/\\x{00}\\x{ff}/"), Saying(QByteArray("a\0\xff", 3))));
    }

    void aRunawayPatternGivesUpInsteadOfHoldingTheRelay() {
        // The first branch tries 2^22 ways to fail before the second matches:
        // past the step limit, the pattern gives up and does not match.
        const QString runaway = QStringLiteral("re:/^(?:a|a)*b|a/");
        QVERIFY(!Routes(runaway, Saying(QByteArray(22, 'a'))));
        QVERIFY(Routes(runaway, Saying(QByteArray(4, 'a'))));
    }

    void exclusionsWinOverInclusions() {
        // The ambulance service gets its range, minus test pages.
        const QString route = QStringLiteral("1200000-1299999 !text:test");
        QVERIFY(Routes(route, At("1250000")));
        Page test = Saying("TEST page");
        test.address = "1250000";
        QVERIFY(!Routes(route, test));
        QVERIFY(!Routes(route, At("1300000")));
        // Exclusions alone: every page but those.
        QVERIFY(Routes(QStringLiteral("!fn:D"), At("1", "A")));
        QVERIFY(!Routes(QStringLiteral("!fn:D"), At("1", "D")));
    }

    void anAliasStandsForItsAddresses() {
        const QString route = QStringLiteral("alias:\"station 12 CREW\"");
        QVERIFY(Routes(route, At("1300001", "A")));
        QVERIFY(Routes(route, At("1300001", "D")));
        QVERIFY(Routes(route, At("1300002", "C")));
        QVERIFY(!Routes(route, At("1300002", "A")));
        QVERIFY(!Routes(route, At("1400000", "B")));
        QVERIFY(Routes(QStringLiteral("!alias:\"Duty officer\""), At("1400000", "A")));
        QVERIFY(!Routes(QStringLiteral("!alias:\"Duty officer\""), At("1400000", "B")));
    }

    void aRouteThatDoesNotParseIsRefusedWithItsReason() {
        const struct {
            const char* route;
            const char* problem;
        } cases[] = {
            {"12345x", "\"12345x\": an address is up to 9 digits"},
            {"200-100", "\"200-100\": the range ends below its start"},
            {"1-2-3", "\"1-2-3\": an address"},
            {"1234567890", "\"1234567890\": an address is up to 9 digits"},
            {"fn:E", "\"fn:E\": function letters are A, B, C and D"},
            {"freq:x", "\"freq:x\": digits expected"},
            {"type:1", "\"type:1\": letters expected"},
            {"color:red", "\"color:red\": unknown term"},
            {"text:", "\"text:\": nothing follows the ':'"},
            {"!", "\"!\": '!' must be followed by a term"},
            {"text:\"open", "a quote opened at \"text:\"open\" is not closed"},
            {"re:/(a/", "\"re:/(a/\": missing closing parenthesis"},
            {"re:/a", "the pattern at \"re:/a\" has no closing '/'"},
            {"re:/a/x", "\"re:/a/x\": the only flag after a pattern is i"},
            {"re:/(*LIMIT_MATCH=99999999)a/", "may not hold \"(*\""},
            {"text:\"a\"b", "\"text:\"a\"\" runs into \"b\""},
            {"alias:Nobody", "\"alias:Nobody\": no alias has that name"},
        };
        for (const auto& c : cases) {
            const QString problem = Problem(QString::fromLatin1(c.route));
            QVERIFY2(problem.contains(QString::fromLatin1(c.problem)),
                     qPrintable(QStringLiteral("%1 gave: %2").arg(c.route, problem)));
        }
        QVERIFY(Problem(QStringLiteral("re:/%1/").arg(
                            QString(routing::kMaxPatternLength + 1, QLatin1Char('a'))))
                    .contains(QLatin1String("at most")));
        QVERIFY(Problem(QString(routing::kMaxRouteLength + 1, QLatin1Char('1')))
                    .contains(QLatin1String("at most")));
        QStringList many;
        for (int i = 0; i <= routing::kMaxRouteTerms; ++i)
            many << QString::number(i);
        QVERIFY(Problem(many.join(QLatin1Char(' '))).contains(QLatin1String("at most")));
    }
};

QTEST_GUILESS_MAIN(RouteLanguageTest)
#include "route-language-test.moc"
