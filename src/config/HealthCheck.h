#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

namespace health {

// How one check stands. The relay as a whole is as bad as its worst check.
enum class Status { Ok, Degraded, Failing };

// One entry of the health answer: `name` is its key ("carrier", "store",
// "output:<Description>", ...), `state` a short text for a person, `since`
// when it last changed status.
struct Check {
    QString name;
    Status status = Status::Ok;
    QString state;
    QDateTime since;
};

// A module that watches something appends its checks when health is asked.
class CheckSource {
public:
    virtual ~CheckSource() = default;
    virtual void AppendChecks(QList<Check>& checks) const = 0;
};

} // namespace health
