#include "TestSystem.h"

#include <QTest>

bool AcceptedOnOutput(System& system, LoopbackClient& client, int index) {
    if (!client.socket.waitForConnected(3000))
        return false;
    if (!QTest::qWaitFor(
            [&] {
                return system.outputSockets.Socket(index).State() ==
                       platform::SocketState::Connected;
            },
            3000))
        return false;
    system.outputSockets.UpdateOutputClients();
    return true;
}

TestSystem::TestSystem(const QString& workDir, SystemOptions options) {
    options.workDir = workDir;
    options.clock = &clock;
    options.locale = QLocale::c();
    if (options.developmentMarker == SystemOptions{}.developmentMarker)
        options.developmentMarker = workDir + QStringLiteral("/no-development-marker");
    system = std::make_unique<System>(options);
    QObject::connect(system.get(), &System::warningShown,
                     [this](int number, const QString& text, int socket) {
                         warnings << Warning{number, text, socket};
                     });
    system->window.messageBoxHandler = [this](const QString& text) { messageBoxes << text; };
}

QList<int> TestSystem::warningNumbers() const {
    QList<int> numbers;
    for (const Warning& warning : warnings)
        numbers << warning.number;
    return numbers;
}
