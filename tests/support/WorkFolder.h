#pragma once

#include <QHostAddress>
#include <QList>
#include <QStringList>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QVariantList>

// A working folder in a temporary directory, made as `ombrix init` makes one,
// and read or changed behind the relay's back with plain SQL, as an operator
// or a peer would.
class WorkFolder {
public:
    explicit WorkFolder(bool demo = false);

    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }

    // Runs a statement on one of the folder's database files; fails the test on error.
    void exec(const QString& fileName, const QString& sql, const QVariantList& params = {}) const;
    QList<QVariantList> rows(const QString& fileName, const QString& sql,
                             const QVariantList& params = {}) const;

    // The Key_Data of a StartUp row; an invalid QVariant when the row is missing or null.
    QVariant setting(const QString& key) const;
    // Rows in the delayed store's Delayed table now.
    int storedPackets() const;
    // The System log as it is on disk now.
    QByteArray systemLog() const;
    void setSetting(const QString& key, const QString& value) const;
    void removeSetting(const QString& key) const;

    // Replaces the Outputs table with these (description, port text, active)
    // rows, listening on 127.0.0.1.
    struct Output {
        QString description;
        QString port;
        QString active = QStringLiteral("Y");
    };
    void setOutputs(const QList<Output>& outputs) const;

private:
    QTemporaryDir dir_;
};

// A client application on 127.0.0.1 that keeps every byte it receives.
struct LoopbackClient {
    QTcpSocket socket;
    QByteArray received;
    LoopbackClient() {
        QObject::connect(&socket, &QTcpSocket::readyRead, &socket,
                         [this] { received += socket.readAll(); });
    }
    explicit LoopbackClient(quint16 port) : LoopbackClient() { connectTo(port); }
    void connectTo(quint16 port) { socket.connectToHost(QHostAddress::LocalHost, port); }
};
