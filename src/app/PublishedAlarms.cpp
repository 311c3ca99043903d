#include "app/PublishedAlarms.h"

#include "publish/Publishers.h"

#include <algorithm>
#include <array>

namespace app {

namespace {

constexpr std::array kAlarms = {
    ErrorCode::CloseStalledClient,     ErrorCode::FeedSilence,    ErrorCode::WatchTestPages,
    ErrorCode::OpenDelayedDb,          ErrorCode::CloseDelayedDb, ErrorCode::AddDelayed,
    ErrorCode::CheckDelayedCompaction, ErrorCode::DelayedList,
};

} // namespace

PublishedAlarms::PublishedAlarms(ErrorCodes& report, publish::Publishers& publishers)
    : report_(report), publishers_(publishers) {
    report_.AddObserver(*this);
}

PublishedAlarms::~PublishedAlarms() {
    report_.RemoveObserver(*this);
}

bool PublishedAlarms::IsAlarm(ErrorCode site) {
    return std::find(kAlarms.begin(), kAlarms.end(), site) != kAlarms.end();
}

void PublishedAlarms::WarningRaised(const RaisedWarning& warning) {
    if (IsAlarm(static_cast<ErrorCode>(warning.errorNumber)))
        publishers_.PublishAlarm({warning.errorNumber, warning.function, warning.platformText});
}

} // namespace app
