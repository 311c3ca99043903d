// The history's searches on an archive of 10 million pages over 90 days.
//
// Fills build/bench/history-cache/history-<pages>.mdb once (generated
// dispatch pages to 50 address ranges, with their delivery trails) and keeps
// it: later runs search the same file. A fill that was stopped goes on where
// it stopped. Then, in a process of its own (so that its memory is the
// searches'), it times a few hundred searches of each kind from random
// values, as the console asks them (50 pages, newest first), and prints their
// median and 95th percentile, the peak resident memory of the searching
// process, and the file's size per page. It never fails.
//
// Run: build/bench/history-bench [--pages N] [--queries N] [--fill-only] [--refill]
//                                 [--show-slow MS] [--only KIND]

#include "HistoryFill.h"
#include "HistoryPages.h"
#include "ProcessMemory.h"

#include "history/HistorySearch.h"
#include "platform/Connection.h"
#include "platform/Error.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <unistd.h>
#include <vector>

namespace {

constexpr qint64 kDefaultPages = 10000000;
constexpr int kDefaultQueries = 300;
constexpr quint64 kQuerySeed = 20260101;

struct Options {
    qint64 pages = kDefaultPages;
    int queries = kDefaultQueries;
    bool fillOnly = false;
    bool refill = false;
    double showSlowerMs = -1; // print each search slower than this
    QString only;             // time only the kinds whose name has this
};

Options ParseOptions(const QStringList& arguments) {
    Options options;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--pages") && i + 1 < arguments.size())
            options.pages = std::max<qint64>(1000, arguments[++i].toLongLong());
        else if (a == QLatin1String("--queries") && i + 1 < arguments.size())
            options.queries = std::max(10, arguments[++i].toInt());
        else if (a == QLatin1String("--fill-only"))
            options.fillOnly = true;
        else if (a == QLatin1String("--refill"))
            options.refill = true;
        else if (a == QLatin1String("--only") && i + 1 < arguments.size())
            options.only = arguments[++i];
        else if (a == QLatin1String("--show-slow") && i + 1 < arguments.size())
            options.showSlowerMs = arguments[++i].toDouble();
    }
    return options;
}

QString CachePath(qint64 pages) {
    const QString folder =
        QCoreApplication::applicationDirPath() + QStringLiteral("/history-cache");
    QDir().mkpath(folder);
    // The generator's version is in the name: a changed generator fills anew.
    return folder + QStringLiteral("/history-v%1-%2.mdb").arg(bench::kGeneratorVersion).arg(pages);
}

// The marker of a finished fill holds the seconds the whole fill took.
QString FilledMarker(const QString& path) {
    return path + QStringLiteral(".filled");
}

double FillSeconds(const QString& path) {
    QFile marker(FilledMarker(path));
    return marker.open(QIODevice::ReadOnly) ? marker.readAll().trimmed().toDouble() : -1;
}

void Fill(const QString& path, qint64 pages, bool refill) {
    if (refill) {
        for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm"),
                                      QStringLiteral(".filled"), QStringLiteral(".seconds")})
            QFile::remove(path + suffix);
    }
    if (QFile::exists(FilledMarker(path)))
        return;
    // Seconds of earlier, stopped fills of the same file add up.
    QFile spent(path + QStringLiteral(".seconds"));
    const double before = spent.open(QIODevice::ReadOnly) ? spent.readAll().toDouble() : 0;
    spent.close();
    std::printf("Filling %s with %lld pages\n", qPrintable(path), static_cast<long long>(pages));
    std::fflush(stdout);
    const double seconds = before + bench::FillHistory(path, pages);
    QFile marker(FilledMarker(path));
    if (marker.open(QIODevice::WriteOnly))
        marker.write(QByteArray::number(seconds, 'f', 0));
    QFile::remove(spent.fileName());
}

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto at = static_cast<size_t>(p * double(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

struct Kind {
    const char* name;
    std::function<history::PageQuery(bench::Random&)> make;
};

// A window of one to seven days somewhere in the 90.
void TimeRange(history::PageQuery& query, bench::Random& random) {
    const qint64 length = (1 + random.Below(7)) * bench::kDayMs;
    query.fromMs = bench::kFirstPageMs + qint64(random.Unit() * double(bench::kSpanMs - length));
    query.toMs = *query.fromMs + length;
}

void WholeRange(history::PageQuery& query, int r) {
    const bench::AddressRange range = bench::Range(r);
    query.addressFrom = range.first;
    query.addressTo = range.first + range.count - 1;
}

QList<Kind> Kinds(qint64 pages) {
    static const QStringList words = bench::SearchWords();
    auto word = [](bench::Random& random) { return words[random.Below(int(words.size()))]; };
    return {
        {"address range, 1-7 days",
         [](bench::Random& random) {
             history::PageQuery q;
             WholeRange(q, random.Below(bench::kRanges));
             TimeRange(q, random);
             return q;
         }},
        {"one address, 1-7 days",
         [](bench::Random& random) {
             history::PageQuery q;
             q.addressFrom = bench::PickAddress(random, bench::PickRange(random));
             TimeRange(q, random);
             return q;
         }},
        {"text word",
         [word](bench::Random& random) {
             history::PageQuery q;
             q.text = word(random);
             return q;
         }},
        {"text word, older pages",
         [word, pages](bench::Random& random) {
             history::PageQuery q;
             q.text = word(random);
             q.before = 1 + qint64(random.Unit() * double(pages));
             return q;
         }},
        {"text word + address range",
         [word](bench::Random& random) {
             history::PageQuery q;
             q.text = word(random);
             WholeRange(q, random.Below(bench::kRanges));
             return q;
         }},
        {"text word + one address",
         [word](bench::Random& random) {
             history::PageQuery q;
             q.text = word(random);
             q.addressFrom = bench::PickAddress(random, bench::PickRange(random));
             return q;
         }},
        {"newest page of one address",
         [](bench::Random& random) {
             history::PageQuery q;
             q.addressFrom = bench::PickAddress(random, bench::PickRange(random));
             q.limit = 1;
             return q;
         }},
    };
}

QString Described(const history::PageQuery& q) {
    QStringList parts;
    if (q.addressFrom)
        parts << QStringLiteral("address %1-%2")
                     .arg(*q.addressFrom)
                     .arg(q.addressTo.value_or(*q.addressFrom));
    if (!q.text.isEmpty())
        parts << QStringLiteral("text %1").arg(q.text);
    if (q.fromMs)
        parts << QStringLiteral("days %1-%2")
                     .arg(double(*q.fromMs - bench::kFirstPageMs) / bench::kDayMs, 0, 'f', 1)
                     .arg(double(*q.toMs - bench::kFirstPageMs) / bench::kDayMs, 0, 'f', 1);
    if (q.before)
        parts << QStringLiteral("before %1").arg(*q.before);
    return parts.join(QStringLiteral(", "));
}

void TimeKind(const QSqlDatabase& db, const Kind& kind, const Options& options) {
    const int queries = options.queries;
    bench::Random random(kQuerySeed);
    std::vector<double> ms;
    qint64 rows = 0;
    QElapsedTimer timer;
    for (int i = 0; i < queries; ++i) {
        const history::PageQuery query = kind.make(random);
        timer.start();
        const history::PageResult result = history::FindPages(db, query);
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
        rows += result.pages.size();
        if (options.showSlowerMs >= 0 && ms.back() > options.showSlowerMs)
            std::printf("  %.1f ms, %lld pages: %s\n", ms.back(),
                        static_cast<long long>(result.pages.size()), qPrintable(Described(query)));
    }
    std::printf("%-28s %8.2f %8.2f %8.2f %10.1f\n", kind.name, Percentile(ms, 0.5),
                Percentile(ms, 0.95), Percentile(ms, 1.0), double(rows) / queries);
    std::fflush(stdout);
}

// Forgets the peak so far: the figure then is the searches' alone.
void ResetPeakMemory() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

void Search(const QString& path, const Options& options) {
    const qint64 startKiB = ResidentKiB();
    ResetPeakMemory();
    const QString name = QStringLiteral("history-search");
    {
        const QSqlDatabase db = history::OpenReader(path, name);
        std::printf("\n%lld pages; %d searches of each kind, 50 pages each unless said\n",
                    static_cast<long long>(options.pages), options.queries);
        std::printf("%-28s %8s %8s %8s %10s\n", "search", "p50 ms", "p95 ms", "max ms",
                    "pages/ans");
        for (const Kind& kind : Kinds(options.pages))
            if (QString::fromLatin1(kind.name).contains(options.only))
                TimeKind(db, kind, options);
    }
    platform::CloseDatabase(name);
    const qint64 bytes = QFileInfo(path).size() + QFileInfo(path + QStringLiteral("-wal")).size();
    std::printf("\nresident memory: %.1f MB before the searches, peak %.1f MB while searching\n",
                double(startKiB) / 1024,
                double(ProcessKiB(QStringLiteral("self"), "VmHWM")) / 1024);
    std::printf("file: %.2f GB, %.0f bytes a page (with its trail and text index)\n",
                double(bytes) / 1e9, double(bytes) / double(options.pages));
    const double fill = FillSeconds(path);
    if (fill >= 0)
        std::printf("fill: %.0f s, %.0f pages/s\n", fill,
                    double(options.pages) / std::max(1.0, fill));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const Options options = ParseOptions(app.arguments());
    const QString path = CachePath(options.pages);
    try {
        if (options.refill || !QFile::exists(FilledMarker(path))) {
            Fill(path, options.pages, options.refill);
            if (options.fillOnly)
                return 0;
            // The searches in a fresh process: the fill's memory is not theirs.
            std::vector<char*> args(argv, argv + argc);
            args.erase(std::remove_if(args.begin(), args.end(),
                                      [](const char* a) { return qstrcmp(a, "--refill") == 0; }),
                       args.end());
            args.push_back(nullptr);
            std::fflush(stdout);
            execv("/proc/self/exe", args.data());
        }
        if (!options.fillOnly)
            Search(path, options);
    } catch (const std::exception& error) {
        std::printf("history-bench: %s\n", error.what());
    }
    return 0;
}
