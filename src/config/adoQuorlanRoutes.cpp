// Testing a page against the routes of the Outputs and Publishers grids as an
// operator has them on screen, before committing an edit.

#include "config/Limits.h"
#include "config/adoQuorlan.h"
#include "publish/PublisherConfig.h"
#include "routing/Route.h"

namespace {

void Judge(const std::shared_ptr<platform::Recordset>& rs, const QString& table, long rows,
           const routing::AliasBook& aliases, const routing::RoutedPage& page,
           QList<config::RouteVerdict>& verdicts) {
    if (!rs || rs->State() != platform::ObjectState::Open)
        return;
    const int route = rs->FieldIndex(QStringLiteral("Route"));
    const int description = rs->FieldIndex(QStringLiteral("Description"));
    for (long row = 0; row < rs->RecordCount() && row < rows; ++row) {
        config::RouteVerdict verdict;
        verdict.table = table;
        verdict.description = description < 0 ? QString() : rs->Value(row, description).toString();
        const routing::Route::Parsed parsed = routing::Route::Parse(
            route < 0 ? QString() : rs->Value(row, route).toString(), aliases);
        verdict.routed = parsed.route && parsed.route->Routes(page);
        verdict.problem = parsed.problem;
        verdicts << verdict;
    }
}

} // namespace

QList<config::RouteVerdict> adoQuorlan::TestRoutes(const routing::RoutedPage& page) const {
    QList<config::RouteVerdict> verdicts;
    Judge(rsOutputs, QStringLiteral("Outputs"), kMaxOutputs, aliases_, page, verdicts);
    Judge(rsPublishers, QStringLiteral("Publishers"), publish::kMaxPublishers, aliases_, page,
          verdicts);
    return verdicts;
}
