// The console's overview at growing backlogs, with 50 outputs, 2 carriers and
// a broker: the median cost of building it as JSON (what /api/overview and
// each WebSocket look cost), with the store's oldest row known, and right
// after a delete took it (read again along the store's index).
// Run: build/bench/overview-bench

#include "StoredRows.h"
#include "TestPorts.h"
#include "TestSystem.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int kOutputs = 50;
constexpr int kLooks = 200;

void Fill(WorkFolder& folder, int rows) {
    FillDelayed(
        folder, rows, [](int i) { return QStringLiteral("Client %1").arg(i % kOutputs); },
        QByteArray("\x02"
                   "1200\r1\rD\r1234567\rA\rUnit 4 to the harbour\x03"));
}

double LookMs(System& system) {
    QElapsedTimer timer;
    timer.start();
    const QByteArray json =
        QJsonDocument(system.monitor.OverviewJson()).toJson(QJsonDocument::Compact);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    if (json.isEmpty())
        std::fprintf(stderr, "no overview\n");
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::printf("%10s %14s %22s %12s\n", "rows", "overview ms", "after a delete ms", "bytes");
    for (const int rows : {1000, 10000, 100000}) {
        WorkFolder folder;
        QList<WorkFolder::Output> outputs;
        for (int i = 0; i < kOutputs; ++i)
            outputs << WorkFolder::Output{QStringLiteral("Client %1").arg(i),
                                          QString::number(TestPort())};
        folder.setOutputs(outputs);
        for (const char* carrier : {"Carrier 1", "Carrier 2"})
            folder.exec(QStringLiteral("Ombrixsys.mdb"),
                        QStringLiteral("INSERT INTO Telstra (Description, Port, Active) "
                                       "VALUES (?, ?, 'Y')"),
                        {QLatin1String(carrier), QString::number(TestPort())});
        Fill(folder, rows);
        TestSystem t(folder.path());
        t->Form_Load();
        t->outputSockets.UpdateOutputClients();

        std::vector<double> known, afterDelete;
        for (int i = 0; i < kLooks; ++i) {
            known.push_back(LookMs(*t.system));
            DelayedRecord oldest;
            oldest.MessID = 2000000 + i;
            oldest.Destination = QStringLiteral("Client %1").arg(i % kOutputs);
            t->delayedDb.DeleteDelayed(oldest);
            afterDelete.push_back(LookMs(*t.system));
        }
        const qsizetype bytes =
            QJsonDocument(t->monitor.OverviewJson()).toJson(QJsonDocument::Compact).size();
        std::printf("%10d %14.3f %22.3f %12lld\n", rows, Median(known), Median(afterDelete),
                    static_cast<long long>(bytes));
    }
    return 0;
}
