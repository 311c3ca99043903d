#pragma once

#include <QObject>
#include <QString>
#include <QThreadPool>
#include <functional>

namespace web {

// Password checks of console logins, off the relay's thread. A check is a
// key derivation of about 200 ms: on the relay's one thread a flood of
// logins would hold every page. Here they run on a small pool of low-priority
// threads that share nothing with the relay (the stored hash and the
// password go in by value, a yes or no comes back), and the answer is handed
// back on the relay's event loop. Only a few run at once for the whole
// console, so that a flood costs a bounded share of the machine.
class LoginChecks : public QObject {
    Q_OBJECT
public:
    static constexpr int kThreads = 2;
    static constexpr int kMaxInFlight = 4;
    // Below the relay's own priority (a nice value), so that pages win over logins.
    static constexpr int kNice = 10;

    explicit LoginChecks(QObject* parent = nullptr);
    ~LoginChecks() override;

    // Starts checking PASSWORD against STORED; DONE gets the answer later, on
    // this object's thread. False, at once and without hashing, when
    // kMaxInFlight checks are already running.
    bool Start(const QString& stored, const QString& password, std::function<void(bool)> done);
    int InFlight() const { return inFlight_; }

private:
    QThreadPool pool_;
    int inFlight_ = 0;
};

} // namespace web
