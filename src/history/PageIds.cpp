#include "history/PageIds.h"

#include <algorithm>

namespace history {

namespace {

// Address IDs taken at a time by MatchingIds: the first few, then more.
constexpr int kFirstCandidates = 256;
constexpr int kMostCandidates = 16384;
// Text index IDs read at a time below a candidate.
constexpr int kMatchChunk = 128;

} // namespace

AddressIds::AddressIds(const QSqlDatabase& db, qint64 from, qint64 to, const IdWindow& window)
    : db_(db), from_(from), to_(to), window_(window) {}

QList<qint64> AddressIds::Next(int count) {
    QList<qint64> ids;
    if (done_ || window_.Empty())
        return ids;
    // One address reads its entries in ID order; a range sorts its entries' IDs.
    const bool one = from_ == to_;
    QVariantList values = {from_};
    if (!one)
        values << to_;
    values << window_.low << window_.high << count;
    QSqlQuery query = Read(
        db_,
        QStringLiteral("SELECT ID FROM Pages INDEXED BY Pages_Address WHERE "
                       "%1 AND ID >= ? AND ID < ? ORDER BY ID DESC LIMIT ?")
            .arg(one ? QStringLiteral("Address = ?") : QStringLiteral("Address BETWEEN ? AND ?")),
        values);
    while (NextRow(query))
        ids << query.value(0).toLongLong();
    done_ = ids.size() < count;
    if (!ids.isEmpty())
        window_.high = ids.last();
    return ids;
}

bool FewPagesIn(const QSqlDatabase& db, qint64 from, qint64 to, int rows) {
    QSqlQuery query = Read(db,
                           QStringLiteral("SELECT count(*) FROM (SELECT 1 FROM Pages INDEXED BY "
                                          "Pages_Address WHERE Address BETWEEN ? AND ? LIMIT ?)"),
                           {from, to, rows + 1});
    return NextRow(query) && query.value(0).toLongLong() <= rows;
}

MatchingIds::MatchingIds(const QSqlDatabase& db, PageIds& addresses, const QString& text,
                         const IdWindow& window)
    : db_(db), addresses_(addresses), text_(text), window_(window),
      candidateChunk_(kFirstCandidates) {}

QList<qint64> MatchingIds::Next(int count) {
    QList<qint64> ids;
    qint64 id = 0;
    while (ids.size() < count && NextCandidate(id)) {
        if (!Covered(id))
            ReadMatchesFrom(id);
        while (match_ < matches_.size() && matches_[match_] > id)
            ++match_;
        if (match_ == matches_.size() && noMoreMatches_) {
            done_ = true; // no text match is left below this candidate
            break;
        }
        if (match_ < matches_.size() && matches_[match_] == id)
            ids << id;
        ++candidate_;
    }
    return ids;
}

bool MatchingIds::NextCandidate(qint64& id) {
    if (done_)
        return false;
    if (candidate_ == candidates_.size()) {
        candidates_ = addresses_.Next(candidateChunk_);
        candidate_ = 0;
        candidateChunk_ = std::min(candidateChunk_ * 4, kMostCandidates);
        if (candidates_.isEmpty()) {
            done_ = true;
            return false;
        }
    }
    id = candidates_[candidate_];
    return true;
}

bool MatchingIds::Covered(qint64 id) {
    return id >= matchesLow_ && id <= matchesHigh_;
}

void MatchingIds::ReadMatchesFrom(qint64 id) {
    QSqlQuery query = Read(db_,
                           QStringLiteral("SELECT rowid FROM PageText WHERE PageText MATCH ? AND "
                                          "rowid >= ? AND rowid <= ? ORDER BY rowid DESC LIMIT ?"),
                           {text_, window_.low, id, kMatchChunk});
    matches_.clear();
    match_ = 0;
    while (NextRow(query))
        matches_ << query.value(0).toLongLong();
    matchesHigh_ = id;
    // A short chunk holds every match down to the window's floor.
    noMoreMatches_ = matches_.size() < kMatchChunk;
    matchesLow_ = noMoreMatches_ ? window_.low : matches_.last();
}

} // namespace history
