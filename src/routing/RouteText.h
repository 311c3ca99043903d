#pragma once

#include <QList>
#include <QString>

namespace routing {

// One term of a route's text as written, before it means anything.
struct WrittenTerm {
    bool excluding = false; // it followed a '!'
    QString key;            // "fn", "text", ...; empty for an address or range
    QString value;          // unquoted, undelimited
    QString flags;          // after a pattern's closing '/'
    QString written;        // the term as it stands in the text, for messages
};

struct SplitTerms {
    QList<WrittenTerm> terms;
    QString problem; // set when the text could not be split
};

// Splits a route's text at blanks and commas. A text or alias value may be
// quoted ("...", with \" and \\ inside) to hold blanks, commas or quotes; a
// pattern is delimited by slashes (re:/.../), a slash inside it escaped.
SplitTerms SplitRoute(const QString& text);

} // namespace routing
