#pragma once

#include <QString>

class System;

namespace app {

// One line of how the relay stands, for the service manager's status
// (`systemctl status`): "carrier connected, 12/14 clients, 3 stored", and the
// brokers when there are any ("..., 1/2 brokers"). Only active rows count.
QString StatusSummary(const System& system);

} // namespace app
