// What routes cost the dispatch: 50 outputs, each with a route of 20 terms
// (address ranges, function letters, words of the text, an alias, exclusions
// and one regular expression), asked for pages of realistic addresses and
// texts. The page is read once for all the outputs, as the dispatch reads it.
// Prints the time per output and page (target: under 2 us), and how many of
// the pages each output got, so that a route that lets nothing through cannot
// pass for a fast one.
// Run: build/bench/route-bench [pages]

#include "routing/AliasBook.h"
#include "routing/Route.h"

#include <QElapsedTimer>
#include <QList>
#include <QRandomGenerator>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kOutputs = 50;
constexpr int kDefaultPages = 20'000;
constexpr quint32 kAddressSpace = 2'000'000;
constexpr quint32 kRangeWidth = 40'000;
constexpr double kTargetNs = 2000;

const char* const kWords[] = {"fire",  "ambulance", "house", "alarm",  "smoke",   "unit",
                              "ward",  "patient",   "crash", "street", "respond", "station",
                              "level", "rescue",    "water", "gas",    "leak",    "test"};

QByteArray Text(QRandomGenerator& random) {
    QByteArray text = "Unit " + QByteArray::number(random.bounded(100));
    const int words = 6 + int(random.bounded(10));
    for (int i = 0; i < words; ++i)
        text += ' ' + QByteArray(kWords[random.bounded(int(std::size(kWords)))]);
    text += " at " + QByteArray::number(random.bounded(400)) + " Main St";
    return text;
}

// Output k's route: its own address ranges and a neighbour's, a function,
// words, an alias, three exclusions and one pattern. 20 terms.
QString RouteOf(int k) {
    QStringList terms;
    const quint32 base = quint32(k) * kRangeWidth;
    for (int i = 0; i < 8; ++i)
        terms << QStringLiteral("%1-%2")
                     .arg(base + quint32(i) * 5000)
                     .arg(base + quint32(i) * 5000 + 2999);
    terms << QStringLiteral("%1").arg((base + kRangeWidth * 7) % kAddressSpace);
    terms << QStringLiteral("fn:%1").arg(QChar(u'A' + k % 4));
    terms << QStringLiteral("text:\"%1\"").arg(QLatin1String(kWords[k % std::size(kWords)]));
    terms << QStringLiteral("text:\"%1 %2\"")
                 .arg(QLatin1String(kWords[(k + 3) % std::size(kWords)]),
                      QLatin1String(kWords[(k + 5) % std::size(kWords)]));
    terms << QStringLiteral("alias:\"Station %1\"").arg(k);
    terms << QStringLiteral("freq:%1").arg(1 + k % 2);
    terms << QStringLiteral("rate:512");
    terms << QStringLiteral("type:N");
    terms << QStringLiteral("!text:test") << QStringLiteral("!fn:D")
          << QStringLiteral("!%1").arg(base + 1);
    terms << QStringLiteral("re:/^Unit %1\\b.*(fire|smoke)/i").arg(k);
    return terms.join(QLatin1Char(' '));
}

} // namespace

int main(int argc, char** argv) {
    const int pageCount = argc > 1 ? std::atoi(argv[1]) : kDefaultPages;
    QRandomGenerator random(7);

    QList<routing::Alias> aliases;
    for (int k = 0; k < kOutputs; ++k)
        for (int i = 0; i < 3; ++i)
            aliases.append({quint32(random.bounded(kAddressSpace)),
                            "",
                            QStringLiteral("Station %1").arg(k),
                            {}});
    const routing::AliasBook book(aliases);

    std::vector<routing::Route> routes;
    for (int k = 0; k < kOutputs; ++k) {
        const routing::Route::Parsed parsed = routing::Route::Parse(RouteOf(k), book);
        if (!parsed.route) {
            std::fprintf(stderr, "route %d refused: %s\n", k, qPrintable(parsed.problem));
            return 1;
        }
        routes.push_back(*parsed.route);
    }

    struct Fields {
        QByteArray rate, frequency, function, address, type, text;
    };
    QList<Fields> pages;
    for (int i = 0; i < pageCount; ++i) {
        const bool numeric = random.bounded(5) == 0;
        pages.append({random.bounded(3) ? "1200" : "512", random.bounded(2) ? "1" : "2",
                      QByteArray(1, char('A' + random.bounded(4))),
                      QByteArray::number(random.bounded(kAddressSpace)).rightJustified(7, '0'),
                      numeric ? "N" : "A",
                      numeric ? QByteArray::number(random.bounded(100000)) : Text(random)});
    }

    long routed = 0;
    QElapsedTimer timer;
    timer.start();
    for (const Fields& f : std::as_const(pages)) {
        const routing::RoutedPage page(
            routing::PageFacts{f.rate, f.frequency, f.function, f.address, f.type, f.text});
        for (const routing::Route& route : routes)
            routed += route.Routes(page) ? 1 : 0;
    }
    const double ns = double(timer.nsecsElapsed()) / (double(pageCount) * kOutputs);
    std::printf("%d outputs, 20-term routes with one pattern, %d pages: %.0f ns per output and "
                "page (target under %.0f); %.1f %% of the pairs routed\n",
                kOutputs, pageCount, ns, kTargetNs,
                100.0 * double(routed) / (pageCount * kOutputs));
    return ns < kTargetNs ? 0 : 1;
}
