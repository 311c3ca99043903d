#include "platform/TerminationSignals.h"

#include "platform/Error.h"

#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

// A signal handler can only reach process-wide state; this pair is the one
// piece of it, written by the handler and read on the event loop.
int gSignalPipe[2] = {-1, -1};

extern "C" void OnTerminationSignal(int number) {
    const char byte = static_cast<char>(number);
    [[maybe_unused]] const ssize_t written = ::write(gSignalPipe[0], &byte, 1);
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, gSignalPipe) != 0)
        throw Error(QStringLiteral("Cannot create the signal pipe"));
    notifier_ = new QSocketNotifier(gSignalPipe[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::drain);
    struct sigaction action = {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    // The default for a hang-up is to die on the spot, without the shutdown.
    ::sigaction(SIGHUP, &action, nullptr);
}

TerminationSignals::~TerminationSignals() {
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGHUP, SIG_DFL);
    ::close(gSignalPipe[0]);
    ::close(gSignalPipe[1]);
    gSignalPipe[0] = gSignalPipe[1] = -1;
}

void TerminationSignals::drain() {
    char byte = 0;
    if (::read(gSignalPipe[1], &byte, 1) == 1)
        emit received(static_cast<unsigned char>(byte));
}

} // namespace platform
