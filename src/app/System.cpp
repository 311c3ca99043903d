#include "app/System.h"

#include "app/ConnectionStates.h"
#include "config/FileModes.h"
#include "config/SettingValues.h"
#include "platform/Error.h"
#include "platform/LocalPath.h"
#include "platform/Version.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>

System::System(SystemOptions options, QObject* parent)
    : QObject(parent),
      workDir(options.workDir.isEmpty() ? QDir::currentPath()
                                        : QFileInfo(options.workDir).absoluteFilePath()),
      clock(options.clock ? *options.clock : systemClock_), dateTimeText(options.locale),
      window(*this), display(*this), events(window, display),
      db(workDir, events,
         [this](LogPane side, const QString& line) {
             side == LogPane::Telstra ? logs.LogInput(line) : logs.LogOutput(line);
         }),
      errorCodes(db, events, platform::Time(clock, dateTimeText)),
      history(platform::Time(clock, dateTimeText), errorCodes, logs),
      delayedDb(db, platform::Time(clock, dateTimeText), errorCodes, logs, events, workDir,
                [this] { return window.SSTab1.Value == frmQuorlan::kDelayedTab; }),
      logs(platform::Time(clock, dateTimeText), workDir, db, events, version::Text()),
      outputRules(outputSockets, publishers, decSockets, delayedDb, global, db, logs, errorCodes,
                  history),
      outputSockets(db, platform::Time(clock, dateTimeText), errorCodes, logs, events, outputRules,
                    history),
      global(delayedDb, outputSockets, publishers, db, logs, history), decoderInput_(decoder),
      decSockets(db, platform::Time(clock, dateTimeText), errorCodes, logs, events, decoderInput_),
      decoderSink(*this), decoder(decoderSink), publisherHost(*this), publishers(publisherHost),
      commands(*this), monitor({clock, db, outputSockets, publishers, delayedDb, decSockets}),
      carrierMonitor(decSockets, platform::Time(clock, dateTimeText)),
      watches(platform::Time(clock, dateTimeText), errorCodes, logs), options_(std::move(options)) {
    db.ReportWarningsTo(errorCodes);
    monitor.AddMetrics(outputRules.Figures());
    monitor.AddMetrics(delayedDb);
    monitor.AddMetrics(logs);
    monitor.AddMetrics(errorCodes);
    monitor.AddChecks(delayedDb);
    monitor.AddChecks(logs);
    monitor.AddMetrics(carrierMonitor);
    monitor.AddChecks(carrierMonitor);
    monitor.AddChecks(watches);
    monitor.AddMetrics(history);
    monitor.AddChecks(history);
    monitor.Overview().CountAlarmsWith([this] { return alarms.ActiveCount(); });
    connect(&window, &frmQuorlan::unloadRequested, this, &System::Form_Unload);
    connect(&outputRules, &OutputRules::relayed, this,
            [this](const QByteArray& packet) { watches.Relayed(packet); });
    events.warned = [this](int errorNumber, const QString& platformText, int socket) {
        logs.LogError(QByteArray("Error\t") + platformText.toUtf8());
        emit warningShown(errorNumber, platformText, socket);
    };
}

System::~System() {
    Form_Unload();
}

void System::changeToDevelopmentFolder() {
    if (!QFileInfo::exists(options_.developmentMarker))
        return;
    workDir = options_.developmentFolder;
    window.MsgBox(QStringLiteral("Current directory changed to ") + options_.developmentFolder);
}

bool System::abandonStartUp(const QString& message) {
    window.MsgBox(message);
    exitCode = 1;
    Form_Unload();
    return false;
}

bool System::Form_Load() {
    changeToDevelopmentFolder();

    window.Visible = true;
    window.Width = 15332;
    window.Height = 8316;
    window.Form_Resize(); // setting the size raises the window's resize event
    window.lbStartDate.Caption = QStringLiteral("Start Date ") + NowText();
    window.Changed();

    if (db.OpenSysDatabase() != 1)
        return abandonStartUp(QStringLiteral("Quorlan sys Database failure. Closing application"));
    if (delayedDb.OpenDelayedDbAtStartUp() != 1)
        return abandonStartUp(QStringLiteral("Delayed Database failure. Closing application"));
    if (!QFileInfo::exists(platform::LocalPath(workDir, QStringLiteral(".\\empty_delayed.mdb"))))
        return abandonStartUp(QStringLiteral(
            "Delayed Database failure. There is no empty_delayed.mdb. Closing application"));

    delayedDb.gNextCompactCheck = Now();
    gServerID = db.GetStartUpKey(QStringLiteral("ServerID"), QStringLiteral("Ombrix"));
    window.Caption = gServerID + QStringLiteral("  ") + version::Text();
    window.Changed();

    logs.InitLogs();
    warnOfFilesOthersRead();
    alarms.Load();
    history.Start(workDir, HistoryDays(db.GetStartUpKey(QStringLiteral("HistoryDays"), QString())));

    window.SSTab1.Value = frmQuorlan::kInputTab;
    db.gOutputsLoaded = 0;
    db.gTelstraLoaded = 0;
    window.Changed();

    display.LoadAllGrids();
    display.InitSystemErrorBox();
    delayedDb.RefreshDelayedView();

    delayedDb.LoadMessID();
    gIncomingPktType =
        db.GetStartUpKey(QStringLiteral("IncomingPktType"), QStringLiteral("Normal"));
    outputSockets.SetSettings({gServerID, gIncomingPktType});

    db.LoadAliases();
    outputSockets.LoadOutputClients();
    outputSockets.CheckOuputsPostUpdate();
    LoadPublishers();
    watches.Load(db.WatchRows());
    ReadFeedSilenceSeconds();
    decSockets.LoadTelstraClients();
    decSockets.CheckTelstraPostUpdate();
    outputRules.CheckDuplicatePorts();

    window.cmdEnable.Caption = QStringLiteral("Disable");
    window.Changed();
    commands.ApplyCarriersActive(true);

    if (logs.gRawLogEnabled)
        OpenRawTestFile();

    window.SSTab1.Value = frmQuorlan::kDecoderTab;
    app::ShowConnectionStates(*this);
    window.ChangedNow(); // the window shows itself loaded
    return true;
}

// A site set up before the relay kept its files to itself, or by hand, may
// let every local user read page texts and the brokers' passwords.
void System::warnOfFilesOthersRead() {
    const QStringList readable = config::ReadableByOthers(workDir, {QStringLiteral("Ombrixsys.mdb"),
                                                                    QStringLiteral("delayed.mdb"),
                                                                    QStringLiteral("history.mdb")});
    if (readable.isEmpty())
        return;
    const QString text =
        QStringLiteral("System: %1 can be read by every user of this machine: make the files "
                       "0640 and the folder 0750 (chmod), or run the relay as its package does")
            .arg(readable.join(QStringLiteral(", ")));
    logs.LogError(text);
    if (!window.HasView())
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

void System::LoadPublishers() {
    publishers.LoadPublishers(db.PublisherRows(), workDir, db.Aliases());
}

void System::LoadAliases() {
    db.LoadAliases();
    outputSockets.RouteOutputs();
    publishers.RoutePublishers(db.Aliases());
}

void System::StartMonitor() {
    const monitor::MonitorSettings settings = monitor::ReadMonitorSettings(db);
    const QString failure = monitor.Start(settings);
    if (failure.isEmpty()) {
        if (monitor.Listener())
            logs.LogError(QStringLiteral("System: Monitoring on %1 port %2: /metrics, /healthz")
                              .arg(settings.address)
                              .arg(settings.port));
        return;
    }
    const QString text = QStringLiteral("System: Monitoring not started: ") + failure;
    logs.LogError(text);
    if (!window.HasView())
        std::fprintf(stderr, "ombrix: monitoring not started: %s\n", qPrintable(failure));
}

void System::ReadHistoryDays() {
    history.SetDays(HistoryDays(db.GetStartUpKey(QStringLiteral("HistoryDays"), QString())));
}

void System::ReadFeedSilenceSeconds() {
    decSockets.SetFeedSilenceSeconds(
        FeedSilenceSeconds(db.GetStartUpKey(QStringLiteral("FeedSilenceSeconds"), QString())));
}

void System::Form_Unload() {
    if (unloaded_)
        return;
    unloaded_ = true;
    tmrSockets.stop();
    tmrSystem.stop();
    // What the brokers have not acknowledged stays stored for the next start.
    publishers.Unload();
    // The history's last events are written before the logs close.
    outputSockets.NoteTaken();
    history.Stop();

    delayedDb.SaveMessID();
    // Refusals counted in the last minute are told before the logs close.
    outputSockets.FlushRefusals();
    decSockets.FlushRefusals();
    alarms.Flush(); // before the logs close: a failure is told
    logs.WriteStopBanners();
    CloseRawTestFile();
    delayedDb.CloseDelayedDb();
    db.CloseSysDatabase();
    decSockets.Unload();
    outputSockets.Unload();

    window.Visible = false;
    window.ChangedNow();
    emit unloaded();
}
