// A relay whose two outputs are away, storing numbered packets as fast as it
// can until it is killed. Used by the crash test.

#include "WorkFolder.h"

#include <QCoreApplication>
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
    std::printf("storing\n");
    std::fflush(stdout);
    for (int n = 0;; ++n) {
        system.outputRules.RelayToOutputs("\x02"
                                          "flood " +
                                          QByteArray::number(n) + '\x03');
        if (n % 16 == 0)
            QCoreApplication::processEvents();
    }
}
