#pragma once

#include "monitor/IsoTime.h"

#include <QDateTime>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <functional>

class adoDelayed;
class adoQuorlan;
class frmDecSockets;
class frmOutputSockets;

namespace platform {
class Clock;
}

namespace publish {
class Publishers;
}

namespace monitor {

// What a supervisor asks at a glance, for the console's overview: each
// carrier (its state and since when, its last frame, its pages over the last
// hour minute by minute), each output (state, since, live packets sent today,
// packets stored for it, its last page), each broker (connected, pages
// pending), the store (rows, its oldest), the active alarms and the health.
// Built from what the modules count as they work: no table is read, and the
// store only when a delete may have taken its oldest row.
class RelayOverview {
public:
    struct Parts {
        const platform::Clock& clock;
        const adoQuorlan& db;
        const frmDecSockets& carriers;
        const frmOutputSockets& outputs;
        const publish::Publishers& publishers;
        adoDelayed& store;
    };
    explicit RelayOverview(const Parts& parts);

    // How many alarms are active; 0 until a count is given.
    void CountAlarmsWith(std::function<int()> count) { alarms_ = std::move(count); }
    // Notes each connection's state, so that its "since" is when the state
    // began: every second, and before the overview is built.
    void Observe();
    // The overview, with `health` (the health answer's object) in it.
    QJsonObject Json(const QJsonObject& health);

private:
    struct Seen {
        QString state;
        QDateTime since;
        QJsonValue sinceJson;
    };
    // The carrier rows loaded, and one output row for each Description
    // (outputs that share one share their figures and their stored rows).
    QList<int> carrierRows() const;
    QList<int> outputRows() const;
    QString carrierKey(int index) const;
    QString outputKey(int index) const;
    QJsonValue since(const QString& key) const { return seen_.value(key).sinceJson; }

    QJsonArray carriersJson(const QDateTime& now);
    QJsonArray outputsJson(const QDateTime& now);
    QJsonArray publishersJson() const;
    QJsonObject storeJson();

    const platform::Clock& clock_;
    const adoQuorlan& db_;
    const frmDecSockets& carriers_;
    const frmOutputSockets& outputs_;
    const publish::Publishers& publishers_;
    adoDelayed& store_;
    std::function<int()> alarms_ = [] { return 0; };
    QHash<QString, Seen> seen_;               // by carrierKey or outputKey
    QHash<QString, KeptTimeJson> times_;      // the last frames and pages, by key
    QString oldest_;                          // the store's oldest Created...
    QJsonValue oldestJson_{QJsonValue::Null}; // ...as the overview shows it
};

} // namespace monitor
