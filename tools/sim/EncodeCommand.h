#pragma once

#include <QStringList>

class QTextStream;

namespace sim {

// `ombrix-sim encode PAGES OUT [options]`: writes the satellite stream that
// carries a page list. PAGES or OUT may be "-" for standard input or output.
// Returns the process exit status: 0 done, 1 unreadable input or unwritable
// output, 2 wrong arguments.
int RunEncode(const QStringList& args, QTextStream& out, QTextStream& err);

extern const char* const kEncodeUsage;

} // namespace sim
