#pragma once

#include "web/ConnectionBudget.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>

class QTcpServer;

namespace web {

// Holds the console's listeners to its budget of new connections. When the
// budget is spent a listener stops accepting: connections that come meanwhile
// wait in the kernel's backlog, costing the relay's thread nothing, and are
// accepted in their turn once the budget has room again (a timer set for
// that moment, or the console's tick, resumes the listener). A flood is
// thereby slowed down to the budget while a login of an operator waits a
// fraction of a second among the flooders.
class AcceptPacer : public QObject {
    Q_OBJECT
public:
    AcceptPacer(std::function<QDateTime()> now, QObject* parent = nullptr);

    // LISTENER accepted a connection: true when the budget covers it. When
    // that spent the budget, the listener accepts no further one until Resume.
    bool Accepted(QTcpServer* listener);
    // Lets the paused listeners accept again if the budget has room by now.
    void Resume();

private:
    void pause(QTcpServer* listener);

    std::function<QDateTime()> now_;
    ConnectionBudget budget_;
    QList<QPointer<QTcpServer>> paused_;
    QTimer resume_;
};

} // namespace web
