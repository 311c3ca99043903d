// How many lines a second one log reaches, the file held open and each line
// one write. Run: build/bench/addlog-bench [lines]

#include "logging/LogClass.h"
#include "platform/Clock.h"
#include "platform/DateTimeText.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int lines = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir dir;
    const QString work = dir.path();
    platform::SystemClock clock;
    platform::DateTimeText texts;

    for (const bool stamps : {false, true}) {
        LogClass log(clock, texts, work);
        log.SetFileName(stamps ? QStringLiteral("stamped.log") : QStringLiteral("plain.log"));
        log.DateStamp = log.TimeStamp = log.UserStamp = stamps;
        if (!log.Connect(work, QStringLiteral("BENCH"))) {
            std::fprintf(stderr, "cannot open a log in %s\n", qPrintable(work));
            return 1;
        }
        const QByteArray message = "15 Jan 2026 10:00:00\tOutput\tOut: Client A\t\x02"
                                   "2000\r1234568\r10:00:00 page text\x03";
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < lines; ++i)
            log.AddLog(message);
        const double seconds = timer.nsecsElapsed() / 1e9;
        std::printf("AddLog %-12s %d lines in %.2f s: %.0f lines/s (%.1f us a line)\n",
                    stamps ? "with stamps" : "plain", lines, seconds, lines / seconds,
                    seconds * 1e6 / lines);
    }
    return 0;
}
