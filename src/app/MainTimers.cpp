#include "app/System.h"

#include "app/ConnectionStates.h"
#include "platform/Error.h"

#include <chrono>

namespace {

// Upkeep of the store, the logs and the connections.
constexpr std::chrono::milliseconds kSocketsInterval{5000};
// Resend of stored packets: one packet a second.
constexpr std::chrono::milliseconds kSystemInterval{1000};

} // namespace

void System::StartTimers() {
    tmrSockets.setInterval(kSocketsInterval);
    tmrSystem.setInterval(kSystemInterval);
    connect(&tmrSockets, &QTimer::timeout, this, &System::tmrSockets_Timer, Qt::UniqueConnection);
    connect(&tmrSystem, &QTimer::timeout, this, &System::tmrSystem_Timer, Qt::UniqueConnection);
    tmrSockets.start();
    tmrSystem.start();
    outputSockets.StartTimer();
    decSockets.StartTimers();
    publishers.StartTimer();
}

std::vector<TickStep> System::SocketsTickSteps() {
    return {
        {QStringLiteral("CheckDelayedCompaction"), [this] { delayedDb.CheckDelayedCompaction(); }},
        {QStringLiteral("CheckBackUp"), [this] { logs.CheckBackUp(); }},
        {QStringLiteral("UpdateTelstraClients"), [this] { decSockets.UpdateTelstraClients(); }},
        {QStringLiteral("UpdateOutputClients"), [this] { outputSockets.UpdateOutputClients(); }},
        {QStringLiteral("CheckWatches"), [this] { watches.Check(); }},
    };
}

std::vector<TickStep> System::SystemTickSteps() {
    // The alarms first: a resend that fails ends the tick, and must not keep
    // the alarms of that failure from the table.
    return {{QStringLiteral("KeepAlarms"), [this] { alarms.Tick(); }},
            {QStringLiteral("ResendDelayed"), [this] { global.ResendDelayed(); }}};
}

void System::RunTick(const std::vector<TickStep>& steps, ErrorCode warning) {
    // No exception may cross the event loop; a failing step ends the tick, and
    // the next tick starts again from the first step.
    try {
        for (const TickStep& step : steps)
            step.run();
    } catch (const platform::Error& error) {
        ShowWarning(warning, error.text(), 0);
    } catch (const std::exception& error) {
        ShowWarning(warning, QString::fromLocal8Bit(error.what()), 0);
    }
}

void System::tmrSockets_Timer() {
    if (!unloaded_)
        RunTick(SocketsTickSteps(), ErrorCode::SocketsTimer);
}

void System::tmrSystem_Timer() {
    if (unloaded_)
        return;
    RunTick(SystemTickSteps(), ErrorCode::SystemTimer);
    // The pages the clients took this second join the history's next batch,
    // which goes to its writer now.
    outputSockets.NoteTaken();
    history.Tick();
    // Once a second is soon enough for an operator, and costs nothing when
    // nothing changed.
    app::ShowConnectionStates(*this);
    monitor.Overview().Observe();
}
