#pragma once

#include <QStringList>
#include <QTextStream>

namespace sim {

extern const char* kServeUsage;

// ombrix-sim serve: a carrier server that streams encoded pages to the relay.
int RunServe(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace sim
