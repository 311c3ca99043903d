#include "history/OperatorAudit.h"

namespace history {

namespace {

QString Bounded(const QString& text, qsizetype maxChars) {
    QString bounded = text.left(maxChars);
    for (QChar& ch : bounded)
        if (ch.category() == QChar::Other_Control)
            ch = QLatin1Char(' ');
    return bounded;
}

} // namespace

void OperatorAudit::Record(const AuditEntry& entry) {
    trail_.Record({Bounded(entry.operatorName, kMaxNameChars),
                   Bounded(entry.address, kMaxAddressChars), entry.action,
                   Bounded(entry.detail, kMaxDetailChars)});
}

void OperatorAudit::Command(const QString& detail) {
    ++commands_;
    Record({name_, address_, QStringLiteral("command"), detail});
}

OperatorAudit::Acting::Acting(OperatorAudit& audit, const QString& name, const QString& address)
    : audit_(audit), name_(audit.name_), address_(audit.address_),
      commandsBefore_(audit.commands_) {
    audit_.name_ = name;
    audit_.address_ = address;
}

OperatorAudit::Acting::~Acting() {
    audit_.name_ = name_;
    audit_.address_ = address_;
}

} // namespace history
