#pragma once

#include <memory>
#include <string>

#include "analysis/line_metrics.h"

namespace prometheus {
class Exposer;
} // namespace prometheus

namespace quillon {

// The Prometheus text format of a snapshot: frames, CRC errors, exceptions, time-outs and the
// response-time histogram per node and function, the bus load, the UART errors and the map's
// register values.
[[nodiscard]] std::string MetricsText(const MetricsSnapshot& snapshot);

// Serves what a LineMetrics publishes at http://ADDRESS/metrics from the HTTP library's own
// threads; a scrape only copies the last snapshot, so it never holds up the capture.
class PrometheusExposer
{
public:
    struct Started;
    // Listens at "HOST:PORT" (port 0: any free one).
    [[nodiscard]] static Started Start(const std::string& address, const LineMetrics& metrics);

    PrometheusExposer(const PrometheusExposer&) = delete;
    PrometheusExposer& operator=(const PrometheusExposer&) = delete;
    ~PrometheusExposer();

    // The port it listens on.
    [[nodiscard]] int Port() const;

private:
    class Collector;
    PrometheusExposer() = default;

    std::shared_ptr<Collector> m_collector;
    std::unique_ptr<prometheus::Exposer> m_exposer;
};

// An exposer, or why there is none.
struct PrometheusExposer::Started
{
    std::unique_ptr<PrometheusExposer> exposer;
    std::string error;
};

} // namespace quillon
