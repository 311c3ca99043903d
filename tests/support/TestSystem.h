#pragma once

// The whole relay for a test: a System on a work folder. Tests of a single
// module need only WorkFolder.h.

#include "WorkFolder.h"

#include "app/System.h"
#include "platform/Clock.h"

#include <QList>
#include <QStringList>
#include <memory>

// Lets the sockets' events run until the client is connected and output
// `index` of the relay has accepted it, then runs the outputs' heartbeat.
bool AcceptedOnOutput(System& system, LoopbackClient& client, int index);

// A System on a work folder, driven by a fake clock, with the warnings and
// message boxes it raises collected for the test to read.
class TestSystem {
public:
    explicit TestSystem(const QString& workDir, SystemOptions options = {});

    platform::FakeClock clock;
    std::unique_ptr<System> system;

    struct Warning {
        int number;
        QString text;
        int socket;
    };
    QList<Warning> warnings;
    QStringList messageBoxes;

    System* operator->() { return system.get(); }
    QList<int> warningNumbers() const;
};
