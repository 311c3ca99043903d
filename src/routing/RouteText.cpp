#include "routing/RouteText.h"

namespace routing {

namespace {

bool IsSeparator(QChar c) {
    return c.isSpace() || c == QLatin1Char(',');
}

// Reads the written route from `at` on; every reader leaves `at` after what it took.
class RouteReader {
public:
    explicit RouteReader(const QString& text) : text_(text) {}

    bool atEnd() { return skipSeparators() >= text_.size(); }
    WrittenTerm term();
    const QString& problem() const { return problem_; }

private:
    qsizetype skipSeparators() {
        while (at_ < text_.size() && IsSeparator(text_[at_]))
            ++at_;
        return at_;
    }
    QString word() {
        const qsizetype from = at_;
        while (at_ < text_.size() && !IsSeparator(text_[at_]))
            ++at_;
        return text_.mid(from, at_ - from);
    }
    QString key();
    bool delimited(QChar end, bool keepEscapes, QString& value);
    void fail(const QString& problem) {
        if (problem_.isEmpty())
            problem_ = problem;
    }

    const QString& text_;
    qsizetype at_ = 0;
    QString problem_;
};

// The letters before a ':', when the term starts so; else nothing is taken.
QString RouteReader::key() {
    qsizetype end = at_;
    while (end < text_.size() && text_[end].isLetter())
        ++end;
    if (end == at_ || end >= text_.size() || text_[end] != QLatin1Char(':'))
        return {};
    QString key = text_.mid(at_, end - at_).toLower();
    at_ = end + 1;
    return key;
}

// The text up to the next `end` not escaped by a backslash. A quoted value
// loses its escapes; a pattern keeps them, they are the pattern's own.
bool RouteReader::delimited(QChar end, bool keepEscapes, QString& value) {
    ++at_; // the opening delimiter
    while (at_ < text_.size()) {
        const QChar c = text_[at_++];
        if (c == end)
            return true;
        if (c == QLatin1Char('\\') && at_ < text_.size()) {
            if (keepEscapes && text_[at_] != end)
                value += c;
            value += text_[at_++];
            continue;
        }
        value += c;
    }
    return false;
}

WrittenTerm RouteReader::term() {
    const qsizetype from = at_;
    WrittenTerm term;
    if (text_[at_] == QLatin1Char('!')) {
        term.excluding = true;
        ++at_;
    }
    term.key = key();
    const bool quotable = term.key == QLatin1String("text") || term.key == QLatin1String("alias");
    const bool pattern = term.key == QLatin1String("re");
    if (quotable && at_ < text_.size() && text_[at_] == QLatin1Char('"')) {
        if (!delimited(QLatin1Char('"'), false, term.value))
            fail(QStringLiteral("a quote opened at \"%1\" is not closed").arg(text_.mid(from)));
    } else if (pattern && at_ < text_.size() && text_[at_] == QLatin1Char('/')) {
        if (!delimited(QLatin1Char('/'), true, term.value))
            fail(QStringLiteral("the pattern at \"%1\" has no closing '/'").arg(text_.mid(from)));
        term.flags = word();
    } else {
        term.value = word();
    }
    if (at_ < text_.size() && !IsSeparator(text_[at_])) {
        const QString taken = text_.mid(from, at_ - from);
        fail(QStringLiteral("\"%1\" runs into \"%2\": terms are separated by blanks or commas")
                 .arg(taken, word()));
    }
    term.written = text_.mid(from, at_ - from);
    return term;
}

} // namespace

SplitTerms SplitRoute(const QString& text) {
    SplitTerms split;
    RouteReader reader(text);
    while (!reader.atEnd() && reader.problem().isEmpty())
        split.terms.append(reader.term());
    split.problem = reader.problem();
    return split;
}

} // namespace routing
