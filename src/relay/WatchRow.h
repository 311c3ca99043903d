#pragma once

#include <QHash>
#include <QString>
#include <variant>

namespace relay {

// Rows of the Watches table that are used; rows after these are ignored.
constexpr int kMaxWatches = 100;
// The longest interval a watch may have: a month, in minutes.
constexpr int kLongestEveryMinutes = 31 * 24 * 60;

// A site's periodic test page: a page to `ric` (with `function`, or any when
// it is 0) must be relayed at least every `everyMinutes`.
struct Watch {
    QString description;
    QString address; // as the row gives it, for the operator's texts
    qint32 ric = 0;
    char function = 0; // 'A' to 'D', or 0 for any
    int everyMinutes = 0;
    bool active = false;
    bool operator==(const Watch&) const = default;
};

// A row as read: column name to text.
using WatchRow = QHash<QString, QString>;

// The row checked, or the reason it cannot be used.
std::variant<Watch, QString> ReadWatchRow(const WatchRow& row);

} // namespace relay
