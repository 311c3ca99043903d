#pragma once

#include "TestPorts.h"
#include "TestSystem.h"

#include <QDateTime>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <array>
#include <memory>

// The relay on a work folder with a loopback carrier, two outputs and the
// monitoring listener, each on a port of the test's block. The relay starts
// at start(), on the fake clock set to `startAt`.
struct CarrierSite {
    WorkFolder folder;
    QTcpServer carrier;
    QTcpSocket* feed = nullptr;
    std::array<quint16, 2> outputPorts{TestPort(), TestPort()};
    quint16 monitorPort = TestPort();
    std::unique_ptr<TestSystem> t;

    CarrierSite(const QString& firstOutput, const QString& secondOutput) {
        carrier.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&carrier, &QTcpServer::newConnection,
                         [this] { feed = carrier.nextPendingConnection(); });
        folder.setOutputs({{firstOutput, QString::number(outputPorts[0])},
                           {secondOutput, QString::number(outputPorts[1])}});
        folder.setSetting(QStringLiteral("LastBackUp"), QStringLiteral("15 Jan 2026 09:00:00"));
        folder.setSetting(QStringLiteral("MonitorPort"), QString::number(monitorPort));
        folder.exec(
            QStringLiteral("Ombrixsys.mdb"),
            QStringLiteral(
                "INSERT INTO Telstra (Description, Port, Active) VALUES ('Carrier', ?, 'Y')"),
            {QString::number(carrier.serverPort())});
    }

    // True once the relay runs and its carrier connection is made.
    bool start(const QDateTime& startAt) {
        t = std::make_unique<TestSystem>(folder.path());
        t->clock.set(startAt);
        if (!sys().Form_Load())
            return false;
        sys().StartMonitor();
        heartbeat();
        return QTest::qWaitFor([this] { return feed != nullptr; }, 3000);
    }
    System& sys() { return *t->system; }
    // Five seconds on the clock and the sockets' tick, which connects the carrier.
    void heartbeat() {
        t->clock.advanceSecs(5);
        sys().tmrSockets_Timer();
    }
    bool connect(LoopbackClient& client, quint16 port, int index) {
        client.connectTo(port);
        return AcceptedOnOutput(sys(), client, index);
    }
};
