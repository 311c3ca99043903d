#pragma once

#include "config/Commands.h"
#include "history/OperatorAudit.h"

namespace history {

// The operator commands, each one told to the audit as it runs, with who
// gave it: the window's handlers and the web console call the commands
// through this, so that neither view can give one unrecorded. What a
// command says of itself is its name and its switch; never a value typed in
// a grid (a broker's password among them). A commit's refusal is recorded
// with it.
class AuditedCommands final : public config::Commands {
public:
    AuditedCommands(config::Commands& commands, OperatorAudit& audit)
        : commands_(commands), audit_(audit) {}

    bool Editing(config::EditedTable table) const override { return commands_.Editing(table); }
    void Edit(config::EditedTable table) override;
    QString Commit(config::EditedTable table) override;
    QString ImportAliases(const QList<QHash<QString, QString>>& rows) override;
    bool CarriersActive() const override { return commands_.CarriersActive(); }
    void SetCarriersActive(bool active) override;
    void SendIdleMessage() override;
    qint64 StoredPackets() const override { return commands_.StoredPackets(); }
    void DeleteStoredPackets() override;
    void ForceBackUp() override;
    void CheckStore() override;
    void SetRawLogging(bool on) override;
    void SetDecoderTrace(bool on) override;
    void ClearWarning() override;

private:
    config::Commands& commands_;
    OperatorAudit& audit_;
};

// The table's name as the audit and the logs give it ("Outputs", "StartUp", ...).
QString TableName(config::EditedTable table);

} // namespace history
