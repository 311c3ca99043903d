#pragma once

#include <QHash>
#include <QString>
#include <variant>

namespace publish {

// Rows of the Publishers table that are used; rows after these are ignored.
constexpr int kMaxPublishers = 10;
constexpr int kDefaultPort = 1883;
constexpr int kDefaultQoS = 1;

// One row of the Publishers table, checked.
struct PublisherConfig {
    QString description;
    QString host;
    int port = kDefaultPort;
    QString topic; // without a trailing '/'
    int qos = kDefaultQoS;
    bool active = false;
    QString username;
    QString password;
    QString caFile; // empty: plain TCP; else the CA certificates (PEM) for TLS
    QString route;  // which pages it publishes, as written; empty: every page

    // The destination of its pages in the delayed store.
    QString Destination() const { return QStringLiteral("MQTT ") + description; }
    bool operator==(const PublisherConfig&) const = default;
};

// A row as read: column name to text.
using PublisherRow = QHash<QString, QString>;

// The row checked, or the reason it cannot be used. A relative CAFile is
// taken inside `baseFolder`. The password is never part of a reason.
std::variant<PublisherConfig, QString> ReadPublisherRow(const PublisherRow& row,
                                                        const QString& baseFolder);

} // namespace publish
