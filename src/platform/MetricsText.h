#pragma once

#include <QByteArray>
#include <QString>
#include <initializer_list>
#include <utility>

namespace platform {

// Label names and values of one sample. Values come from tables (an output's
// Description) and are escaped and bounded when written.
using MetricLabels = std::initializer_list<std::pair<const char*, QString>>;

// Metrics in the Prometheus text exposition format, version 0.0.4: each family
// is begun once, with its HELP and TYPE lines, and its samples follow it.
class MetricsText {
public:
    enum class Type { Counter, Gauge, Histogram };

    // Begins the family `name`; the samples written next belong to it.
    void Family(const char* name, Type type, const char* help);
    // A sample of the family begun last.
    void Sample(double value, MetricLabels labels = {});
    // A histogram's sample: `suffix` is "_bucket", "_sum" or "_count".
    void Sample(const char* suffix, double value, MetricLabels labels = {},
                const QByteArray& le = {});

    const QByteArray& Text() const { return text_; }

    static constexpr const char* kContentType = "text/plain; version=0.0.4; charset=utf-8";
    // A label value longer than this is cut: a table cell must not grow a scrape without end.
    static constexpr int kLabelValueLimit = 200;

private:
    void writeLabels(MetricLabels labels, const QByteArray& le);
    QByteArray family_;
    QByteArray text_;
};

// A module that has figures to show writes its own families into a scrape.
class MetricsSource {
public:
    virtual ~MetricsSource() = default;
    virtual void WriteMetrics(MetricsText& text) const = 0;
};

} // namespace platform
