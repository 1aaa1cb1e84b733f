#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "analysis/line_metrics.h"
#include "analysis/register_image.h"
#include "analysis/uart_errors.h"
#include "formats/register_map.h"
#include "seams/port_settings.h"

namespace quillon {
class PrometheusExposer;
} // namespace quillon

namespace quillon::cli {

// The metrics of `listen --metrics`: counted from every listed frame, with the register image
// for a map's points, and published once a pass for the exposer's threads to serve.
class ListenMetrics
{
public:
    ListenMetrics(std::string address, std::string mapFile, const PortSettings& settings);
    ListenMetrics(const ListenMetrics&) = delete;
    ListenMetrics& operator=(const ListenMetrics&) = delete;
    ~ListenMetrics();

    [[nodiscard]] bool Wanted() const { return !m_address.empty(); }
    // Reads the map; false, with the reason in Error(), when it is refused.
    [[nodiscard]] bool LoadMap();
    // Starts serving; false, with the reason in Error(), when it cannot.
    [[nodiscard]] bool Start();
    // "http://127.0.0.1:9464/metrics", once started.
    [[nodiscard]] std::string Url() const;

    // The frame sinks to subscribe: the counts, and the register image when there is a map.
    [[nodiscard]] FrameSink& Counts() { return m_metrics; }
    [[nodiscard]] FrameSink* Image() { return m_mapFile.empty() ? nullptr : &m_image; }

    // Offers what has been counted over `spanUs` to the exposer.
    void Publish(std::int64_t spanUs, const UartErrorTally& uart);

    [[nodiscard]] const std::string& Error() const { return m_error; }

private:
    std::string m_address;
    std::string m_mapFile;
    RegisterMap m_map;
    RegisterImage m_image;
    LineMetrics m_metrics;
    // Declared last: it stops serving before the figures it reads go away.
    std::unique_ptr<PrometheusExposer> m_exposer;
    std::string m_error;
};

} // namespace quillon::cli
