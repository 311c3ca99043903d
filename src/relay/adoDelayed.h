#pragma once

#include "platform/Connection.h"
#include "platform/Recordset.h"

#include <memory>

class System;

// The delayed store delayed.mdb, where packets wait for a client that is away.
class adoDelayed {
public:
    explicit adoDelayed(System& system);

    platform::Connection cnDelayed;
    std::shared_ptr<platform::Recordset> rsDelayed; // the delayed list, newest first
    qint32 gDelayedCount = 0;

    int OpenDelayedDb();
    int CloseDelayedDb();
    void OpenDelayedList();
    void CloseDelayedList();
    void RefreshDelayedView();

private:
    System& sys_;
};
