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

// The pages take identifiers of the store's one series, destination after
// destination, in the order given.
QList<QList<publish::StoredPage>>
SystemPublisherHost::StorePages(const QStringList& destinations,
                                const QList<publish::StoredPage>& pages) {
    QList<DelayedRecord> rows;
    rows.reserve(destinations.size() * pages.size());
    for (const QString& destination : destinations)
        for (const publish::StoredPage& page : pages) {
            DelayedRecord row;
            row.Destination = destination;
            row.Packet = page.packet;
            row.Created = page.created.toString(Qt::ISODateWithMs);
            rows << row;
        }
    // Not stored (ErrorCode::AddDelayed said why): the pages go out now or not at all.
    const bool stored = sys_.delayedDb.StoreRows(rows);
    QList<QList<publish::StoredPage>> byDestination;
    qsizetype row = 0;
    for (qsizetype d = 0; d < destinations.size(); ++d) {
        QList<publish::StoredPage> forDestination;
        for (const publish::StoredPage& page : pages) {
            const qint64 messID = stored ? rows[row++].MessID : 0;
            // The copy joins its page's trail; later steps know only the copy.
            if (messID != 0)
                sys_.history.PageEvent(page.pageID, destinations[d], history::TrailEvent::Stored,
                                       messID);
            forDestination << publish::StoredPage{messID, page.created, page.packet, page.pageID};
        }
        byDestination << forDestination;
    }
    return byDestination;
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

void SystemPublisherHost::PageReached(qint64 messID, publish::PageStep step) {
    sys_.history.CopyEvent(messID, step == publish::PageStep::Published
                                       ? history::TrailEvent::Published
                                       : history::TrailEvent::Acknowledged);
}

std::optional<routing::Alias> SystemPublisherHost::AliasOf(const QByteArray& address,
                                                           const QByteArray& function) const {
    bool number = false;
    const uint value = address.toUInt(&number);
    return number ? sys_.db.Aliases().For(value, function) : std::nullopt;
}
