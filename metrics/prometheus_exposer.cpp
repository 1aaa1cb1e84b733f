#include "metrics/prometheus_exposer.h"

#include <exception>
#include <limits>
#include <prometheus/collectable.h>
#include <prometheus/exposer.h>
#include <prometheus/metric_family.h>
#include <prometheus/text_serializer.h>
#include <string>
#include <utility>
#include <vector>

namespace quillon {

namespace {

using prometheus::ClientMetric;
using prometheus::MetricFamily;
using prometheus::MetricType;

// Worker threads of the HTTP server: enough that a few stalled clients leave one free for the
// next scrape; a client that sends no whole request within the timeout is dropped.
constexpr const char* kServerThreads = "8";
constexpr const char* kRequestTimeoutMs = "3000";

std::string LabelOf(int value)
{
    return value == kUnknownLabel ? std::string("unknown") : std::to_string(value);
}

std::vector<ClientMetric::Label> RowLabels(const MetricsRow& row)
{
    return {{"node", LabelOf(row.node)}, {"function", LabelOf(row.function)}};
}

MetricFamily Family(const char* name, const char* help, MetricType type)
{
    return MetricFamily{name, help, type, {}};
}

void AddCounter(MetricFamily& family, std::vector<ClientMetric::Label> labels, double value)
{
    ClientMetric metric;
    metric.label = std::move(labels);
    metric.counter.value = value;
    family.metric.push_back(std::move(metric));
}

void AddGauge(MetricFamily& family, std::vector<ClientMetric::Label> labels, double value)
{
    ClientMetric metric;
    metric.label = std::move(labels);
    metric.gauge.value = value;
    family.metric.push_back(std::move(metric));
}

ClientMetric::Histogram HistogramOf(const MetricsRow& row)
{
    ClientMetric::Histogram histogram;
    std::uint64_t below = 0;
    for (std::size_t i = 0; i < kResponseBoundsUs.size(); ++i) {
        below += row.responses[i];
        histogram.bucket.push_back({below, static_cast<double>(kResponseBoundsUs[i]) / 1e6});
    }
    histogram.sample_count = row.ResponseCount();
    histogram.bucket.push_back({histogram.sample_count, std::numeric_limits<double>::infinity()});
    histogram.sample_sum = static_cast<double>(row.responseSumUs) / 1e6;
    return histogram;
}

std::vector<MetricFamily> FamiliesOf(const MetricsSnapshot& snapshot)
{
    static constexpr const char* kTags[] = {"query", "response", "unknown"};
    MetricFamily frames = Family("quillon_frames_total", "Frames listed, by node, function and tag",
                                 MetricType::Counter);
    MetricFamily crc =
        Family("quillon_crc_errors_total", "Frames listed as CRC errors", MetricType::Counter);
    MetricFamily exceptions = Family("quillon_exceptions_total",
                                     "Exception responses to a waiting query", MetricType::Counter);
    MetricFamily timeouts =
        Family("quillon_timeouts_total", "Queries that got no answer", MetricType::Counter);
    MetricFamily times =
        Family("quillon_response_time_seconds",
               "From a query's last byte to its normal answer's first byte", MetricType::Histogram);
    for (const MetricsRow& row : snapshot.rows) {
        for (std::size_t tag = 0; tag < row.frames.size(); ++tag) {
            if (row.frames[tag] == 0)
                continue;
            auto labels = RowLabels(row);
            labels.push_back({"tag", kTags[tag]});
            AddCounter(frames, std::move(labels), static_cast<double>(row.frames[tag]));
        }
        AddCounter(crc, RowLabels(row), static_cast<double>(row.crcErrors));
        AddCounter(exceptions, RowLabels(row), static_cast<double>(row.exceptions));
        AddCounter(timeouts, RowLabels(row), static_cast<double>(row.timeouts));
        if (row.node != kUnknownLabel && row.function != kUnknownLabel) {
            ClientMetric metric;
            metric.label = RowLabels(row);
            metric.histogram = HistogramOf(row);
            times.metric.push_back(std::move(metric));
        }
    }
    std::vector<MetricFamily> families{frames, crc, exceptions, timeouts, times};

    if (snapshot.busLoadRatio >= 0) {
        MetricFamily load = Family("quillon_bus_load_ratio",
                                   "Share of the line's capacity the frames took since the start",
                                   MetricType::Gauge);
        AddGauge(load, {}, snapshot.busLoadRatio);
        families.push_back(std::move(load));
    }
    if (snapshot.uartErrors) {
        MetricFamily uart = Family("quillon_uart_errors_total",
                                   "Receive errors the serial driver counted", MetricType::Counter);
        const UartErrorCounts& counts = *snapshot.uartErrors;
        for (const auto& [kind, count] : {std::pair{"parity", counts.parity},
                                          {"framing", counts.framing},
                                          {"overrun", counts.overrun},
                                          {"break", counts.breaks}})
            AddCounter(uart, {{"kind", kind}}, static_cast<double>(count));
        families.push_back(std::move(uart));
    }
    if (!snapshot.points.empty()) {
        MetricFamily values =
            Family("quillon_register_value",
                   "The value the line last carried for a register map point", MetricType::Gauge);
        for (const PointGauge& point : snapshot.points) {
            AddGauge(values,
                     {{"node", std::to_string(point.node)},
                      {"table", RegisterTableName(point.table)},
                      {"address", std::to_string(point.address)},
                      {"name", point.name},
                      {"unit", point.unit}},
                     point.value);
        }
        families.push_back(std::move(values));
    }
    return families;
}

} // namespace

std::string MetricsText(const MetricsSnapshot& snapshot)
{
    return prometheus::TextSerializer().Serialize(FamiliesOf(snapshot));
}

// Hands the exposer the last published snapshot at each scrape.
class PrometheusExposer::Collector final : public prometheus::Collectable
{
public:
    explicit Collector(const LineMetrics& metrics) : m_metrics(metrics) {}
    std::vector<MetricFamily> Collect() const override { return FamiliesOf(m_metrics.Published()); }

private:
    const LineMetrics& m_metrics;
};

PrometheusExposer::Started PrometheusExposer::Start(const std::string& address,
                                                    const LineMetrics& metrics)
{
    Started started;
    std::unique_ptr<PrometheusExposer> exposer(new PrometheusExposer());
    try {
        exposer->m_exposer = std::make_unique<prometheus::Exposer>(
            std::vector<std::string>{"listening_ports", address, "num_threads", kServerThreads,
                                     "request_timeout_ms", kRequestTimeoutMs});
    } catch (const std::exception& error) {
        started.error = "cannot serve metrics at " + address + ": " + error.what();
        return started;
    }
    exposer->m_collector = std::make_shared<Collector>(metrics);
    exposer->m_exposer->RegisterCollectable(exposer->m_collector);
    started.exposer = std::move(exposer);
    return started;
}

PrometheusExposer::~PrometheusExposer() = default;

int PrometheusExposer::Port() const
{
    const std::vector<int> ports = m_exposer->GetListeningPorts();
    return ports.empty() ? 0 : ports.front();
}

} // namespace quillon
