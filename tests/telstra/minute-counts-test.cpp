// A carrier's pages minute by minute over the last hour: a fixed ring on the
// relay's clock, whichever way the clock moves.

#include "telstra/MinuteCounts.h"

#include <QTest>

namespace {

QDateTime At(int hour, int minute, int second = 0) {
    return QDateTime(QDate(2026, 1, 15), QTime(hour, minute, second));
}

// The counts read at NOW as {minutes back from now's: count}, zeros left out.
QMap<int, qint64> Shown(const MinuteCounts& counts, const QDateTime& now) {
    const MinuteCounts::PerMinute read = counts.Read(now);
    QMap<int, qint64> shown;
    for (int k = 0; k < MinuteCounts::kMinutes; ++k)
        if (read[size_t(k)] != 0)
            shown.insert(MinuteCounts::kMinutes - 1 - k, read[size_t(k)]);
    return shown;
}

} // namespace

class MinuteCountsTest : public QObject {
    Q_OBJECT

private slots:
    void countsGoIntoTheirMinuteAndLeaveAfterAnHour() {
        MinuteCounts counts;
        counts.Add(At(10, 0, 10), 2);
        counts.Add(At(10, 0, 50));
        counts.Add(At(10, 3, 0), 4);
        QCOMPARE(Shown(counts, At(10, 3, 59)), (QMap<int, qint64>{{3, 3}, {0, 4}}));
        const MinuteCounts::PerMinute read = counts.Read(At(10, 4, 0));
        QCOMPARE(MinuteCounts::Sum(read, 5), 7);
        QCOMPARE(MinuteCounts::Sum(read, 4), 4);
        QCOMPARE(MinuteCounts::Sum(read, MinuteCounts::kMinutes), 7);
        QCOMPARE(Shown(counts, At(10, 59, 59)), (QMap<int, qint64>{{59, 3}, {56, 4}}));
        QCOMPARE(Shown(counts, At(11, 0, 0)), (QMap<int, qint64>{{57, 4}}));
        QCOMPARE(Shown(counts, At(11, 3, 0)), (QMap<int, qint64>{}));
    }

    // A count more than an hour after the last finds the ring empty, not the
    // counts of the minute an hour before in its place.
    void aLongGapEmptiesTheRing() {
        MinuteCounts counts;
        counts.Add(At(10, 0), 5);
        counts.Add(At(10, 30), 1);
        counts.Add(At(12, 0), 2);
        QCOMPARE(Shown(counts, At(12, 0)), (QMap<int, qint64>{{0, 2}}));
        counts.Add(At(13, 30), 1); // 10:30's place, an hour and a half on
        QCOMPARE(Shown(counts, At(13, 30)), (QMap<int, qint64>{{0, 1}}));
    }

    // The clock set back: what was counted in minutes it has not reached
    // again stays out of sight until it does; set back by an hour or more,
    // the ring starts again.
    void aClockSetBack() {
        MinuteCounts counts;
        counts.Add(At(10, 5), 1);
        counts.Add(At(10, 3), 2);
        QCOMPARE(Shown(counts, At(10, 3)), (QMap<int, qint64>{{0, 2}}));
        QCOMPARE(Shown(counts, At(10, 5)), (QMap<int, qint64>{{2, 2}, {0, 1}}));
        counts.Add(At(8, 0), 4);
        QCOMPARE(Shown(counts, At(8, 0)), (QMap<int, qint64>{{0, 4}}));
        QCOMPARE(Shown(counts, At(10, 5)), (QMap<int, qint64>{}));
    }
};

QTEST_GUILESS_MAIN(MinuteCountsTest)
#include "minute-counts-test.moc"
