#include "publish/PublisherConfig.h"

#include <QDir>
#include <mosquitto.h>

namespace publish {

namespace {

constexpr int kHighestPort = 65535;
constexpr int kHighestQoS = 2;

QString Column(const PublisherRow& row, const char* name) {
    return row.value(QLatin1String(name)).trimmed();
}

} // namespace

std::variant<PublisherConfig, QString> ReadPublisherRow(const PublisherRow& row,
                                                        const QString& baseFolder) {
    PublisherConfig c;
    c.description = row.value(QStringLiteral("Description"));
    if (c.description.trimmed().isEmpty())
        return QStringLiteral("a row of the Publishers table has no Description; it is not used");
    const QString named = QStringLiteral("MQTT %1: ").arg(c.description);
    c.host = Column(row, "Host");
    if (c.host.isEmpty())
        return named + QStringLiteral("the Host is empty; the row is not used");

    const QString port = Column(row, "Port");
    bool ok = true;
    if (!port.isEmpty())
        c.port = port.toInt(&ok);
    if (!ok || c.port < 1 || c.port > kHighestPort)
        return named + QStringLiteral("the Port \"%1\" is not a port number (1 to %2); the row is "
                                      "not used")
                           .arg(port)
                           .arg(kHighestPort);

    c.topic = Column(row, "Topic");
    while (c.topic.endsWith(QLatin1Char('/')))
        c.topic.chop(1);
    if (c.topic.isEmpty())
        return named + QStringLiteral("the Topic is empty; the row is not used");
    if (mosquitto_pub_topic_check(c.topic.toUtf8().constData()) != MOSQ_ERR_SUCCESS)
        return named + QStringLiteral("the Topic \"%1\" holds a wildcard (+ or #); the row is "
                                      "not used")
                           .arg(c.topic);

    const QString qos = Column(row, "QoS");
    if (!qos.isEmpty())
        c.qos = qos.toInt(&ok);
    if (!ok || c.qos < 0 || c.qos > kHighestQoS)
        return named +
               QStringLiteral("the QoS \"%1\" is not 0, 1 or 2; the row is not used").arg(qos);

    const QString active = Column(row, "Active");
    c.active = !active.isEmpty() && active.at(0).toUpper() == QLatin1Char('Y');
    c.username = row.value(QStringLiteral("Username"));
    c.password = row.value(QStringLiteral("Password"));
    c.route = row.value(QStringLiteral("Route"));
    const QString caFile = Column(row, "CAFile");
    if (!caFile.isEmpty())
        c.caFile = QDir(baseFolder).absoluteFilePath(QDir::fromNativeSeparators(caFile));
    return c;
}

} // namespace publish
