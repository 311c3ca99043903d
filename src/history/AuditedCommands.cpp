#include "history/AuditedCommands.h"

using config::EditedTable;

namespace history {

namespace {

QString OnOff(bool on) {
    return on ? QStringLiteral("on") : QStringLiteral("off");
}

} // namespace

QString TableName(EditedTable table) {
    switch (table) {
    case EditedTable::Outputs:
        return QStringLiteral("Outputs");
    case EditedTable::Telstra:
        return QStringLiteral("Telstra");
    case EditedTable::Publishers:
        return QStringLiteral("Publishers");
    case EditedTable::StartUp:
        return QStringLiteral("StartUp");
    case EditedTable::Watches:
        return QStringLiteral("Watches");
    case EditedTable::Aliases:
        return QStringLiteral("Aliases");
    }
    return {};
}

void AuditedCommands::Edit(EditedTable table) {
    audit_.Command(QStringLiteral("edit ") + TableName(table));
    commands_.Edit(table);
}

// Recorded once its outcome is known: written, refused (and why), or failed.
QString AuditedCommands::Commit(EditedTable table) {
    const QString what = QStringLiteral("commit ") + TableName(table);
    QString refusal;
    try {
        refusal = commands_.Commit(table);
    } catch (...) {
        audit_.Command(what + QStringLiteral(": failed"));
        throw;
    }
    audit_.Command(refusal.isEmpty() ? what : what + QStringLiteral(": refused: ") + refusal);
    return refusal;
}

QString AuditedCommands::ImportAliases(const QList<QHash<QString, QString>>& rows) {
    const QString what = QStringLiteral("import Aliases (%1 rows)").arg(rows.size());
    QString refusal = commands_.ImportAliases(rows);
    audit_.Command(refusal.isEmpty() ? what : what + QStringLiteral(": refused: ") + refusal);
    return refusal;
}

void AuditedCommands::SetCarriersActive(bool active) {
    audit_.Command(QStringLiteral("carriers ") + OnOff(active));
    commands_.SetCarriersActive(active);
}

void AuditedCommands::SendIdleMessage() {
    audit_.Command(QStringLiteral("send idle message"));
    commands_.SendIdleMessage();
}

void AuditedCommands::DeleteStoredPackets() {
    audit_.Command(QStringLiteral("delete stored packets (%1)").arg(commands_.StoredPackets()));
    commands_.DeleteStoredPackets();
}

void AuditedCommands::ForceBackUp() {
    audit_.Command(QStringLiteral("force back-up"));
    commands_.ForceBackUp();
}

void AuditedCommands::CheckStore() {
    audit_.Command(QStringLiteral("check store"));
    commands_.CheckStore();
}

void AuditedCommands::SetRawLogging(bool on) {
    audit_.Command(QStringLiteral("raw logging ") + OnOff(on));
    commands_.SetRawLogging(on);
}

void AuditedCommands::SetDecoderTrace(bool on) {
    audit_.Command(QStringLiteral("decoder trace ") + OnOff(on));
    commands_.SetDecoderTrace(on);
}

void AuditedCommands::ClearWarning() {
    audit_.Command(QStringLiteral("clear warning"));
    commands_.ClearWarning();
}

} // namespace history
