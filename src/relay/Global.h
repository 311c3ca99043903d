#pragma once

#include "relay/DelayedRecord.h"

class System;

// The resend of stored packets, one step a second.
class Global {
public:
    explicit Global(System& system);

    DelayedRecord gDelayed;

    void ResendDelayed();

private:
    bool sendOldest();
    void pruneWithoutDestination();
    bool namedInOutputsTable(const QString& destination);

    System& sys_;
};
