#include "app/frmQuorlan.h"

#include <cstdio>

frmQuorlan::frmQuorlan(QObject* parent) : QObject(parent) {
    lbStartDate.Caption = QString();
    SSTab1.Value = 0;
    chkEnableLogs.Caption = QStringLiteral("Enable Raw Logs");
    cmdEnable.Caption = QStringLiteral("Enable Soc");
    cmdGeneralEdit.Caption = QStringLiteral("Edit");
}

void frmQuorlan::MsgBox(const QString& text) {
    if (messageBoxHandler) {
        messageBoxHandler(text);
        return;
    }
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}
