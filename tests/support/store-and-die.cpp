// A relay that stores one packet for its absent clients and is then killed
// outright, before any shutdown can run. Used by the durability test.

#include "WorkFolder.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    SystemOptions options;
    options.workDir = QString::fromLocal8Bit(argv[1]);
    options.developmentMarker = options.workDir + QStringLiteral("/no-marker");
    System system(options);
    if (!system.Form_Load())
        return 3;
    system.outputRules.RelayToOutputs("\x02survivor\x03");
    std::fflush(nullptr);
    std::raise(SIGKILL);
    return 0;
}
