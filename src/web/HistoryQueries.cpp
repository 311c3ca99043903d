#include "web/HistoryQueries.h"

#include <QRegularExpression>

namespace web {

namespace {

// A pager address has at most seven digits; a range is two of them.
const QRegularExpression kAddress(QStringLiteral("^([0-9]{1,7})(?:-([0-9]{1,7}))?$"));
const QLatin1String kPagePath("/api/history/");
// Ids fit a qint64 with room to spare.
constexpr qint64 kMaxId = qint64(1) << 62;
constexpr int kMaxIdDigits = 18;
// Far beyond a real search, well within what the full-text index takes.
constexpr qsizetype kMaxTextChars = history::kMaxSearchTextLength;
constexpr qsizetype kMaxCarrierChars = 255;

void ReadAddress(QueryParams& params, history::PageQuery& query) {
    const QString text = params.Text("address", kMaxTextChars);
    if (text.isEmpty())
        return;
    const QRegularExpressionMatch match = kAddress.match(text);
    if (!match.hasMatch()) {
        params.Refuse(QStringLiteral("address is a pager address in digits, or a range of two "
                                     "(1234567 or 1234000-1234999)"));
        return;
    }
    query.addressFrom = match.captured(1).toLongLong();
    query.addressTo = match.hasCaptured(2) ? match.captured(2).toLongLong() : *query.addressFrom;
    if (*query.addressFrom > *query.addressTo)
        params.Refuse(QStringLiteral("address: the range's first address is above its last"));
}

// One of WORDS (a letter each), in capitals; "" for any.
QString OneOf(QueryParams& params, const char* key, const QString& letters, const QString& why) {
    QString text = params.Text(key, kMaxTextChars).toUpper();
    if (text.isEmpty() || (text.size() == 1 && letters.contains(text)))
        return text;
    params.Refuse(why);
    return {};
}

struct Range {
    std::optional<qint64> fromMs;
    std::optional<qint64> toMs;
};

Range ReadRange(QueryParams& params) {
    const std::optional<QDateTime> from = params.Time("from");
    const std::optional<QDateTime> to = params.Time("to");
    Range range;
    if (from)
        range.fromMs = from->toMSecsSinceEpoch();
    if (to)
        range.toMs = to->toMSecsSinceEpoch();
    if (range.fromMs && range.toMs && *range.fromMs > *range.toMs)
        params.Refuse(QStringLiteral("from is after to"));
    return range;
}

std::optional<qint64> ReadBefore(QueryParams& params) {
    const qint64 before = params.Number("before", 1, kMaxId, 0);
    return before > 0 ? std::optional<qint64>(before) : std::nullopt;
}

int ReadLimit(QueryParams& params) {
    return int(params.Number("limit", 1, history::kMaxSearchLimit, history::kDefaultSearchLimit));
}

} // namespace

history::PageQuery PageQueryOf(QueryParams& params) {
    history::PageQuery query;
    ReadAddress(params, query);
    query.text = params.Text("text", kMaxTextChars).trimmed();
    const Range range = ReadRange(params);
    query.fromMs = range.fromMs;
    query.toMs = range.toMs;
    query.function = OneOf(params, "function", QStringLiteral("ABCD"),
                           QStringLiteral("function is A, B, C or D"));
    query.type = OneOf(params, "type", QStringLiteral("ANT"), QStringLiteral("type is A, N or T"));
    query.carrier = params.Text("carrier", kMaxCarrierChars);
    query.before = ReadBefore(params);
    query.limit = ReadLimit(params);
    return query;
}

history::AuditQuery AuditQueryOf(QueryParams& params) {
    history::AuditQuery query;
    query.text = params.Text("text", kMaxTextChars).trimmed();
    const Range range = ReadRange(params);
    query.fromMs = range.fromMs;
    query.toMs = range.toMs;
    query.before = ReadBefore(params);
    query.limit = ReadLimit(params);
    return query;
}

std::optional<qint64> PageIdOf(const QString& path) {
    if (!path.startsWith(kPagePath))
        return std::nullopt;
    const QString id = path.mid(kPagePath.size());
    static const QRegularExpression kDigits(QStringLiteral("^[0-9]{1,%1}$").arg(kMaxIdDigits));
    if (!kDigits.match(id).hasMatch())
        return 0;
    return id.toLongLong();
}

} // namespace web
