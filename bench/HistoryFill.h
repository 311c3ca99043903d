#pragma once

// Fills a history.mdb with generated pages as fast as SQLite takes them: one
// transaction per batch, prepared statements, no journal (a fill that dies is
// started again where its last batch ended, or the file removed).

#include "HistoryFile.h"
#include "HistoryPages.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <cstdio>

namespace bench {

constexpr int kFillBatch = 20000;
constexpr int kFillCacheKiB = 400 * 1024; // the address index stays in memory while it grows
constexpr int kProgressEvery = 500000;

class HistoryFill {
public:
    explicit HistoryFill(const QSqlDatabase& db)
        : db_(db), pages_(db), text_(db), trail_(db), copies_(db) {
        Prepare(pages_, "INSERT INTO Pages (ID, Time, Offset, Carrier, Rate, Frequency, Function, "
                        "Address, Type, Text, Packet) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        Prepare(text_, "INSERT INTO PageText (rowid, Text) VALUES (?, ?)");
        Prepare(trail_, "INSERT INTO Trail (PageID, Destination, Event, Time, Offset, MessID) "
                        "VALUES (?, ?, ?, ?, ?, ?)");
        Prepare(copies_, "INSERT INTO Copies (MessID, PageID, Destination) VALUES (?, ?, ?)");
    }

    void Add(const GeneratedPage& page) {
        const QString text = QString::fromLatin1(page.text);
        Run(pages_, {page.id, page.timeMs, kOffsetMinutes, page.carrier, page.rate, page.frequency,
                     page.function, page.address, page.type, text, page.packet});
        Run(text_, {page.id, text});
        for (const GeneratedTrail& row : page.trail) {
            Run(trail_, {page.id, row.destination, row.event, row.timeMs, kOffsetMinutes,
                         row.messID ? QVariant(row.messID) : QVariant()});
            if (row.event == QLatin1String("stored"))
                Run(copies_, {row.messID, page.id, row.destination});
        }
    }

private:
    static void Prepare(QSqlQuery& query, const char* sql) {
        if (!query.prepare(QString::fromLatin1(sql)))
            throw std::runtime_error(query.lastError().text().toStdString());
    }
    static void Run(QSqlQuery& query, const QVariantList& values) {
        for (int i = 0; i < values.size(); ++i)
            query.bindValue(i, values[i]);
        if (!query.exec())
            throw std::runtime_error(query.lastError().text().toStdString());
    }

    QSqlDatabase db_;
    QSqlQuery pages_;
    QSqlQuery text_;
    QSqlQuery trail_;
    QSqlQuery copies_;
};

inline qint64 HighestPage(const QSqlDatabase& db) {
    QSqlQuery query = RunHistorySql(db, QStringLiteral("SELECT coalesce(max(ID), 0) FROM Pages"));
    return query.next() ? query.value(0).toLongLong() : 0;
}

// Fills `path` up to `pages` pages, going on from the pages already there.
// Returns the seconds it took.
inline double FillHistory(const QString& path, qint64 pages) {
    const QString name = QStringLiteral("history-fill");
    QElapsedTimer timer;
    timer.start();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open())
            throw std::runtime_error(db.lastError().text().toStdString());
        RunHistorySql(db, QStringLiteral("PRAGMA journal_mode = OFF"));
        RunHistorySql(db, QStringLiteral("PRAGMA synchronous = OFF"));
        RunHistorySql(db, QStringLiteral("PRAGMA cache_size = -%1").arg(kFillCacheKiB));
        RunHistorySql(db, QStringLiteral("PRAGMA temp_store = MEMORY"));
        CreateHistoryTables(db);
        qint64 id = HighestPage(db) + 1;
        const qint64 first = id;
        {
            HistoryFill fill(db);
            while (id <= pages) {
                db.transaction();
                for (int i = 0; i < kFillBatch && id <= pages; ++i, ++id)
                    fill.Add(MakePage(id, pages));
                if (!db.commit())
                    throw std::runtime_error(db.lastError().text().toStdString());
                if ((id - 1) % kProgressEvery < kFillBatch) {
                    std::printf("  %lld pages, %.0f pages/s\n", static_cast<long long>(id - 1),
                                double(id - first) / (double(timer.elapsed()) / 1000.0 + 1e-9));
                    std::fflush(stdout);
                }
            }
        }
        // The relay's archive runs in WAL mode; leave the file as it would find it.
        RunHistorySql(db, QStringLiteral("PRAGMA journal_mode = WAL"));
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return double(timer.elapsed()) / 1000.0;
}

} // namespace bench
