#pragma once

#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QString>

// The addresses an output's client may connect from: the AllowFrom column of
// the Outputs table, addresses and ranges ("127.0.0.1, 10.1.0.0/16 ::1")
// separated by blanks or commas.
class AllowFrom {
public:
    // Raises platform::Error naming the first entry that is no address or
    // range, and the output it belongs to.
    static AllowFrom Parse(const QString& text, const QString& description);

    // An empty list lets anyone connect, as before the column existed.
    bool Allows(const QHostAddress& peer) const;

private:
    QList<QPair<QHostAddress, int>> ranges_;
};
