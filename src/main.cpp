// The ombrix command line: the relay itself, `ombrix init` for a new working folder, and
// `ombrix passwd` for the web console's accounts.

#include "app/ServiceStatus.h"
#include "app/System.h"
#include "config/DatabaseFiles.h"
#include "config/OperatorCommands.h"
#include "config/Operators.h"
#include "gui/Application.h"
#include "platform/DateTimeText.h"
#include "platform/ProcessSettings.h"
#include "platform/SecretInput.h"
#include "platform/ServiceNotifier.h"
#include "platform/TerminationSignals.h"
#include "platform/Version.h"
#include "web/RelayConsoleHost.h"
#include "web/WebConsole.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStringList>
#include <cstdio>
#include <memory>
#include <optional>

namespace {

const char* kRunUsage =
    "  ombrix [--headless] [--workdir DIR]   run the relay in DIR (default: the current folder)\n";
const char* kInitUsage =
    "  ombrix init DIR [--demo]              create DIR with Ombrixsys.mdb, delayed.mdb,\n"
    "                                        empty_delayed.mdb and history.mdb; --demo adds a\n"
    "                                        loopback carrier on 5001 and clients on 6001 and\n"
    "                                        6002; prints the web console's address and the\n"
    "                                        password of its account 'operator'\n";
const char* kPasswdUsage =
    "  ombrix passwd DIR [NAME] [--role viewer|operator]\n"
    "                                        set the web console password of NAME (default:\n"
    "                                        operator) in DIR's Ombrixsys.mdb, read from\n"
    "                                        standard input, or asked twice on a terminal;\n"
    "                                        --role makes the account a viewer (sees all,\n"
    "                                        gives no command) or an operator; a new account\n"
    "                                        is an operator, one that exists keeps its role\n"
    "                                        unless --role is given; a role takes effect at\n"
    "                                        the account's next login\n";
const char* kOtherUsage =
    "  ombrix --version                      print the version\n"
    "  ombrix --help                         print this text\n"
    "  ombrix COMMAND --help                 print the usage of init or passwd\n";
const char* kWindowNote =
    "The operator window opens where a display is available; --headless, or no display,\n"
    "runs the same relay without it. SIGINT, SIGTERM and SIGHUP shut it down in order.\n";
const char* kNoWindowNote =
    "This build has no operator window: the relay always runs headless, and --headless\n"
    "changes nothing. SIGINT, SIGTERM and SIGHUP shut it down in order.\n";

enum class Command { Run, Init, Passwd };

void PrintUsage(std::FILE* to, Command command) {
    std::fprintf(to, "Usage:\n");
    if (command == Command::Init) {
        std::fprintf(to, "%s", kInitUsage);
        return;
    }
    if (command == Command::Passwd) {
        std::fprintf(to, "%s", kPasswdUsage);
        return;
    }
    std::fprintf(to, "%s%s%s%s\n%s", kRunUsage, kInitUsage, kPasswdUsage, kOtherUsage,
                 BuiltWithWindow() ? kWindowNote : kNoWindowNote);
}

struct Arguments {
    Command command = Command::Run;
    bool help = false;
    bool version = false;
    bool headless = false;
    bool init = false;
    bool demo = false;
    bool passwd = false;
    QString folder;
    QString name = config::kDefaultOperatorName;
    bool nameGiven = false;
    std::optional<config::OperatorRole> role; // passwd --role
    bool roleGiven = false;
    QString error;
};

bool AsksForHelp(const QString& arg) {
    return arg == QLatin1String("--help") || arg == QLatin1String("-h");
}

// The folder after WORD (--workdir, init, passwd); the index moves onto it.
// An option where the folder should be is not taken for a folder's name:
// "ombrix init --help" must not make a folder called "--help".
void ReadFolder(const QStringList& args, qsizetype& i, Arguments& parsed) {
    const QString& word = args[i];
    if (i + 1 >= args.size()) {
        parsed.error = word + QStringLiteral(" needs a folder");
    } else if (AsksForHelp(args[i + 1])) {
        parsed.help = true;
        ++i;
    } else if (args[i + 1].startsWith(QLatin1Char('-'))) {
        parsed.error = QStringLiteral("%1 needs a folder, not the option %2 (a folder whose name "
                                      "starts with '-' can be given as ./%2)")
                           .arg(word, args[i + 1]);
        ++i;
    } else {
        parsed.folder = args[++i];
    }
}

// The role after --role; the index moves onto it.
void ReadRole(const QStringList& args, qsizetype& i, Arguments& parsed) {
    parsed.roleGiven = true;
    if (i + 1 >= args.size()) {
        parsed.error = QStringLiteral("--role needs viewer or operator");
        return;
    }
    const QString& word = args[++i];
    parsed.role = config::RoleFromWord(word);
    if (!parsed.role)
        parsed.error = QStringLiteral("--role is viewer or operator, not \"%1\"").arg(word);
}

Arguments Parse(const QStringList& args) {
    Arguments parsed;
    bool workdir = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (AsksForHelp(arg)) {
            parsed.help = true;
        } else if (arg == QLatin1String("--version")) {
            parsed.version = true;
        } else if (arg == QLatin1String("--headless")) {
            parsed.headless = true;
        } else if (arg == QLatin1String("--demo")) {
            parsed.demo = true;
        } else if (arg == QLatin1String("--workdir")) {
            workdir = true;
            ReadFolder(args, i, parsed);
        } else if (arg == QLatin1String("init") && i == 1) {
            parsed.init = true;
            parsed.command = Command::Init;
            ReadFolder(args, i, parsed);
        } else if (arg == QLatin1String("passwd") && i == 1) {
            parsed.passwd = true;
            parsed.command = Command::Passwd;
            ReadFolder(args, i, parsed);
        } else if (arg == QLatin1String("--role")) {
            ReadRole(args, i, parsed);
        } else if (parsed.passwd && !parsed.help && !parsed.nameGiven &&
                   !arg.startsWith(QLatin1Char('-'))) {
            parsed.name = arg;
            parsed.nameGiven = true;
        } else {
            parsed.error = QStringLiteral("unknown argument: ") + arg;
        }
    }
    if (parsed.demo && !parsed.init)
        parsed.error = QStringLiteral("--demo belongs to init");
    if (parsed.roleGiven && !parsed.passwd)
        parsed.error = QStringLiteral("--role belongs to passwd");
    if (workdir && (parsed.init || parsed.passwd))
        parsed.error = QStringLiteral("--workdir does not go with init or passwd");
    return parsed;
}

bool HasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

QString NowText() {
    const platform::DateTimeText text;
    return text.DateTime(QDateTime::currentDateTime());
}

int Fail(const char* command, const QString& reason) {
    std::fprintf(stderr, "ombrix %s: %s\n", command, reason.toLocal8Bit().constData());
    return 1;
}

// The account is made here, not with the default rows, so that no password
// is ever the same in two folders; this is the only time it is shown.
int Init(int argc, char** argv, const Arguments& args) {
    QCoreApplication app(argc, argv);
    const QString failure = config::CreateWorkFolder(args.folder, args.demo, NowText());
    if (!failure.isEmpty())
        return Fail("init", failure);
    const QString password = config::RandomPassword();
    const QString accountFailure = config::SetPasswordInWorkFolder(
        args.folder, config::kDefaultOperatorName, password, NowText());
    if (!accountFailure.isEmpty())
        return Fail("init", accountFailure);
    QString url = config::ConsoleUrl(args.folder);
    if (url.isEmpty())
        url = QStringLiteral("off (StartUp WebConsolePort)");
    std::printf("Created %s with Ombrixsys.mdb, delayed.mdb, empty_delayed.mdb and history.mdb%s\n"
                "Web console: %s\n"
                "  name:     %s\n"
                "  password: %s\n"
                "The password is not shown again; 'ombrix passwd %s' sets a new one.\n",
                args.folder.toLocal8Bit().constData(), args.demo ? " (demo settings)" : "",
                url.toLocal8Bit().constData(),
                config::kDefaultOperatorName.toLocal8Bit().constData(),
                password.toLocal8Bit().constData(), args.folder.toLocal8Bit().constData());
    return 0;
}

// The password from standard input; on a terminal, typed twice without echo.
// Returns the password or sets REASON.
QString ReadNewPassword(const QString& name, QString& reason) {
    const std::optional<QString> first =
        platform::ReadSecretLine(QStringLiteral("New password for %1: ").arg(name));
    if (!first || !platform::InputIsTerminal())
        return first.value_or(QString());
    const std::optional<QString> second = platform::ReadSecretLine(QStringLiteral("Again: "));
    if (second != first)
        reason = QStringLiteral("the two passwords differ; nothing was changed");
    return *first;
}

int Passwd(int argc, char** argv, const Arguments& args) {
    QCoreApplication app(argc, argv);
    // A missing folder or file is said before the password is asked for.
    QString reason = config::FolderProblem(args.folder);
    if (reason.isEmpty())
        reason = config::OperatorNameProblem(args.name);
    if (!reason.isEmpty())
        return Fail("passwd", reason);
    const QString password = ReadNewPassword(args.name, reason);
    if (reason.isEmpty())
        reason = config::PasswordProblem(password);
    if (reason.isEmpty())
        reason =
            config::SetPasswordInWorkFolder(args.folder, args.name, password, NowText(), args.role);
    if (!reason.isEmpty())
        return Fail("passwd", reason);
    // A session that is open keeps the role it logged in with.
    if (args.role)
        std::printf("Password set for %s; role %s from its next login\n",
                    args.name.toLocal8Bit().constData(),
                    config::RoleWord(*args.role).toLocal8Bit().constData());
    else
        std::printf("Password set for %s\n", args.name.toLocal8Bit().constData());
    return 0;
}

// The web console, when its port is set: it must not stop the relay, so a
// console that cannot start is reported and the relay runs on without it.
std::unique_ptr<web::WebConsole> StartWebConsole(web::RelayConsoleHost& host) {
    web::WebConsoleSettings settings = host.Settings();
    QString failure = settings.problem;
    if (failure.isEmpty() && settings.port == 0)
        return nullptr;
    auto console = std::make_unique<web::WebConsole>(host, std::move(settings));
    if (failure.isEmpty())
        failure = console->Start();
    if (!failure.isEmpty()) {
        host.LogSystem(QStringLiteral("System: Web console not started: ") + failure);
        std::fprintf(stderr, "ombrix: web console not started: %s\n",
                     failure.toLocal8Bit().constData());
        return nullptr;
    }
    host.LogSystem(QStringLiteral("System: Web console on ") + console->Url());
    return console;
}

// A start-up that found no system database most likely ran in the wrong
// folder, or before `ombrix init`: say how to make one.
void HintAtInit(const System& system) {
    if (!QFileInfo::exists(QDir(system.workDir).filePath(QStringLiteral("Ombrixsys.mdb"))))
        std::fprintf(stderr, "No working folder here: create one with 'ombrix init DIR' "
                             "(see README)\n");
}

// Without a window nothing else shows where the relay runs.
void SayWhereItRuns(System& system) {
    std::fprintf(stderr, "ombrix: working folder %s; output ports listen on %s\n",
                 QDir::toNativeSeparators(system.workDir).toLocal8Bit().constData(),
                 system.outputSockets.ListenAddress().toLocal8Bit().constData());
    std::fflush(stderr);
}

int Run(QCoreApplication& app, const Arguments& args, bool withWindow,
        const platform::NotifyTarget& manager) {
    SystemOptions options;
    options.workDir = args.folder;
    System system(options);
    std::unique_ptr<QObject> view;
    if (withWindow)
        view = CreateMainWindow(system.window);

    app::ServiceStatus service(system, manager);
    platform::TerminationSignals termination;
    // The manager hears that the shutdown begins before it runs.
    QObject::connect(&termination, &platform::TerminationSignals::received, &service,
                     &app::ServiceStatus::Stopping);
    QObject::connect(&termination, &platform::TerminationSignals::received, &system,
                     &System::Form_Unload);
    QObject::connect(&system, &System::unloaded, &service, &app::ServiceStatus::Stopping);
    QObject::connect(
        &system, &System::unloaded, &app, [&] { app.exit(system.exitCode); }, Qt::QueuedConnection);

    if (!system.Form_Load()) {
        HintAtInit(system);
        return system.exitCode;
    }
    if (!withWindow)
        SayWhereItRuns(system);
    web::RelayConsoleHost consoleHost(system.window, system.events, system.clock, system.logs,
                                      system.db, system.workDir, system.alarms, system.delayedDb);
    consoleHost.ShowOverview([&system] { return system.monitor.OverviewJson(); });
    const std::unique_ptr<web::WebConsole> console = StartWebConsole(consoleHost);
    system.StartTimers();
    system.StartMonitor();
    if (console)
        system.monitor.AddMetrics(*console);
    // The console goes first: its figures leave the scrape with it.
    const auto forgetConsole = qScopeGuard([&] {
        if (console)
            system.monitor.RemoveMetrics(*console);
    });
    service.Ready();
    return app.exec();
}

} // namespace

int main(int argc, char** argv) {
    platform::RestrictNewFiles();
    platform::RaiseDescriptorLimit();
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    const Arguments args = Parse(list);
    if (!args.error.isEmpty()) {
        std::fprintf(stderr, "ombrix: %s\n\n", args.error.toLocal8Bit().constData());
        PrintUsage(stderr, args.command);
        return 2;
    }
    if (args.help) {
        PrintUsage(stdout, args.command);
        return 0;
    }
    if (args.version) {
        std::printf("%s\n", version::Dotted().toLocal8Bit().constData());
        return 0;
    }
    if (args.init)
        return Init(argc, argv, args);
    if (args.passwd)
        return Passwd(argc, argv, args);

    platform::HoldLocalTimeZone();
    platform::AskForShortTimeSlices();
    platform::KeepFreedBlocksSorted();
    // Taken before anything could start a process that would inherit it.
    const platform::NotifyTarget manager = platform::TakeNotifyTarget();

    const bool withWindow = BuiltWithWindow() && !args.headless && HasDisplay();
    if (!args.headless && !withWindow) {
        std::fprintf(stderr, "ombrix: %s; running headless\n",
                     BuiltWithWindow() ? "no display available"
                                       : "built without the operator window");
        std::fflush(stderr);
    }
    if (!withWindow)
        platform::UseRelayEventLoop();
    const std::unique_ptr<QCoreApplication> app = CreateApplication(argc, argv, withWindow);
    return Run(*app, args, withWindow, manager);
}
