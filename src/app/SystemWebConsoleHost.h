#pragma once

#include "web/WebConsoleHost.h"

class System;

// The web console's host in the relay: the window model, the clock, the
// System log, the Operators table, and the console's StartUp settings.
class SystemWebConsoleHost final : public web::WebConsoleHost {
public:
    explicit SystemWebConsoleHost(System& system) : sys_(system) {}

    frmQuorlan& Window() override;
    app::WindowEvents& Events() override;
    QDateTime Now() const override;
    void LogSystem(const QString& line) override;
    QString OperatorHash(const QString& name) override;

    // Read at start-up; a change takes effect at the next start.
    web::WebConsoleSettings Settings();

private:
    System& sys_;
};
