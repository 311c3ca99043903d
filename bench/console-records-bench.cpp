// What the console's reads of the store cost the relay's thread.
//
// The Delayed view: the median time of one page (50 rows) at the start, the
// middle and the end of the store, newest first, oldest first and for one
// destination, at 1,000, 10,000 and 100,000 stored rows; the page is read on
// the relay's thread, so this is how long a page holds it.
// Run: build/bench/console-records-bench

#include "TestPorts.h"
#include "TestSystem.h"
#include "relay/DelayedPage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <algorithm>
#include <cstdio>

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void Fill(WorkFolder& folder, int rows) {
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
        db.setDatabaseName(folder.file(QStringLiteral("delayed.mdb")));
        db.open();
        db.transaction();
        QSqlQuery insert(db);
        insert.prepare(QStringLiteral("INSERT INTO Delayed VALUES (?, ?, ?, ?)"));
        const QDateTime base(QDate(2026, 1, 1), QTime(0, 0));
        for (int i = 0; i < rows; ++i) {
            insert.addBindValue(2000000 + i);
            insert.addBindValue(base.addMSecs(i).toString(Qt::ISODateWithMs));
            insert.addBindValue(i % 3 ? QStringLiteral("Client A") : QStringLiteral("Client B"));
            insert.addBindValue(QByteArray("\x02"
                                           "1200\r1\rD\r1234567\rA\rAmbulance 12 to 45 "
                                           "Harbour St\x03"));
            insert.exec();
        }
        db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
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

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    DelayedPages();
    return 0;
}
