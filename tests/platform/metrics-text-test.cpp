// The text a scraper reads: families, labels that come from tables, numbers.

#include "platform/MetricsText.h"

#include <QTest>
#include <limits>

class MetricsTextTest : public QObject {
    Q_OBJECT

private slots:
    void familiesAndSamples() {
        platform::MetricsText text;
        text.Family("ombrix_output_connected", platform::MetricsText::Type::Gauge,
                    "Whether a client is connected to the output");
        text.Sample(1, {{"output", QStringLiteral("Dispatch A")}});
        text.Sample(0, {{"output", QStringLiteral("Dispatch B")}});
        text.Family("ombrix_idle_messages_total", platform::MetricsText::Type::Counter,
                    "Idle messages sent");
        text.Sample(12345678901.0);
        QCOMPARE(text.Text(), QByteArray("# HELP ombrix_output_connected Whether a client is "
                                         "connected to the output\n"
                                         "# TYPE ombrix_output_connected gauge\n"
                                         "ombrix_output_connected{output=\"Dispatch A\"} 1\n"
                                         "ombrix_output_connected{output=\"Dispatch B\"} 0\n"
                                         "# HELP ombrix_idle_messages_total Idle messages sent\n"
                                         "# TYPE ombrix_idle_messages_total counter\n"
                                         "ombrix_idle_messages_total 12345678901\n"));
    }

    void histogramLines() {
        platform::MetricsText text;
        text.Family("ombrix_dispatch_seconds", platform::MetricsText::Type::Histogram, "Latency");
        text.Sample("_bucket", 3, {}, "0.0001");
        text.Sample("_bucket", 4, {}, "+Inf");
        text.Sample("_sum", 0.00125);
        text.Sample("_count", 4);
        QCOMPARE(text.Text(), QByteArray("# HELP ombrix_dispatch_seconds Latency\n"
                                         "# TYPE ombrix_dispatch_seconds histogram\n"
                                         "ombrix_dispatch_seconds_bucket{le=\"0.0001\"} 3\n"
                                         "ombrix_dispatch_seconds_bucket{le=\"+Inf\"} 4\n"
                                         "ombrix_dispatch_seconds_sum 0.00125\n"
                                         "ombrix_dispatch_seconds_count 4\n"));
    }

    // A Description is whatever an operator typed: it must not end the label
    // early, break the line, or grow the answer without end.
    void hostileLabelValues() {
        platform::MetricsText text;
        text.Family("m", platform::MetricsText::Type::Gauge, "a \\ help\nline");
        text.Sample(std::numeric_limits<double>::infinity(),
                    {{"output", QStringLiteral("a\"b\\c\nd")}, {"rate", QStringLiteral("1200")}});
        text.Sample(0.5, {{"output", QString(1000, QLatin1Char('x'))}});
        const QList<QByteArray> lines = text.Text().split('\n');
        QCOMPARE(lines[0], QByteArray("# HELP m a \\\\ help\\nline"));
        QCOMPARE(lines[2], QByteArray("m{output=\"a\\\"b\\\\c\\nd\",rate=\"1200\"} +Inf"));
        QCOMPARE(lines[3], "m{output=\"" +
                               QByteArray(platform::MetricsText::kLabelValueLimit, 'x') +
                               "\"} 0.5");
    }
};

QTEST_GUILESS_MAIN(MetricsTextTest)
#include "metrics-text-test.moc"
