#include "history/PageTrail.h"

namespace history {

QString TrailEventName(TrailEvent event) {
    switch (event) {
    case TrailEvent::Sent:
        return QStringLiteral("sent");
    case TrailEvent::Taken:
        return QStringLiteral("taken");
    case TrailEvent::Stored:
        return QStringLiteral("stored");
    case TrailEvent::Resent:
        return QStringLiteral("resent");
    case TrailEvent::Published:
        return QStringLiteral("published");
    case TrailEvent::Acknowledged:
        return QStringLiteral("acknowledged");
    case TrailEvent::Pruned:
        return QStringLiteral("pruned");
    case TrailEvent::Deleted:
        return QStringLiteral("deleted");
    }
    return {};
}

} // namespace history
