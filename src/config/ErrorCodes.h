#pragma once

#include "config/AlarmConditions.h"
#include "platform/MetricsText.h"
#include "platform/Time.h"

#include <QString>
#include <map>
#include <vector>

class adoQuorlan;
class CoreEvents;
class WarningObserver;

// The warning sites: each number is the key of the site's row in the ErrorCodes
// table of Ombrixsys.mdb, and operators know the sites by these numbers.
enum class ErrorCode : int {
    SendDataOutputs = 100,
    OutputsDataArrival = 101,
    OutputsConnectionRequest = 102,
    OutputsClose = 103,
    CloseStalledClient = 104,
    UpdateOutputClients = 108,
    ListenOnPort = 109, // also a packet the outputs could not take
    ConnectPublisher = 110,
    LoadPublishers = 111,
    FeedSilence = 112,    // a connected carrier sends no frames
    WatchTestPages = 113, // a watched test page was not relayed in time
    LoadWatches = 114,
    LoadAliases = 115, // a row of the Aliases table cannot be used
    SendDataTelstra = 200,
    DecoderDataArrival = 201,
    DecoderConnectionRequest = 202,
    DecoderClose = 203,
    ConnectTelstraPort = 205,
    OpenErrorCode = 300,
    OpenErrorCodes = 301,
    OpenStartUp = 302,
    OpenTelstra = 303,
    OpenOutputs = 304,
    CommitOutputs = 305,
    OpenSysDatabase = 306,
    CloseSysDatabase = 307,
    CommitTelstra = 308,
    GetStartUpKey = 309,
    SetStartUpKey = 310,
    OpenPublishers = 311,
    CommitPublishers = 312,
    OpenWatches = 313,
    CommitWatches = 314,
    OpenAliases = 315,
    CommitAliases = 316,
    OpenDelayedDb = 400,
    CloseDelayedDb = 401,
    AddDelayed = 402,
    CheckDelayedCompaction = 403,
    DelayedList = 404,    // clearing, deleting or listing stored packets
    HistoryArchive = 405, // history.mdb cannot be opened or written (a full disk)
    DuplicateOutputPorts = 600,
    DuplicateTelstraPorts = 601,
    DuplicateOutputTelstraPort = 602,
    DuplicateDescriptions = 603,
    SocketsTimer = 900,
    SystemTimer = 902,
};

// The warning report of every routine that catches an error: the text of the
// error site's row of ErrorCodes, dated, goes out to the operator as a
// warning event with the platform's text (which the error log takes). The
// modules that warn also tell it when a condition they warned of has ended;
// both go on to its observers.
class ErrorCodes final : public platform::MetricsSource, public AlarmConditions {
public:
    ErrorCodes(adoQuorlan& db, CoreEvents& events, platform::Time time)
        : db_(db), events_(events), time_(time) {}

    void ShowWarning(ErrorCode site, const QString& platformText, int socket);
    // Tells `observer` of every report from now on, until it is removed.
    void AddObserver(WarningObserver& observer) { observers_.push_back(&observer); }
    void RemoveObserver(WarningObserver& observer) { std::erase(observers_, &observer); }
    void Ended(AlarmCondition condition, int entry) override;

    // ombrix_warnings_total{code}: every warning raised, by its number.
    void WriteMetrics(platform::MetricsText& text) const override;

    // The report's text, without the date-time the box puts in front of it.
    static QString Report(int errorNumber, const QString& socketText, const QString* function,
                          const QString* description, const QString& platformText);

private:
    struct Built {
        QString text;
        QString function;
    };
    Built report(ErrorCode site, const QString& platformText, int socket);

    adoQuorlan& db_;
    CoreEvents& events_;
    platform::Time time_;
    std::vector<WarningObserver*> observers_;
    std::map<int, qint64> raised_; // warnings raised by number: a few dozen numbers at most
};
