#pragma once

#include "config/Commands.h"
#include "config/CoreEvents.h"

#include <array>

class System;

// The operator's commands as the relay carries them out: the system database
// writes the tables, and the connections, publishers, logs and store they
// concern are asked to follow. The window model's captions follow the state
// kept here.
class SystemCommands final : public config::Commands {
public:
    explicit SystemCommands(System& system) : sys_(system) {}

    bool Editing(config::EditedTable table) const override;
    void Edit(config::EditedTable table) override;
    QString Commit(config::EditedTable table) override;
    QString ImportAliases(const QList<QHash<QString, QString>>& rows) override;
    bool CarriersActive() const override { return carriersActive_; }
    void SetCarriersActive(bool active) override;
    void SendIdleMessage() override;
    qint64 StoredPackets() const override;
    void DeleteStoredPackets() override;
    void ForceBackUp() override;
    void CheckStore() override;
    void SetRawLogging(bool on) override;
    void SetDecoderTrace(bool on) override;
    void ClearWarning() override;

    // Start-up's switch of every carrier on: the Enable button keeps the
    // caption start-up gave it until the operator presses it.
    void ApplyCarriersActive(bool active);

private:
    // The connections a committed table feeds reload from it; false when that
    // failed (the commit's warning says why).
    bool reload(config::EditedTable table);
    void log(LogPane side, const QString& line);

    System& sys_;
    // One for each config::EditedTable.
    std::array<bool, config::kEditedTables> editing_{};
    bool carriersActive_ = false;
};
