// The port consistency check: reports every port that two connections share,
// and every description that two outputs share.

#include "config/ErrorCodes.h"
#include "config/adoQuorlan.h"
#include "logging/Logs.h"
#include "relay/OutputRules.h"
#include "telstra/frmDecSockets.h"

namespace {

// Ports as the sockets read them: "7182", " 7182" and "07182" are one port.
// A text that is no number at all is compared as it is written.
bool SamePort(const QString& a, const QString& b) {
    bool aIsNumber = false;
    bool bIsNumber = false;
    const int x = a.trimmed().toInt(&aIsNumber);
    const int y = b.trimmed().toInt(&bIsNumber);
    if (aIsNumber || bIsNumber)
        return aIsNumber && bIsNumber && x == y;
    return a == b;
}

// Calls pair(i, j) for every two rows i < j of the first `count`.
template <typename Pair> void EachPair(int count, const Pair& pair) {
    for (int i = 0; i < count; ++i)
        for (int j = i + 1; j < count; ++j)
            pair(i, j);
}

} // namespace

void OutputRules::CheckDuplicatePorts() {
    logs_.LogOutput(QStringLiteral("System: Check for duplicate ports."));
    const frmOutputSockets& outputs = outputs_;
    const frmDecSockets& telstra = telstra_;
    auto report = [&](const QString& text, bool toOutputsLog, ErrorCode warning) {
        logs_.LogError(text);
        if (toOutputsLog)
            logs_.LogOutput(text);
        else
            logs_.LogInput(text);
        warnings_.ShowWarning(warning, text, 0);
    };
    const QString tab = QStringLiteral("\t");
    EachPair(db_.gOutputCount, [&](int i, int j) {
        if (SamePort(outputs.Entry(i).Port, outputs.Entry(j).Port))
            report(QStringLiteral("System: Found duplicate ports ") + tab + outputs.Entry(i).Port +
                       tab + outputs.Entry(i).Description + tab + outputs.Entry(j).Description,
                   true, ErrorCode::DuplicateOutputPorts);
    });
    EachPair(db_.gTelstraCount, [&](int i, int j) {
        if (SamePort(telstra.Entry(i).Port, telstra.Entry(j).Port))
            report(QStringLiteral("System: Found duplicate ports ") + tab + telstra.Entry(i).Port +
                       tab + telstra.Entry(i).Description + tab + telstra.Entry(j).Description,
                   false, ErrorCode::DuplicateTelstraPorts);
    });
    for (int i = 0; i < db_.gOutputCount; ++i)
        for (int j = 0; j < db_.gTelstraCount; ++j)
            if (SamePort(telstra.Entry(j).Port, outputs.Entry(i).Port))
                report(QStringLiteral("System: Found duplicate ports between tables") + tab +
                           outputs.Entry(i).Port + tab + outputs.Entry(i).Description + tab +
                           telstra.Entry(j).Description,
                       false, ErrorCode::DuplicateOutputTelstraPort);
    // Stored packets are kept under the output's description, so of two outputs
    // with one description the first takes both backlogs and the second none.
    EachPair(db_.gOutputCount, [&](int i, int j) {
        if (outputs.Entry(i).Description == outputs.Entry(j).Description)
            report(QStringLiteral("System: Found duplicate descriptions ") + tab +
                       outputs.Entry(i).Description + tab + outputs.Entry(i).Port + tab +
                       outputs.Entry(j).Port,
                   true, ErrorCode::DuplicateDescriptions);
    });
}
