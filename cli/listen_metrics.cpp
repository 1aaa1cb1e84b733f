#include "cli/listen_metrics.h"

#include <utility>

#ifdef QUILLON_WITH_METRICS
#include "metrics/prometheus_exposer.h"
#endif

namespace quillon {
#ifndef QUILLON_WITH_METRICS
// Without the metrics library there is nothing to serve with.
class PrometheusExposer
{
};
#endif
} // namespace quillon

namespace quillon::cli {

ListenMetrics::ListenMetrics(std::string address, std::string mapFile, const PortSettings& settings)
    : m_address(std::move(address)), m_mapFile(std::move(mapFile))
{
    m_metrics.SetLineFormat(LineFormatOf(settings));
}

ListenMetrics::~ListenMetrics() = default;

bool ListenMetrics::LoadMap()
{
    if (m_mapFile.empty())
        return true;
    MapRead read = ReadRegisterMapFile(m_mapFile);
    if (!read.map) {
        m_error = "map refused: " + read.error.Text();
        return false;
    }
    m_map = std::move(*read.map);
    return true;
}

bool ListenMetrics::Start()
{
#ifdef QUILLON_WITH_METRICS
    PrometheusExposer::Started started = PrometheusExposer::Start(m_address, m_metrics);
    m_exposer = std::move(started.exposer);
    m_error = std::move(started.error);
    return m_exposer != nullptr;
#else
    m_error = "--metrics is not in this build (it needs prometheus-cpp)";
    return false;
#endif
}

std::string ListenMetrics::Url() const
{
#ifdef QUILLON_WITH_METRICS
    if (m_exposer) {
        // The address as given, with the port it got when it asked for any.
        const std::string host = m_address.substr(0, m_address.rfind(':'));
        return "http://" + host + ":" + std::to_string(m_exposer->Port()) + "/metrics";
    }
#endif
    return {};
}

void ListenMetrics::Publish(std::int64_t spanUs, const UartErrorTally& uart)
{
    if (!m_exposer)
        return;
    const std::optional<UartErrorCounts> errors =
        uart.Available() ? std::optional(uart.Totals()) : std::nullopt;
    (void)m_metrics.Publish(spanUs, errors,
                            m_map.Empty() ? std::vector<PointGauge>{} : MapGauges(m_map, m_image));
}

} // namespace quillon::cli
