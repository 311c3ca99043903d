#pragma once

#include <QObject>

class QSocketNotifier;

namespace platform {

// Turns SIGINT, SIGTERM and SIGHUP into a Qt signal delivered on the event loop, so the
// orderly shutdown runs on the main thread like any other handler. One per process.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void received(int signalNumber);

private:
    void drain();
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace platform
