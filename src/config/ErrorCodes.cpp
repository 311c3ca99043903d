#include "config/ErrorCodes.h"

#include "config/CoreEvents.h"
#include "config/WarningObserver.h"
#include "config/adoQuorlan.h"
#include "platform/Error.h"
#include "platform/Recordset.h"

namespace {

const QString CRLF = QStringLiteral("\r\n");

// Texts of the sites that came with the publishers, the watches and the
// history, for a table that has no row for them: the operator's table is not
// changed under them.
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
    // The test-page watches: 112 and 113 have their rows from the schema.
    {ErrorCode::LoadWatches, "LoadWatches", "A row of the Watches table cannot be used"},
    {ErrorCode::OpenWatches, "OpenWatches", "Reading the Watches table"},
    {ErrorCode::CommitWatches, "CommitWatches", "Saving edits of the Watches table"},
    {ErrorCode::LoadAliases, "LoadAliases", "A row of the Aliases table cannot be used"},
    {ErrorCode::OpenAliases, "OpenAliases", "Reading the Aliases table"},
    {ErrorCode::CommitAliases, "CommitAliases", "Saving edits of the Aliases table"},
    // The history of relayed pages: the relay goes on without it.
    {ErrorCode::HistoryArchive, "HistoryArchive",
     "The history archive history.mdb cannot be opened or written"},
};

const SiteText* BuiltInText(ErrorCode site) {
    for (const SiteText& text : kBuiltInTexts)
        if (text.site == site)
            return &text;
    return nullptr;
}

} // namespace

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

// The text of the site's row; the lookup's own failure (OpenErrorCode) is built
// without a lookup, so a lookup that keeps failing cannot nest. Without the
// system database there is nothing to look up either; the report still goes
// out.
ErrorCodes::Built ErrorCodes::report(ErrorCode site, const QString& platformText, int socket) {
    const int errorNumber = static_cast<int>(site);
    std::shared_ptr<platform::Recordset> row;
    if (site != ErrorCode::OpenErrorCode &&
        db_.gSysConnection.State() == platform::ObjectState::Open) {
        db_.OpenErrorCode(errorNumber);
        row = db_.rsErrorCode;
    }
    const QString socketText = QStringLiteral("[%1]").arg(socket);
    if (row && row->State() == platform::ObjectState::Open && !row->Eof()) {
        const QString function = row->Field(QStringLiteral("Function")).toString();
        const QString description = row->Field(QStringLiteral("Description")).toString();
        QString text = Report(errorNumber, socketText, &function, &description, platformText);
        row->Close();
        return {text, function};
    }
    if (const SiteText* text = BuiltInText(site)) {
        const QString function = QLatin1String(text->function);
        const QString description = QLatin1String(text->description);
        return {Report(errorNumber, socketText, &function, &description, platformText), function};
    }
    return {Report(errorNumber, socketText, nullptr, nullptr, platformText),
            QStringLiteral("Unknown")};
}

void ErrorCodes::ShowWarning(ErrorCode site, const QString& platformText, int socket) {
    ++raised_[static_cast<int>(site)];
    try {
        const Built built = report(site, platformText, socket);
        events_.WarningShown(static_cast<int>(site),
                             time_.NowText() + QStringLiteral("     ") + built.text, platformText,
                             socket);
        const RaisedWarning raised{static_cast<int>(site), built.function, platformText, socket,
                                   built.text};
        for (WarningObserver* observer : observers_)
            observer->WarningRaised(raised);
    } catch (const platform::Error&) {
        // A report that cannot be built ends here, without a further report.
    }
}

void ErrorCodes::Ended(AlarmCondition condition, int entry) {
    for (WarningObserver* observer : observers_)
        observer->ConditionEnded(condition, entry);
}

void ErrorCodes::WriteMetrics(platform::MetricsText& text) const {
    text.Family("ombrix_warnings_total", platform::MetricsText::Type::Counter,
                "Warnings raised since start, by warning number");
    for (const auto& [code, count] : raised_)
        text.Sample(static_cast<double>(count), {{"code", QString::number(code)}});
}
