#pragma once

#include "publish/PublisherHost.h"

class System;

// The publishers' host in the relay: the clock, the server's name, the
// Outputs log, the warning report and the delayed store, where each page
// gets an identifier of the same series as the outputs' stored packets.
class SystemPublisherHost final : public publish::PublisherHost {
public:
    explicit SystemPublisherHost(System& system) : sys_(system) {}

    QDateTime Now() const override;
    QString ServerID() const override;
    void LogOutput(const QString& line) override;
    void ShowWarning(publish::PublishWarning site, const QString& text, int index) override;
    QList<QList<publish::StoredPage>> StorePages(const QStringList& destinations,
                                                 const QList<publish::StoredPage>& pages) override;
    void DeleteStored(const QString& destination, const QList<qint64>& messIDs) override;
    QList<publish::StoredPage> StoredPages(const QString& destination, qint64 afterMessID,
                                           int limit) override;
    void PageReached(qint64 messID, publish::PageStep step) override;
    std::optional<routing::Alias> AliasOf(const QByteArray& address,
                                          const QByteArray& function) const override;

private:
    System& sys_;
};
