#include "config/ConnectionTable.h"

// The lines are joined, not formatted: a description or value holding "%1"
// stays as it is.
QString UpdatedFieldLine(int index, const QString& description, const QString& fieldName,
                         const QString& newValue) {
    return QStringLiteral("System: Updated socket [") + QString::number(index) +
           QStringLiteral("] ") + description + QStringLiteral("    Field  [") + fieldName +
           QStringLiteral("]   To ") + newValue;
}

QString UpdatedFlagLine(int index, const QString& description, const QString& fieldName,
                        const QString& newValue) {
    return QStringLiteral("System: Updated socket [") + QString::number(index) +
           QStringLiteral("]  ") + description + QStringLiteral(" Field  [") + fieldName +
           QStringLiteral("]  To ") + newValue;
}
