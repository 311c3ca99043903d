#include "config/ErrorCodes.h"

#include "app/System.h"
#include "platform/Error.h"
#include "platform/Recordset.h"

#include <cstdio>

namespace {

const QString CRLF = QStringLiteral("\r\n");

// Texts of the sites that came with the publishers, for a table that has no
// row for them: the operator's table is not changed under them.
struct SiteText {
    ErrorCode site;
    const char* function;
    const char* description;
};
constexpr SiteText kBuiltInTexts[] = {
    {ErrorCode::ConnectPublisher, "ConnectPublisher",
     "An MQTT broker of the Publishers table cannot be reached or refused the connection"},
    {ErrorCode::LoadPublishers, "LoadPublishers", "A row of the Publishers table cannot be used"},
    {ErrorCode::OpenPublishers, "OpenPublishers", "Reading the Publishers table"},
    {ErrorCode::CommitPublishers, "CommitPublishers", "Saving edits of the Publishers table"},
};

const SiteText* BuiltInText(ErrorCode site) {
    for (const SiteText& text : kBuiltInTexts)
        if (text.site == site)
            return &text;
    return nullptr;
}

} // namespace

ErrorCodes::ErrorCodes(System& system) : sys_(system) {}

QString ErrorCodes::Report(int errorNumber, const QString& socketText, const QString* function,
                           const QString* description, const QString& platformText) {
    QString report =
        QStringLiteral("Warning ! ") + CRLF + CRLF + QStringLiteral("Socket ") + socketText + CRLF;
    if (function && description)
        report += QStringLiteral("Error Number ") + QString::number(errorNumber) + CRLF + CRLF +
                  QStringLiteral("Function:  ") + *function + CRLF +
                  QStringLiteral("Description:  ") + *description;
    else
        report += QStringLiteral("Error Number: Not in database") + CRLF + CRLF +
                  QStringLiteral("Function:  Unknown") + CRLF +
                  QStringLiteral("Description:  Unknown");
    return report + CRLF + CRLF + CRLF + QStringLiteral("Windows reports: ") + CRLF + CRLF +
           platformText;
}

void ErrorCodes::ShowWarning(ErrorCode site, const QString& platformText, int socket) {
    const int errorNumber = static_cast<int>(site);
    try {
        // The lookup's own failure (300) is built without a lookup, so a lookup
        // that keeps failing cannot nest. Without the system database there is
        // nothing to look up either; the report still goes out.
        std::shared_ptr<platform::Recordset> row;
        if (site != ErrorCode::OpenErrorCode &&
            sys_.db.gSysConnection.State() == platform::ObjectState::Open) {
            sys_.db.OpenErrorCode(errorNumber);
            row = sys_.db.rsErrorCode;
        }
        const QString socketText = QStringLiteral("[%1]").arg(socket);
        QString report;
        if (row && row->State() == platform::ObjectState::Open && !row->Eof()) {
            const QString function = row->Field(QStringLiteral("Function")).toString();
            const QString description = row->Field(QStringLiteral("Description")).toString();
            report = Report(errorNumber, socketText, &function, &description, platformText);
            row->Close();
        } else if (const SiteText* text = BuiltInText(site)) {
            const QString function = QLatin1String(text->function);
            const QString description = QLatin1String(text->description);
            report = Report(errorNumber, socketText, &function, &description, platformText);
        } else {
            report = Report(errorNumber, socketText, nullptr, nullptr, platformText);
        }

        frmQuorlan& w = sys_.window;
        w.frmeSystemError.Visible = true;
        w.txbSystemError.Text = sys_.NowText() + QStringLiteral("     ") + report;
        w.ChangedNow(); // a warning is not kept waiting behind log lines
        if (!w.HasView()) {
            // Headless: the box has no one to show it, so the operator's terminal
            // or the service journal gets it.
            std::fprintf(
                stderr, "%s\n",
                qPrintable(QString(w.txbSystemError.Text).replace(CRLF, QStringLiteral("\n"))));
            std::fflush(stderr);
        }
        sys_.logs.LogError(QByteArray("Error\t") + platformText.toUtf8());
        emit sys_.warningShown(errorNumber, platformText, socket);
    } catch (const platform::Error&) {
        // A report that cannot be built ends here, without a further report.
    }
}
