#pragma once

#include <QString>

namespace config {

// What a route of the Outputs or Publishers grid, as the grid holds it now
// (edits not yet committed too), does with a page an operator describes.
struct RouteVerdict {
    QString table;       // "Outputs" or "Publishers"
    QString description; // the row's Description
    bool routed = false; // the page would go to that client or broker
    QString problem;     // the route does not parse: why (and then nothing is routed)
};

} // namespace config
