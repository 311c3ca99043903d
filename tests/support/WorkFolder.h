#pragma once

#include "app/System.h"
#include "platform/Clock.h"

#include <QList>
#include <QStringList>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QVariantList>
#include <memory>

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

// Lets the sockets' events run until the client is connected and output
// `index` of the relay has accepted it, then runs the outputs' heartbeat.
bool AcceptedOnOutput(System& system, LoopbackClient& client, int index);

// A System on a work folder, driven by a fake clock, with the warnings and
// message boxes it raises collected for the test to read.
class TestSystem {
public:
    explicit TestSystem(const QString& workDir, SystemOptions options = {});

    platform::FakeClock clock;
    std::unique_ptr<System> system;

    struct Warning {
        int number;
        QString text;
        int socket;
    };
    QList<Warning> warnings;
    QStringList messageBoxes;

    System* operator->() { return system.get(); }
    QList<int> warningNumbers() const;
};
