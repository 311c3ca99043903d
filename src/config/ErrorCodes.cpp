#include "config/ErrorCodes.h"

#include "app/System.h"

#include <cstdio>

ErrorCodes::ErrorCodes(System& system) : sys_(system) {}

void ErrorCodes::ShowWarning(int errorNumber, const QString& platformText, int socket) {
    // Until the window's warning box exists the report goes to standard error
    // and, as every report does, to the error log.
    const QString line =
        QStringLiteral("Warning %1 [%2]: %3").arg(errorNumber).arg(socket).arg(platformText);
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
    sys_.logs.LogError(QByteArray("Error\t") + platformText.toUtf8());
    emit sys_.warningShown(errorNumber, platformText, socket);
}
