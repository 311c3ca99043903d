// The port consistency check: reports every port that two connections share,
// and every description that two outputs share.

#include "app/System.h"
#include "relay/OutputRules.h"

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
    sys_.logs.LogOutput(QStringLiteral("System: Check for duplicate ports."));
    const frmOutputSockets& outputs = sys_.outputSockets;
    const frmDecSockets& telstra = sys_.decSockets;
    auto report = [&](const QString& text, bool toOutputsLog, ErrorCode warning) {
        sys_.logs.LogError(text);
        if (toOutputsLog)
            sys_.logs.LogOutput(text);
        else
            sys_.logs.LogInput(text);
        sys_.ShowWarning(warning, text, 0);
    };
    const QString tab = QStringLiteral("\t");
    EachPair(sys_.db.gOutputCount, [&](int i, int j) {
        if (SamePort(outputs.Entry(i).Port, outputs.Entry(j).Port))
            report(QStringLiteral("System: Found duplicate ports ") + tab + outputs.Entry(i).Port +
                       tab + outputs.Entry(i).Description + tab + outputs.Entry(j).Description,
                   true, ErrorCode::DuplicateOutputPorts);
    });
    EachPair(sys_.db.gTelstraCount, [&](int i, int j) {
        if (SamePort(telstra.Entry(i).Port, telstra.Entry(j).Port))
            report(QStringLiteral("System: Found duplicate ports ") + tab + telstra.Entry(i).Port +
                       tab + telstra.Entry(i).Description + tab + telstra.Entry(j).Description,
                   false, ErrorCode::DuplicateTelstraPorts);
    });
    for (int i = 0; i < sys_.db.gOutputCount; ++i)
        for (int j = 0; j < sys_.db.gTelstraCount; ++j)
            if (SamePort(telstra.Entry(j).Port, outputs.Entry(i).Port))
                report(QStringLiteral("System: Found duplicate ports between tables") + tab +
                           outputs.Entry(i).Port + tab + outputs.Entry(i).Description + tab +
                           telstra.Entry(j).Description,
                       false, ErrorCode::DuplicateOutputTelstraPort);
    // Stored packets are kept under the output's description, so of two outputs
    // with one description the first takes both backlogs and the second none.
    EachPair(sys_.db.gOutputCount, [&](int i, int j) {
        if (outputs.Entry(i).Description == outputs.Entry(j).Description)
            report(QStringLiteral("System: Found duplicate descriptions ") + tab +
                       outputs.Entry(i).Description + tab + outputs.Entry(i).Port + tab +
                       outputs.Entry(j).Port,
                   true, ErrorCode::DuplicateDescriptions);
    });
}
