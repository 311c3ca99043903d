#pragma once

#include "app/Display.h"
#include "app/PublishedAlarms.h"
#include "app/SystemCommands.h"
#include "app/SystemDecoderSink.h"
#include "app/SystemPublisherHost.h"
#include "app/WindowEvents.h"
#include "app/frmQuorlan.h"
#include "config/AlarmRecords.h"
#include "config/ErrorCodes.h"
#include "config/adoQuorlan.h"
#include "decoder/SatelliteDecoder2.h"
#include "history/AuditedCommands.h"
#include "history/HistoryArchive.h"
#include "logging/Logs.h"
#include "monitor/Monitor.h"
#include "outputs/frmOutputSockets.h"
#include "platform/Clock.h"
#include "platform/DateTimeText.h"
#include "publish/Publishers.h"
#include "relay/Global.h"
#include "relay/OutputRules.h"
#include "relay/PageWatches.h"
#include "relay/adoDelayed.h"
#include "telstra/CarrierMonitor.h"
#include "telstra/SatelliteDecoderInput.h"
#include "telstra/frmDecSockets.h"

#include <QDateTime>
#include <QFile>
#include <QObject>
#include <QTimer>
#include <functional>
#include <vector>

struct SystemOptions {
    QString workDir;                        // working folder; empty: the current folder
    const platform::Clock* clock = nullptr; // null: the system clock
    QLocale locale = QLocale::system();
    // Present on a developer's machine: the relay then runs in developmentFolder.
    QString developmentMarker = QStringLiteral("/zelkorsys/development.txt");
    QString developmentFolder = QStringLiteral("/base/Ombrix");
};

// One step of a timer tick, named so that a failing step can be told apart.
struct TickStep {
    QString name;
    std::function<void()> run;
};

// The whole relay: one per process (one per test). It owns the window model,
// the modules, the process globals and the main timers, and runs start-up and
// shutdown.
class System : public QObject {
    Q_OBJECT
    platform::SystemClock systemClock_; // first: `clock` may refer to it

public:
    explicit System(SystemOptions options = {}, QObject* parent = nullptr);
    ~System() override;

    // Process globals, each with the modules besides app/ that read or write it.
    QString gServerID;        // outputs (the idle message)
    QString gIncomingPktType; // outputs (the idle message)

    QString workDir;                     // config, logging, relay: relative file names
    const platform::Clock& clock;        // logging
    platform::DateTimeText dateTimeText; // logging, outputs, telstra

    // The modules, in the order they are built. Public where another module
    // reaches it, as noted.
    frmQuorlan window;        // every module shows its state on it
    app::Display display;     // config, relay: the grids and boxes
    app::WindowEvents events; // every module's way to the operator
    adoQuorlan db;            // config, logging, outputs, relay, telstra: settings, tables
private:
    ErrorCodes errorCodes; // reached through ShowWarning
public:
    // history.mdb: every relayed page and its trail (outputs, relay), and the
    // operators' audit (the window's and the console's commands).
    history::HistoryArchive history;
    adoDelayed delayedDb;           // relay
    Logs logs;                      // config, outputs, relay, telstra
    OutputRules outputRules;        // config: dispatch to the sinks, storing
    frmOutputSockets outputSockets; // config
    Global global;                  // the resend of stored packets
private:
    SatelliteDecoderInput decoderInput_; // the carrier feed's way into the decoder
public:
    frmDecSockets decSockets; // config, relay
private:
    SystemDecoderSink decoderSink; // the decoder's only way into the relay
public:
    SatelliteDecoder2 decoder; // telstra: the carrier feed
private:
    SystemPublisherHost publisherHost; // the publishers' only way into the relay
public:
    publish::Publishers publishers; // config, relay: the MQTT brokers
    SystemCommands commands;        // the operator's commands, from every view
    monitor::Monitor monitor;       // /metrics and /healthz: every module's figures and checks
    // For monitoring: the carriers' and the decoder's metrics and the health
    // check "carrier"; the test-page watches and their checks "watch:<Description>".
    CarrierMonitor carrierMonitor;
    relay::PageWatches watches;
    // Who did what, told to the history's audit: the console's logins and
    // logouts, and the commands of every view, which reach `commands`
    // through `auditedCommands`.
    history::OperatorAudit operatorAudit{history};
    history::AuditedCommands auditedCommands{commands, operatorAudit};

    // Loads the Publishers table into the publishers (start-up and commit).
    void LoadPublishers();
    // Reads the Aliases table and makes the routes that name aliases again.
    void LoadAliases();
    // Listens for /metrics and /healthz as MonitorAddress and MonitorPort say;
    // one that cannot is reported, and the relay runs on without it.
    void StartMonitor();
    // Hands the carriers their FeedSilenceSeconds (start-up and StartUp commit).
    void ReadFeedSilenceSeconds();
    // Hands the history its HistoryDays (StartUp commit).
    void ReadHistoryDays();

    QDateTime Now() const { return clock.now(); }
    QString NowText() const { return dateTimeText.DateTime(Now()); }
    void ShowWarning(ErrorCode site, const QString& platformText, int socket) {
        errorCodes.ShowWarning(site, platformText, socket);
    }

    // Start-up; false when it was abandoned (the window is then unloaded and
    // exitCode is non-zero).
    bool Form_Load();
    void Form_Unload();
    bool IsUnloaded() const { return unloaded_; }
    int exitCode = 0;

    // Main timers. Tests call the handlers directly after moving the clock.
    void StartTimers();
    void tmrSockets_Timer();
    void tmrSystem_Timer();
    std::vector<TickStep> SocketsTickSteps();
    std::vector<TickStep> SystemTickSteps();
    // Runs the steps in order; the first failure ends the tick with `warning`.
    void RunTick(const std::vector<TickStep>& steps, ErrorCode warning);

    // Decoder input feed: restarts the data-gap countdown.
    void StartSAT10mSTimer() { decSockets.StartSAT10mSTimer(); }
    // The raw test file ".\raw output.txt": open from start-up to shutdown
    // while raw logging was on at start; the decoder's trace is copied into it.
    void OpenRawTestFile();
    void CloseRawTestFile();
    void PrintRawTestFile(const QByteArray& line);

signals:
    void warningShown(int errorNumber, const QString& platformText, int socket);
    void unloaded();

private:
    bool abandonStartUp(const QString& message);
    void changeToDevelopmentFolder();
    void warnOfFilesOthersRead();

    SystemOptions options_;
    bool unloaded_ = false;
    QTimer tmrSockets;
    QTimer tmrSystem;
    QFile rawTestFile_;
    // Last, so that it stops hearing warnings before the modules go.
    app::PublishedAlarms publishedAlarms_{errorCodes, publishers};

public:
    // Every warning as an alarm, for the console and the overview; last too.
    AlarmRecords alarms{db.gSysConnection, platform::Time(clock, dateTimeText), errorCodes,
                        [this](const QString& line) { logs.LogError(line); }};
};
