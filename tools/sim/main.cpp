// ombrix-sim: the carrier simulator. Each job is a subcommand.

#include "EncodeCommand.h"
#include "ServeCommand.h"
#include "TapCommand.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

namespace {

struct Command {
    const char* name;
    const char* usage;
    int (*run)(const QStringList& args, QTextStream& out, QTextStream& err);
};

const Command kCommands[] = {
    {"encode", sim::kEncodeUsage, sim::RunEncode},
    {"serve", sim::kServeUsage, sim::RunServe},
    {"tap", sim::kTapUsage, sim::RunTap},
};

void PrintUsage(QTextStream& stream) {
    stream << "usage: ombrix-sim COMMAND [ARGS]\n\ncommands:\n";
    for (const Command& command : kCommands)
        stream << "  " << command.usage;
}

// `ombrix-sim COMMAND --help` (or -h) anywhere among the command's arguments.
bool AsksForHelp(const QStringList& args) {
    return args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty() || args.first() == QLatin1String("--help") ||
        args.first() == QLatin1String("help")) {
        PrintUsage(args.isEmpty() ? err : out);
        return args.isEmpty() ? 2 : 0;
    }
    const QString name = args.takeFirst();
    for (const Command& command : kCommands) {
        if (name != QLatin1String(command.name))
            continue;
        if (AsksForHelp(args)) {
            out << "usage: ombrix-sim " << command.usage;
            return 0;
        }
        return command.run(args, out, err);
    }
    err << "ombrix-sim: unknown command \"" << name << "\"\n";
    PrintUsage(err);
    return 2;
}
