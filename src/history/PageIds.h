#pragma once

#include "history/HistorySql.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

namespace history {

// Page IDs, newest first, a chunk at a time; an empty chunk: no more.
class PageIds {
public:
    virtual ~PageIds() = default;
    virtual QList<qint64> Next(int count) = 0;
};

// The pages of one address or a range of addresses, from the (Address, ID)
// index alone: one address is read in ID order straight off the index; a
// range is a sort of its index entries, so it is used for ranges with few
// pages (see FewPagesIn).
class AddressIds final : public PageIds {
public:
    AddressIds(const QSqlDatabase& db, qint64 from, qint64 to, const IdWindow& window);
    QList<qint64> Next(int count) override;

private:
    QSqlDatabase db_;
    qint64 from_;
    qint64 to_;
    IdWindow window_;
    bool done_ = false;
};

// Whether the addresses from..to have at most `rows` pages in all: counted on
// the index, never more than rows + 1 entries read.
bool FewPagesIn(const QSqlDatabase& db, qint64 from, qint64 to, int rows);

// The pages of `addresses` whose text matches a full-text query: each
// address ID is looked for among the text index's IDs at or below it, which
// are read a chunk at a time and walked down beside the addresses', so that
// neither side is read further than the other needs.
class MatchingIds final : public PageIds {
public:
    MatchingIds(const QSqlDatabase& db, PageIds& addresses, const QString& text,
                const IdWindow& window);
    QList<qint64> Next(int count) override;

private:
    bool NextCandidate(qint64& id);
    bool Covered(qint64 id);
    void ReadMatchesFrom(qint64 id);

    QSqlDatabase db_;
    PageIds& addresses_;
    QString text_;
    IdWindow window_;
    QList<qint64> candidates_;
    qsizetype candidate_ = 0;
    int candidateChunk_;
    QList<qint64>
        matches_; // text index IDs, newest first, every one in [matchesLow_, matchesHigh_]
    qsizetype match_ = 0;
    qint64 matchesLow_ = 0;
    qint64 matchesHigh_ = -1;
    bool noMoreMatches_ = false;
    bool done_ = false;
};

} // namespace history
