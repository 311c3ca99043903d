#pragma once

// Start-up of the relays that the crash and durability tests run as child
// processes, to be killed outright.

#include "WorkFolder.h"

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
