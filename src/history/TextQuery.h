#pragma once

#include <QString>

class QSqlDatabase;

namespace history {

// Fewest characters before the * of a prefix search: a shorter prefix
// stands for so many words that the text index would gather the pages of
// all of them in memory (at 10 million pages, "e*" took 1.8 s and 70 MB).
constexpr int kShortestPrefix = 3;

// Raises platform::Error with a text for the operator when the full-text
// query does not parse or has a prefix shorter than kShortestPrefix, and
// with the engine's text when the file cannot be read.
void CheckTextQuery(const QSqlDatabase& db, const QString& text);

} // namespace history
