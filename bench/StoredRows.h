#pragma once

// What the store benchmarks share: a backlog written straight into a work
// folder's delayed.mdb, and the median of their timings.

#include "WorkFolder.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <algorithm>
#include <functional>
#include <vector>

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// ROWS stored packets, a millisecond apart from 1 Jan 2026, row I for
// DESTINATION(I), each PACKET, in one transaction.
inline void FillDelayed(WorkFolder& folder, int rows,
                        const std::function<QString(int)>& destination, const QByteArray& packet) {
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
        db.setDatabaseName(folder.file(QStringLiteral("delayed.mdb")));
        db.open();
        db.transaction();
        QSqlQuery insert(db);
        insert.prepare(QStringLiteral("INSERT INTO Delayed VALUES (?, ?, ?, ?)"));
        const QDateTime base(QDate(2026, 1, 1), QTime(0, 0));
        for (int i = 0; i < rows; ++i) {
            insert.addBindValue(2000000 + i);
            insert.addBindValue(base.addMSecs(i).toString(Qt::ISODateWithMs));
            insert.addBindValue(destination(i));
            insert.addBindValue(packet);
            insert.exec();
        }
        db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
}
