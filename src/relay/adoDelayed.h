#pragma once

#include "platform/Connection.h"

class System;

// The delayed store delayed.mdb, where packets wait for a client that is away.
class adoDelayed {
public:
    explicit adoDelayed(System& system);

    platform::Connection cnDelayed;

    int OpenDelayedDb();
    int CloseDelayedDb();

private:
    System& sys_;
};
