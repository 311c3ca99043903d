// What the delayed store tells monitoring: its rows and size, and whether it
// can be written (a write that succeeds also ends the store's alarms).

#include "relay/adoDelayed.h"

#include "config/ErrorCodes.h"

#include <QFileInfo>

void adoDelayed::noteWrite(bool written) {
    if (written)
        warnings_.Ended(AlarmCondition::StoreWritten, 0);
    if (writeFailed_ == !written && writtenSince_.isValid())
        return;
    writeFailed_ = !written;
    writtenSince_ = time_.Now();
}

void adoDelayed::WriteMetrics(platform::MetricsText& text) const {
    using Type = platform::MetricsText::Type;
    text.Family("ombrix_store_rows", Type::Gauge,
                "Packets waiting in the delayed store, for the outputs and the brokers");
    text.Sample(gDelayedCount);
    // The file and its write-ahead journal: what the store takes on the disk.
    qint64 bytes = 0;
    const QString store = cnDelayed.FilePath();
    if (!store.isEmpty())
        bytes = QFileInfo(store).size() + QFileInfo(store + QStringLiteral("-wal")).size();
    text.Family("ombrix_store_bytes", Type::Gauge,
                "Bytes the delayed store (delayed.mdb and its journal) takes on the disk");
    text.Sample(static_cast<double>(bytes));
}

void adoDelayed::AppendChecks(QList<health::Check>& checks) const {
    health::Check check{QStringLiteral("store"), health::Status::Ok, QStringLiteral("Writable"),
                        writtenSince_};
    if (writeFailed_) {
        check.status = health::Status::Failing;
        check.state = QStringLiteral("The last write to delayed.mdb failed");
    }
    checks << check;
}
