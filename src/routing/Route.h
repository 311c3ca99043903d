#pragma once

#include "routing/RoutedPage.h"

#include <QRegularExpression>
#include <QString>
#include <optional>
#include <vector>

namespace routing {

class AliasBook;

// Which pages one output or publisher gets, from the text of its Route
// column: addresses and ranges, function letters, frequency, rate, type, a
// word of the text, a regular expression on it, an alias's addresses; a term
// after '!' excludes. A page is routed when it matches at least one including
// term (or there is none) and no excluding term. Made once when the row is
// loaded; asked for every page.
class Route {
public:
    // Every page: what an empty Route column means.
    Route() = default;

    struct Parsed;
    // The route written in `text`, or why it is not one. An alias term takes
    // the addresses that `aliases` gives its name now.
    static Parsed Parse(const QString& text, const AliasBook& aliases);
    // A route no page matches: what a row whose route did not parse gets.
    static Route Nothing();

    bool Routes(const RoutedPage& page) const;
    // Whether the route lets every page through (an empty column).
    bool Everything() const { return !nothing_ && including_.empty() && excluding_.empty(); }

    struct Term;

private:
    bool anyMatches(const std::vector<Term>& terms, const RoutedPage& page) const;

    std::vector<Term> including_;
    std::vector<Term> excluding_;
    bool nothing_ = false;
};

// One term of a route, compiled.
struct Route::Term {
    enum class Kind { Addresses, Functions, Frequency, Rate, Type, Word, Pattern };
    Kind kind = Kind::Addresses;
    quint32 low = 0, high = 0;     // Addresses: the range, ends included
    QByteArray value;              // Functions: the letters; Frequency, Rate, Type: the field;
                                   // Word: the words, lower case
    QByteArray functions;          // Addresses of an alias: its function letters (empty: any)
    QRegularExpression expression; // Pattern

    bool Matches(const RoutedPage& page) const;
};

struct Route::Parsed {
    std::optional<Route> route;
    QString problem; // when there is no route: what is wrong, for the operator
};

// The longest route text, pattern and alias expansion a row may hold: a route
// is read for every page, so what it costs is bounded when it is written.
inline constexpr qsizetype kMaxRouteLength = 4000;
inline constexpr qsizetype kMaxPatternLength = 200;
inline constexpr int kMaxRouteTerms = 500;
// The steps a regular expression may take on one page's text before the
// match gives up (the term then does not match).
inline constexpr int kPatternStepLimit = 100'000;

} // namespace routing
