#include "platform/MetricsText.h"

#include <cmath>

namespace platform {

namespace {

QByteArray TypeName(MetricsText::Type type) {
    switch (type) {
    case MetricsText::Type::Counter:
        return "counter";
    case MetricsText::Type::Gauge:
        return "gauge";
    case MetricsText::Type::Histogram:
        return "histogram";
    }
    return "untyped";
}

// Whole numbers (counts, ports, connected flags) are written without a fraction.
QByteArray Number(double value) {
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "+Inf" : "-Inf";
    constexpr double kExactInteger = 9007199254740992.0; // 2^53
    if (value == std::floor(value) && std::fabs(value) < kExactInteger)
        return QByteArray::number(static_cast<qint64>(value));
    return QByteArray::number(value, 'g', 17);
}

QByteArray Escaped(const QString& value, bool help) {
    QByteArray escaped;
    for (const char c : value.left(MetricsText::kLabelValueLimit).toUtf8()) {
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '\n')
            escaped += "\\n";
        else if (c == '"' && !help)
            escaped += "\\\"";
        else
            escaped += c;
    }
    return escaped;
}

} // namespace

void MetricsText::Family(const char* name, Type type, const char* help) {
    family_ = name;
    text_ += "# HELP " + family_ + ' ' + Escaped(QString::fromUtf8(help), true) + '\n';
    text_ += "# TYPE " + family_ + ' ' + TypeName(type) + '\n';
}

void MetricsText::Sample(double value, MetricLabels labels) {
    text_ += family_;
    writeLabels(labels, {});
    text_ += ' ' + Number(value) + '\n';
}

void MetricsText::Sample(const char* suffix, double value, MetricLabels labels,
                         const QByteArray& le) {
    text_ += family_ + suffix;
    writeLabels(labels, le);
    text_ += ' ' + Number(value) + '\n';
}

void MetricsText::writeLabels(MetricLabels labels, const QByteArray& le) {
    if (labels.size() == 0 && le.isEmpty())
        return;
    QByteArray written;
    for (const auto& [name, value] : labels) {
        if (!written.isEmpty())
            written += ',';
        written += QByteArray(name) + "=\"" + Escaped(value, false) + '"';
    }
    if (!le.isEmpty())
        written += QByteArray(written.isEmpty() ? "" : ",") + "le=\"" + le + '"';
    text_ += '{' + written + '}';
}

} // namespace platform
