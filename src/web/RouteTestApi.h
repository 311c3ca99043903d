#pragma once

#include "web/HttpReply.h"

#include <QUrl>

namespace web {

class WebConsoleHost;

// The console's "test this route" box:
//   GET /api/routes/test?address=A&function=F&text=T -> {"outputs": [...], "publishers": [...]},
//       each a row of that grid as it is shown now (an edit not yet committed too), in its
//       order: {"description", "routed", "problem"}; "routed" says whether the page would go
//       to that client or broker, "problem" (null when none) why the row's route does not
//       parse. `address` is 1 to 9 digits, `function` A to D or empty, `text` at most
//       kMaxTestText characters, each a byte of the page (U+0000 to U+00FF); frequency, rate
//       and type are the page's unknowns, so their terms do not match.
HttpReply TestRoute(WebConsoleHost& host, const QUrl& url);

inline constexpr qsizetype kMaxTestText = 1000;

} // namespace web
