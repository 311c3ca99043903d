#include "config/AlarmRecords.h"

#include "config/AlarmTable.h"
#include "config/ErrorCodes.h"
#include "platform/Connection.h"
#include "platform/Error.h"

#include <algorithm>
#include <climits>
#include <span>
#include <vector>

namespace {

// The warnings whose condition each end clears. A warning that no end names
// stays active until an operator acknowledges it.
constexpr ErrorCode kOutputWarnings[] = {
    ErrorCode::SendDataOutputs, ErrorCode::OutputsDataArrival, ErrorCode::OutputsConnectionRequest,
    ErrorCode::OutputsClose,    ErrorCode::CloseStalledClient, ErrorCode::UpdateOutputClients,
    ErrorCode::ListenOnPort,
};
constexpr ErrorCode kCarrierWarnings[] = {
    ErrorCode::SendDataTelstra, ErrorCode::DecoderDataArrival, ErrorCode::DecoderConnectionRequest,
    ErrorCode::DecoderClose,    ErrorCode::ConnectTelstraPort,
};
// Frames mean the connection is up, and the feed is no longer quiet.
constexpr ErrorCode kFrameWarnings[] = {
    ErrorCode::FeedSilence,  ErrorCode::SendDataTelstra,    ErrorCode::DecoderDataArrival,
    ErrorCode::DecoderClose, ErrorCode::ConnectTelstraPort, ErrorCode::DecoderConnectionRequest,
};
constexpr ErrorCode kStoreWarnings[] = {
    ErrorCode::OpenDelayedDb,          ErrorCode::CloseDelayedDb, ErrorCode::AddDelayed,
    ErrorCode::CheckDelayedCompaction, ErrorCode::DelayedList,
};
constexpr ErrorCode kWatchWarnings[] = {ErrorCode::WatchTestPages};
constexpr ErrorCode kHistoryWarnings[] = {ErrorCode::HistoryArchive};

std::span<const ErrorCode> EndedBy(AlarmCondition condition) {
    switch (condition) {
    case AlarmCondition::OutputConnected:
        return kOutputWarnings;
    case AlarmCondition::CarrierConnected:
        return kCarrierWarnings;
    case AlarmCondition::CarrierFrames:
        return kFrameWarnings;
    case AlarmCondition::StoreWritten:
        return kStoreWarnings;
    case AlarmCondition::WatchedPageSeen:
        return kWatchWarnings;
    case AlarmCondition::HistoryWritten:
        return kHistoryWarnings;
    }
    return {};
}

// The store is one, and so is the history, whatever entry their warnings name.
bool AnyEntry(AlarmCondition condition) {
    return condition == AlarmCondition::StoreWritten || condition == AlarmCondition::HistoryWritten;
}

bool Newer(const Alarm& a, const Alarm& b) {
    return a.lastSeen != b.lastSeen ? a.lastSeen > b.lastSeen : a.id > b.id;
}

} // namespace

AlarmRecords::AlarmRecords(const platform::Connection& connection, platform::Time time,
                           ErrorCodes& report, LogLine log)
    : connection_(connection), time_(time), report_(report), log_(std::move(log)) {
    report_.AddObserver(*this);
}

AlarmRecords::~AlarmRecords() {
    report_.RemoveObserver(*this);
}

void AlarmRecords::keep(const Alarm& alarm) {
    alarms_[alarm.id] = alarm;
    if (alarm.Active())
        active_[{alarm.code, alarm.entry}] = alarm.id;
}

void AlarmRecords::forget(qint64 id) {
    const auto it = alarms_.find(id);
    if (it == alarms_.end())
        return;
    const auto active = active_.find({it->second.code, it->second.entry});
    if (active != active_.end() && active->second == id)
        active_.erase(active);
    changed_.erase(id);
    alarms_.erase(it);
}

void AlarmRecords::Load() {
    if (loaded_)
        return;
    std::map<qint64, Alarm> raisedBefore;
    raisedBefore.swap(alarms_);
    active_.clear();
    changed_.clear();
    try {
        const config::StoredAlarms stored = config::ReadAlarms(connection_, kKeptInactive);
        for (const Alarm& alarm : stored.rows)
            keep(alarm);
        nextId_ = stored.largestId + 1;
        loaded_ = true;
    } catch (const platform::Error& error) {
        failed(error.text());
    }
    for (const auto& [id, alarm] : raisedBefore)
        joinRaisedBefore(alarm);
    prune();
    Flush();
}

// An alarm raised before the table was read: its ID is taken anew above the
// table's, and a repeat of an alarm the table holds active counts into that.
void AlarmRecords::joinRaisedBefore(Alarm alarm) {
    const auto active = active_.find({alarm.code, alarm.entry});
    if (alarm.Active() && active != active_.end()) {
        Alarm& kept = alarms_.at(active->second);
        kept.count += alarm.count;
        kept.lastSeen = alarm.lastSeen;
        kept.text = alarm.text;
        changed_.insert(kept.id);
        return;
    }
    alarm.id = nextId_++;
    keep(alarm);
    changed_.insert(alarm.id);
}

void AlarmRecords::WarningRaised(const RaisedWarning& warning) {
    const QDateTime now = time_.Now();
    const QString text = warning.report.left(kMaxText);
    const auto active = active_.find({warning.errorNumber, warning.entry});
    if (active != active_.end()) {
        Alarm& alarm = alarms_.at(active->second);
        ++alarm.count;
        alarm.lastSeen = now;
        alarm.text = text;
        changed_.insert(alarm.id);
        return;
    }
    Alarm alarm;
    alarm.id = nextId_++;
    alarm.code = warning.errorNumber;
    alarm.entry = warning.entry;
    alarm.text = text;
    alarm.count = 1;
    alarm.firstSeen = now;
    alarm.lastSeen = now;
    keep(alarm);
    changed_.insert(alarm.id);
}

void AlarmRecords::ConditionEnded(AlarmCondition condition, int entry) {
    if (active_.empty())
        return;
    const bool anyEntry = AnyEntry(condition);
    for (const ErrorCode code : EndedBy(condition)) {
        const int number = static_cast<int>(code);
        auto it = active_.lower_bound({number, anyEntry ? INT_MIN : entry});
        while (it != active_.end() && it->first.first == number &&
               (anyEntry || it->first.second == entry)) {
            alarms_.at(it->second).clearedAt = time_.Now();
            changed_.insert(it->second);
            it = active_.erase(it);
        }
    }
}

Acknowledgement AlarmRecords::Acknowledge(qint64 id, const QString& operatorName) {
    const auto it = alarms_.find(id);
    if (it == alarms_.end())
        return Acknowledgement::Unknown;
    Alarm& alarm = it->second;
    if (alarm.Acknowledged())
        return Acknowledgement::AlreadyAcknowledged;
    alarm.acknowledgedBy = operatorName;
    alarm.acknowledgedAt = time_.Now();
    const auto active = active_.find({alarm.code, alarm.entry});
    if (active != active_.end() && active->second == id)
        active_.erase(active);
    changed_.insert(id);
    log_(QStringLiteral("System: Alarm %1 %2 acknowledged by %3")
             .arg(alarm.code)
             .arg(alarm.entry)
             .arg(operatorName));
    Flush();
    return Acknowledgement::Done;
}

QList<Alarm> AlarmRecords::List(AlarmList which) const {
    std::vector<const Alarm*> listed;
    listed.reserve(alarms_.size());
    for (const auto& [id, alarm] : alarms_)
        if (which == AlarmList::All || alarm.Active())
            listed.push_back(&alarm);
    const size_t shown = std::min(listed.size(), size_t(kListLimit));
    std::partial_sort(listed.begin(), listed.begin() + qsizetype(shown), listed.end(),
                      [](const Alarm* a, const Alarm* b) { return Newer(*a, *b); });
    QList<Alarm> alarms;
    alarms.reserve(qsizetype(shown));
    for (size_t i = 0; i < shown; ++i)
        alarms << *listed[i];
    return alarms;
}

void AlarmRecords::Tick() {
    Flush();
    if (nextPrune_.isValid() && nextPrune_ <= time_.Now())
        prune();
}

void AlarmRecords::Flush() {
    if (!changed_.empty() && loaded_ && connection_.State() == platform::ObjectState::Open) {
        QList<Alarm> changed;
        changed.reserve(qsizetype(changed_.size()));
        for (const qint64 id : changed_)
            changed << alarms_.at(id);
        try {
            config::WriteAlarms(connection_, changed);
            changed_.clear();
            failing_ = false;
        } catch (const platform::Error& error) {
            failed(error.text());
        }
    }
    trim();
}

void AlarmRecords::prune() {
    const QDateTime now = time_.Now();
    nextPrune_ = now.addDays(1);
    const QDateTime before = now.addDays(-kKeptDays);
    std::vector<qint64> old;
    for (const auto& [id, alarm] : alarms_)
        if (alarm.lastSeen < before)
            old.push_back(id);
    for (const qint64 id : old)
        forget(id);
    if (!loaded_ || connection_.State() != platform::ObjectState::Open)
        return;
    try {
        config::DeleteAlarmsBefore(connection_, before);
    } catch (const platform::Error& error) {
        failed(error.text());
    }
}

// The oldest alarms that are no longer active leave memory (their rows stay);
// while the table cannot be written, unwritten ones too, or a database that
// never comes back would let them grow without end.
void AlarmRecords::trim() {
    const size_t inactive = alarms_.size() - active_.size();
    if (inactive <= size_t(kKeptInactive))
        return;
    std::vector<const Alarm*> ended;
    ended.reserve(inactive);
    for (const auto& [id, alarm] : alarms_)
        if (!alarm.Active())
            ended.push_back(&alarm);
    const size_t excess = inactive - size_t(kKeptInactive);
    std::nth_element(ended.begin(), ended.begin() + qsizetype(excess), ended.end(),
                     [](const Alarm* a, const Alarm* b) { return Newer(*b, *a); });
    std::vector<qint64> oldest;
    oldest.reserve(excess);
    for (size_t i = 0; i < excess; ++i)
        oldest.push_back(ended[i]->id);
    for (const qint64 id : oldest)
        forget(id);
}

void AlarmRecords::failed(const QString& text) {
    if (failing_)
        return;
    failing_ = true;
    log_(QStringLiteral("System: Alarms cannot be kept in Ombrixsys.mdb, only in memory: ") + text);
}
