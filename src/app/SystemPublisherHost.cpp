#include "app/SystemPublisherHost.h"

#include "app/System.h"
#include "platform/Error.h"

QDateTime SystemPublisherHost::Now() const {
    return sys_.Now();
}

QString SystemPublisherHost::ServerID() const {
    return sys_.gServerID;
}

void SystemPublisherHost::LogOutput(const QString& line) {
    sys_.logs.LogOutput(line);
}

void SystemPublisherHost::ShowWarning(publish::PublishWarning site, const QString& text,
                                      int index) {
    sys_.ShowWarning(site == publish::PublishWarning::Connect ? ErrorCode::ConnectPublisher
                                                              : ErrorCode::LoadPublishers,
                     text, index);
}

QList<QList<publish::StoredPage>>
SystemPublisherHost::StorePages(const QStringList& destinations,
                                const QList<publish::StoredPage>& pages) {
    QList<DelayedRecord> rows;
    QList<QList<publish::StoredPage>> stored;
    qint64 messID = sys_.delayedDb.gMessID;
    for (const QString& destination : destinations) {
        QList<publish::StoredPage> forDestination;
        for (const publish::StoredPage& page : pages) {
            DelayedRecord row;
            row.MessID = messID++;
            row.Destination = destination;
            row.Packet = page.packet;
            row.Created = page.created.toString(Qt::ISODateWithMs);
            rows << row;
            forDestination << publish::StoredPage{row.MessID, page.created, page.packet};
        }
        stored << forDestination;
    }
    if (!sys_.delayedDb.AddDelayedRows(rows)) {
        // Not stored (warning 402 said why): the pages go out now or not at all.
        for (auto& forDestination : stored)
            for (publish::StoredPage& page : forDestination)
                page.messID = 0;
        return stored;
    }
    // The rows are in the store: their identifiers are used, whatever fails after.
    sys_.delayedDb.gMessID = messID;
    sys_.db.SetStartUpKey(QStringLiteral("MessID"), QString::number(sys_.delayedDb.gMessID));
    return stored;
}

void SystemPublisherHost::DeleteStored(const QString& destination, const QList<qint64>& messIDs) {
    sys_.delayedDb.DeleteDelayedRows(destination, messIDs);
}

QList<publish::StoredPage> SystemPublisherHost::StoredPages(const QString& destination,
                                                            qint64 afterMessID, int limit) {
    QList<publish::StoredPage> pages;
    try {
        for (const DelayedRecord& row : sys_.delayedDb.StoredAfter(destination, afterMessID, limit))
            pages << publish::StoredPage{
                row.MessID, QDateTime::fromString(row.Created, Qt::ISODateWithMs), row.Packet};
    } catch (const platform::Error& error) {
        sys_.ShowWarning(ErrorCode::DelayedList, error.text(), 0);
    }
    return pages;
}
