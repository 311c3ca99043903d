// What the logs tell monitoring: the lines each log lost, and whether lines
// are being lost now.

#include "logging/Logs.h"

void Logs::noteWriting() {
    const bool losing =
        gSystemLog.LosingLines() || gRawLog.LosingLines() || gDecoderLog.LosingLines();
    if (losing == losing_)
        return;
    losing_ = losing;
    writingSince_ = time_.Now();
}

void Logs::WriteMetrics(platform::MetricsText& text) const {
    text.Family("ombrix_log_lines_lost_total", platform::MetricsText::Type::Counter,
                "Log lines lost because the log could not be written (a full disk), by log");
    text.Sample(static_cast<double>(gSystemLog.LinesLostTotal()),
                {{"log", QStringLiteral("system")}});
    text.Sample(static_cast<double>(gRawLog.LinesLostTotal()), {{"log", QStringLiteral("raw")}});
    text.Sample(static_cast<double>(gDecoderLog.LinesLostTotal()),
                {{"log", QStringLiteral("decoder")}});
}

void Logs::AppendChecks(QList<health::Check>& checks) const {
    QStringList losing;
    for (const LogClass* log : {&gSystemLog, &gRawLog, &gDecoderLog})
        if (log->LosingLines())
            losing << log->FileName();
    health::Check check{QStringLiteral("logs"), health::Status::Ok, QStringLiteral("Written"),
                        writingSince_};
    if (!losing.isEmpty()) {
        check.status = health::Status::Degraded;
        check.state = QStringLiteral("Lines lost: ") + losing.join(QStringLiteral(", "));
    }
    checks << check;
}
