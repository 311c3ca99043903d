#pragma once

#include "routing/AliasBook.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace publish {

// A page waiting in the delayed store for a broker's acknowledgement.
struct StoredPage {
    qint64 messID = 0; // 0: it could not be stored
    QDateTime created;
    QByteArray packet;
    qint64 pageID = 0; // its identifier in the relay's history (0: none)
};

// What became of a stored page at its broker.
enum class PageStep {
    Published,    // handed to the broker's connection
    Acknowledged, // acknowledged by the broker (QoS 0: written)
};

// The warnings the publishers raise.
enum class PublishWarning {
    Connect, // a broker cannot be reached, refused the login, or its CA file is bad
    Row,     // a row of the Publishers table cannot be used
};

// All the publishers need of the relay: the clock, the server's name, the
// Outputs log, warnings, and the delayed store, where each page stays until
// its broker has acknowledged it.
class PublisherHost {
public:
    virtual ~PublisherHost() = default;
    virtual QDateTime Now() const = 0;
    virtual QString ServerID() const = 0;
    virtual void LogOutput(const QString& line) = 0;
    virtual void ShowWarning(PublishWarning site, const QString& text, int index) = 0;
    // Stores each page (packet and creation time) once for each destination,
    // in one transaction. Returns, destination by destination, the pages in
    // the order given with their identifiers.
    virtual QList<QList<StoredPage>> StorePages(const QStringList& destinations,
                                                const QList<StoredPage>& pages) = 0;
    // Deletes acknowledged pages, in one transaction.
    virtual void DeleteStored(const QString& destination, const QList<qint64>& messIDs) = 0;
    // Up to `limit` stored pages of a destination after `afterMessID`, oldest first.
    virtual QList<StoredPage> StoredPages(const QString& destination, qint64 afterMessID,
                                          int limit) = 0;
    // The stored page `messID` reached `step` at its broker (for the history).
    virtual void PageReached(qint64 messID, PageStep step) = 0;
    // The name the Aliases table gives a page's address on its function.
    virtual std::optional<routing::Alias> AliasOf(const QByteArray& address,
                                                  const QByteArray& function) const {
        Q_UNUSED(address)
        Q_UNUSED(function)
        return std::nullopt;
    }
};

} // namespace publish
