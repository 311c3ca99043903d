#pragma once

#include "config/HealthCheck.h"
#include "platform/MetricsText.h"

#include <vector>

namespace monitor {

// Every module that has figures or checks to show, in the order a scrape and
// a health answer show them. The system object fills the lists; each source
// outlives the listener or leaves the list first.
struct Sources {
    std::vector<const platform::MetricsSource*> metrics;
    std::vector<const health::CheckSource*> checks;
};

} // namespace monitor
