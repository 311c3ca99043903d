#pragma once

// Start-up of the relays that the crash and durability tests run as child
// processes, to be killed outright.

#include "TestSystem.h"

#include <QCoreApplication>
#include <functional>
#include <memory>

// A started relay on the working folder named by the first argument, or null.
inline std::unique_ptr<System> StartChildRelay(int argc, char** argv) {
    if (argc < 2)
        return nullptr;
    SystemOptions options;
    options.workDir = QString::fromLocal8Bit(argv[1]);
    options.developmentMarker = options.workDir + QStringLiteral("/no-marker");
    auto system = std::make_unique<System>(options);
    if (!system->Form_Load())
        return nullptr;
    return system;
}

// The main of such a child: the relay started, then `work` on it. Exit code 3
// when the relay did not start.
inline int RunChildRelay(int argc, char** argv, const std::function<void(System&)>& work) {
    QCoreApplication app(argc, argv);
    const std::unique_ptr<System> relay = StartChildRelay(argc, argv);
    if (!relay)
        return 3;
    work(*relay);
    return 0;
}
