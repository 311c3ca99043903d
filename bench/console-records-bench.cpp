// What the console's reads of the store and the logs cost the relay's thread.
//
// The Delayed view: the median time of one page (50 rows) at the start, the
// middle and the end of the store, newest first, oldest first and for one
// destination, at 1,000, 10,000 and 100,000 stored rows; the page is read on
// the relay's thread, so this is how long a page holds it.
//
// The log search: a System log of LOG_MB megabytes (default 200) and a
// back-up of the same size; the time of a search that must read everything
// (a text no line has) and of one that stops at its 200 lines, the memory the
// process grew by, and the longest the relay's loop went without a turn
// while the search ran on its worker (a 1 ms timer's largest gap).
// Run: build/bench/console-records-bench [LOG_MB]

#include "ProcessMemory.h"
#include "StoredRows.h"
#include "TestPorts.h"
#include "TestSystem.h"
#include "logging/LogSearch.h"
#include "relay/DelayedPage.h"
#include "web/LogSearches.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace {

void Fill(WorkFolder& folder, int rows) {
    FillDelayed(
        folder, rows,
        [](int i) { return i % 3 ? QStringLiteral("Client A") : QStringLiteral("Client B"); },
        QByteArray("\x02"
                   "1200\r1\rD\r1234567\rA\rAmbulance 12 to 45 Harbour St\x03"));
}

double PageMs(adoDelayed& store, const relay::DelayedPageQuery& query) {
    std::vector<double> times;
    QElapsedTimer timer;
    for (int i = 0; i < 21; ++i) {
        timer.start();
        const relay::DelayedPage page = relay::ReadDelayedPage(store, query);
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (page.rows.isEmpty())
            std::printf("  (no rows at offset %lld)\n", static_cast<long long>(query.offset));
    }
    return Median(times);
}

void DelayedPages() {
    std::printf("Delayed view, one page of 50 rows (median ms)\n");
    std::printf("%8s %10s %10s %10s %10s %14s\n", "rows", "first", "middle", "last", "oldest last",
                "one dest. last");
    for (const int rows : {1000, 10000, 100000}) {
        WorkFolder folder;
        folder.setOutputs({{QStringLiteral("Client A"), QString::number(TestPort())},
                           {QStringLiteral("Client B"), QString::number(TestPort())}});
        Fill(folder, rows);
        TestSystem t(folder.path());
        t->Form_Load();
        relay::DelayedPageQuery query;
        const double first = PageMs(t->delayedDb, query);
        query.offset = rows / 2;
        const double middle = PageMs(t->delayedDb, query);
        query.offset = rows - 50;
        const double last = PageMs(t->delayedDb, query);
        query.order = relay::DelayedPageQuery::Order::Oldest;
        const double oldestLast = PageMs(t->delayedDb, query);
        query.destination = QStringLiteral("Client B");
        query.offset = rows / 3 - 50;
        const double destinationLast = PageMs(t->delayedDb, query);
        std::printf("%8d %10.2f %10.2f %10.2f %10.2f %14.2f\n", rows, first, middle, last,
                    oldestLast, destinationLast);
    }
}

// A log of about MB megabytes in the System log's line format.
void WriteLog(const QString& path, int megabytes, const QDateTime& start) {
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    const platform::DateTimeText texts;
    QByteArray chunk;
    qint64 written = 0;
    for (int i = 0; written < qint64(megabytes) * 1024 * 1024; ++i) {
        chunk += texts.DateTime(start.addSecs(i / 50)).toUtf8() + "\tOutput\tOut: Client " +
                 QByteArray::number(i % 50) + " <STX>1200<CR>1<CR>D<CR>1234567<CR>A<CR>Ambulance " +
                 QByteArray::number(i) + " to 45 Harbour St<ETX>\r\n";
        if (chunk.size() > 1024 * 1024) {
            written += file.write(chunk);
            chunk.clear();
        }
    }
    file.write(chunk);
}

// Runs a search on the console's worker and measures the relay loop's
// largest gap meanwhile.
void SearchOnWorker(const logfiles::LogPlace& place, const logsearch::Query& query,
                    const char* what) {
    web::LogSearches searches;
    QTimer beat;
    beat.setInterval(1);
    QElapsedTimer sinceBeat;
    qint64 largestGapUs = 0;
    QObject::connect(&beat, &QTimer::timeout, &beat, [&] {
        largestGapUs = std::max(largestGapUs, sinceBeat.nsecsElapsed() / 1000);
        sinceBeat.start();
    });
    const qint64 before = ResidentKiB();
    QElapsedTimer timer;
    timer.start();
    bool done = false;
    logsearch::Result result;
    searches.Start(place, query, platform::DateTimeText(), [&](const logsearch::Result& r) {
        result = r;
        done = true;
    });
    sinceBeat.start();
    beat.start();
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    std::printf("%-34s %9.0f ms %6lld lines %s, RSS +%lld KiB, loop's largest gap %.1f ms\n", what,
                double(timer.nsecsElapsed()) / 1e6, static_cast<long long>(result.lines.size()),
                result.truncated ? "(truncated)" : "", ResidentKiB() - before,
                double(largestGapUs) / 1000);
}

// The loop's largest gap over a second with nothing to do: the machine's own noise.
void QuietLoop() {
    QTimer beat;
    beat.setInterval(1);
    QElapsedTimer sinceBeat;
    qint64 largestGapUs = 0;
    QObject::connect(&beat, &QTimer::timeout, &beat, [&] {
        largestGapUs = std::max(largestGapUs, sinceBeat.nsecsElapsed() / 1000);
        sinceBeat.start();
    });
    QElapsedTimer timer;
    timer.start();
    sinceBeat.start();
    beat.start();
    while (timer.elapsed() < 1000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    std::printf("%-34s loop's largest gap %.1f ms\n", "no search (the machine's noise)",
                double(largestGapUs) / 1000);
}

void LogSearch(int megabytes) {
    std::printf("\nSystem log search: today's file and one back-up, %d MB each\n", megabytes);
    WorkFolder folder;
    const QString logs = folder.file(QStringLiteral("LOGS"));
    QDir().mkpath(logs + QStringLiteral("/BACKUP"));
    const QDateTime start(QDate(2026, 1, 14), QTime(3, 1));
    WriteLog(logs + QStringLiteral("/BACKUP/2026-01-15-03-01-00_Quorlan"), megabytes, start);
    WriteLog(logs + QStringLiteral("/Quorlan"), megabytes, start.addDays(1));
    const logfiles::LogPlace place{logs, logs + QStringLiteral("/BACKUP"),
                                   QStringLiteral("Quorlan")};

    QuietLoop();
    logsearch::Query rare;
    rare.text = "no line has this";
    SearchOnWorker(place, rare, "every line read, nothing found");
    logsearch::Query common;
    common.text = "harbour";
    SearchOnWorker(place, common, "200 newest of every line");
    logsearch::Query tagged;
    tagged.tag = "Input";
    tagged.from = start.addSecs(3600);
    SearchOnWorker(place, tagged, "a tag no line has, with a from");
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int megabytes = argc > 1 ? QByteArray(argv[1]).toInt() : 200;
    DelayedPages();
    LogSearch(megabytes > 0 ? megabytes : 200);
    return 0;
}
