#include "routing/Route.h"

#include "routing/AliasBook.h"
#include "routing/RouteText.h"

#include <algorithm>

namespace routing {

namespace {

using Term = Route::Term;

constexpr int kMaxAddressDigits = 9;

bool AllDigits(const QString& text) {
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
}

std::optional<quint32> AddressNumber(const QString& text) {
    if (!AllDigits(text) || text.size() > kMaxAddressDigits)
        return std::nullopt;
    return text.toUInt();
}

bool IsWordByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

QByteArray Folded(const QString& text) {
    QByteArray folded = text.toLatin1();
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return folded;
}

// A word or phrase of `needle` in `text`, not inside a longer word.
bool HasWord(const QByteArray& text, const QByteArray& needle) {
    const bool wordStart = IsWordByte(needle.front());
    const bool wordEnd = IsWordByte(needle.back());
    for (qsizetype at = text.indexOf(needle); at >= 0; at = text.indexOf(needle, at + 1)) {
        const qsizetype end = at + needle.size();
        if (wordStart && at > 0 && IsWordByte(text[at - 1]))
            continue;
        if (wordEnd && end < text.size() && IsWordByte(text[end]))
            continue;
        return true;
    }
    return false;
}

// What one written term compiles to; `problem` says why it does not.
class TermCompiler {
public:
    explicit TermCompiler(const AliasBook& aliases) : aliases_(aliases) {}

    QList<Term> compile(const WrittenTerm& written);
    const QString& problem() const { return problem_; }

private:
    QList<Term> fail(const WrittenTerm& written, const QString& why) {
        problem_ = QStringLiteral("\"%1\": %2").arg(written.written, why);
        return {};
    }
    QList<Term> addresses(const WrittenTerm& written);
    QList<Term> field(const WrittenTerm& written, Term::Kind kind);
    QList<Term> functions(const WrittenTerm& written);
    QList<Term> word(const WrittenTerm& written);
    QList<Term> pattern(const WrittenTerm& written);
    QList<Term> alias(const WrittenTerm& written);

    const AliasBook& aliases_;
    QString problem_;
};

QList<Term> TermCompiler::compile(const WrittenTerm& written) {
    const QString& key = written.key;
    if (key.isEmpty())
        return addresses(written);
    if (written.value.isEmpty())
        return fail(written, QStringLiteral("nothing follows the ':'"));
    if (key == QLatin1String("fn"))
        return functions(written);
    if (key == QLatin1String("freq"))
        return field(written, Term::Kind::Frequency);
    if (key == QLatin1String("rate"))
        return field(written, Term::Kind::Rate);
    if (key == QLatin1String("type"))
        return field(written, Term::Kind::Type);
    if (key == QLatin1String("text"))
        return word(written);
    if (key == QLatin1String("re"))
        return pattern(written);
    if (key == QLatin1String("alias"))
        return alias(written);
    return fail(written, QStringLiteral("unknown term; a term is an address, a range A-B, fn:, "
                                        "freq:, rate:, type:, text:, re: or alias:"));
}

QList<Term> TermCompiler::addresses(const WrittenTerm& written) {
    if (written.value.isEmpty())
        return fail(written, QStringLiteral("'!' must be followed by a term"));
    const QStringList ends = written.value.split(QLatin1Char('-'));
    const std::optional<quint32> low = AddressNumber(ends.front());
    const std::optional<quint32> high = AddressNumber(ends.back());
    if (ends.size() > 2 || !low || !high)
        return fail(written, QStringLiteral("an address is up to %1 digits, a range two "
                                            "addresses joined by '-'")
                                 .arg(kMaxAddressDigits));
    if (*high < *low)
        return fail(written, QStringLiteral("the range ends below its start"));
    Term term;
    term.low = *low;
    term.high = *high;
    return {term};
}

QList<Term> TermCompiler::field(const WrittenTerm& written, Term::Kind kind) {
    const bool digits = kind != Term::Kind::Type;
    if (digits ? !AllDigits(written.value)
               : !std::all_of(written.value.begin(), written.value.end(),
                              [](QChar c) { return c.isLetter() && c.unicode() < 0x80; }))
        return fail(written, digits ? QStringLiteral("digits expected")
                                    : QStringLiteral("letters expected"));
    Term term;
    term.kind = kind;
    term.value = (digits ? written.value : written.value.toUpper()).toLatin1();
    return {term};
}

QList<Term> TermCompiler::functions(const WrittenTerm& written) {
    const QString letters = written.value.toUpper();
    if (!std::all_of(letters.begin(), letters.end(),
                     [](QChar c) { return c >= QLatin1Char('A') && c <= QLatin1Char('D'); }))
        return fail(written, QStringLiteral("function letters are A, B, C and D"));
    Term term;
    term.kind = Term::Kind::Functions;
    term.value = letters.toLatin1();
    return {term};
}

QList<Term> TermCompiler::word(const WrittenTerm& written) {
    const QString words = written.value.simplified();
    if (words.isEmpty())
        return fail(written, QStringLiteral("a word expected"));
    if (std::any_of(words.begin(), words.end(), [](QChar c) { return c.unicode() > 0xFF; }))
        return fail(written, QStringLiteral("a page's text holds no such character"));
    Term term;
    term.kind = Term::Kind::Word;
    term.value = Folded(words);
    return {term};
}

QList<Term> TermCompiler::pattern(const WrittenTerm& written) {
    if (written.value.size() > kMaxPatternLength)
        return fail(written,
                    QStringLiteral("a pattern is at most %1 characters").arg(kMaxPatternLength));
    // The pattern's own verbs could raise the step limit or change how it is read.
    if (written.value.contains(QLatin1String("(*")))
        return fail(written, QStringLiteral("a pattern may not hold \"(*\""));
    QRegularExpression::PatternOptions options = QRegularExpression::NoPatternOption;
    if (written.flags == QLatin1String("i"))
        options |= QRegularExpression::CaseInsensitiveOption;
    else if (!written.flags.isEmpty())
        return fail(written, QStringLiteral("the only flag after a pattern is i"));
    Term term;
    term.kind = Term::Kind::Pattern;
    term.expression = QRegularExpression(
        QStringLiteral("(*LIMIT_MATCH=%1)").arg(kPatternStepLimit) + written.value, options);
    if (!term.expression.isValid())
        return fail(written, term.expression.errorString());
    term.expression.optimize();
    return {term};
}

QList<Term> TermCompiler::alias(const WrittenTerm& written) {
    const QList<Alias> named = aliases_.Named(written.value);
    if (named.isEmpty())
        return fail(written, QStringLiteral("no alias has that name"));
    QList<Term> terms;
    for (const Alias& alias : named) {
        Term term;
        term.low = term.high = alias.address;
        term.functions = alias.function;
        terms.append(term);
    }
    return terms;
}

} // namespace

Route::Parsed Route::Parse(const QString& text, const AliasBook& aliases) {
    if (text.size() > kMaxRouteLength)
        return {std::nullopt,
                QStringLiteral("a route is at most %1 characters").arg(kMaxRouteLength)};
    const SplitTerms split = SplitRoute(text);
    if (!split.problem.isEmpty())
        return {std::nullopt, split.problem};
    Route route;
    TermCompiler compiler(aliases);
    for (const WrittenTerm& written : split.terms) {
        const QList<Term> terms = compiler.compile(written);
        if (!compiler.problem().isEmpty())
            return {std::nullopt, compiler.problem()};
        auto& list = written.excluding ? route.excluding_ : route.including_;
        list.insert(list.end(), terms.begin(), terms.end());
        if (route.including_.size() + route.excluding_.size() > size_t(kMaxRouteTerms))
            return {std::nullopt, QStringLiteral("a route has at most %1 terms, aliases "
                                                 "counted by their addresses")
                                      .arg(kMaxRouteTerms)};
    }
    // The cheap comparisons first: a page is often decided before a pattern.
    const auto byCost = [](const Term& a, const Term& b) { return a.kind < b.kind; };
    std::stable_sort(route.including_.begin(), route.including_.end(), byCost);
    std::stable_sort(route.excluding_.begin(), route.excluding_.end(), byCost);
    return {std::move(route), {}};
}

Route Route::Nothing() {
    Route route;
    route.nothing_ = true;
    return route;
}

bool Route::Routes(const RoutedPage& page) const {
    if (nothing_)
        return false;
    if (!including_.empty() && !anyMatches(including_, page))
        return false;
    return !anyMatches(excluding_, page);
}

bool Route::anyMatches(const std::vector<Term>& terms, const RoutedPage& page) const {
    return std::any_of(terms.begin(), terms.end(),
                       [&page](const Term& term) { return term.Matches(page); });
}

bool Route::Term::Matches(const RoutedPage& page) const {
    const PageFacts& facts = page.Facts();
    switch (kind) {
    case Kind::Addresses: {
        const std::optional<quint32> address = page.Address();
        return address && *address >= low && *address <= high &&
               (functions.isEmpty() || facts.function == functions);
    }
    case Kind::Functions:
        return facts.function.size() == 1 && value.contains(facts.function.front());
    case Kind::Frequency:
        return facts.frequency == value;
    case Kind::Rate:
        return facts.rate == value;
    case Kind::Type:
        return facts.type.compare(value, Qt::CaseInsensitive) == 0;
    case Kind::Word:
        return HasWord(page.FoldedText(), value);
    case Kind::Pattern:
        return expression
            .match(page.Text(), 0, QRegularExpression::NormalMatch,
                   QRegularExpression::DontCheckSubjectStringMatchOption)
            .hasMatch();
    }
    return false;
}

} // namespace routing
