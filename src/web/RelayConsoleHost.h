#pragma once

#include "web/WebConsoleHost.h"

#include <functional>

class adoDelayed;
class adoQuorlan;
class Logs;

namespace platform {
class Clock;
}

namespace web {

// The web console's host in the relay: the window model, the clock, the
// System log, the Operators table, and the console's StartUp settings.
class RelayConsoleHost final : public WebConsoleHost {
public:
    RelayConsoleHost(frmQuorlan& window, app::WindowEvents& events, const platform::Clock& clock,
                     Logs& logs, adoQuorlan& db, const QString& workDir, AlarmBook& alarms,
                     adoDelayed& store)
        : window_(window), events_(events), clock_(clock), logs_(logs), db_(db), workDir_(workDir),
          alarms_(alarms), store_(store) {}

    frmQuorlan& Window() override { return window_; }
    app::WindowEvents& Events() override { return events_; }
    QDateTime Now() const override;
    void LogSystem(const QString& line) override;
    QString OperatorHash(const QString& name) override;
    AlarmBook& Alarms() override { return alarms_; }
    config::OperatorRole RoleOf(const QString& name) override;
    bool IsOperator(const QString& name) override;
    relay::DelayedPage ReadDelayed(const relay::DelayedPageQuery& query) override;
    logfiles::LogPlace LogPlace() override;
    const platform::DateTimeText& Texts() const override;
    QString HistoryFile() override;
    QList<config::RouteVerdict> TestRoutes(const routing::RoutedPage& page) override;
    QList<QHash<QString, QString>> AliasRows() override;

    // Read at start-up; a change takes effect at the next start.
    WebConsoleSettings Settings();

    // Where the overview comes from (the monitor's, in the relay); until it
    // is given, the overview is an empty object.
    void ShowOverview(std::function<QJsonObject()> overview) { overview_ = std::move(overview); }
    QJsonObject Overview() override { return overview_ ? overview_() : QJsonObject(); }

private:
    frmQuorlan& window_;
    app::WindowEvents& events_;
    const platform::Clock& clock_;
    Logs& logs_;
    adoQuorlan& db_;
    const QString& workDir_; // start-up may change it
    AlarmBook& alarms_;
    std::function<QJsonObject()> overview_;
    adoDelayed& store_;
};

} // namespace web
