#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "analysis/frame_pairing.h"
#include "analysis/line_statistics.h"
#include "analysis/register_image.h"
#include "capture/frame_cutter.h"
#include "capture/frame_info.h"
#include "seams/serial_line.h"

namespace quillon {

// Upper bounds of the response-time buckets, microseconds: 1 ms to 10 s, enough to tell a fast
// device from one near its master's time-out.
inline constexpr std::array<std::int64_t, 13> kResponseBoundsUs = {
    1'000,   2'000,   5'000,     10'000,    20'000,    50'000,    100'000,
    200'000, 500'000, 1'000'000, 2'000'000, 5'000'000, 10'000'000};

// A node or function a frame does not tell (bytes no frame could be made of, a code the CRC
// error hides).
inline constexpr int kUnknownLabel = -1;

// The counts of one node and function, as a monitoring system reads them.
struct MetricsRow
{
    int node = kUnknownLabel;              // 0 to 255, or kUnknownLabel
    int function = kUnknownLabel;          // the code with bit 7 cleared, or kUnknownLabel
    std::array<std::uint64_t, 3> frames{}; // by FrameTag: query, response, unknown
    std::uint64_t crcErrors = 0;
    std::uint64_t exceptions = 0;
    std::uint64_t timeouts = 0;
    // Paired normal responses with a known time, by the first bound they fit under; the last
    // entry holds those above every bound.
    std::array<std::uint64_t, kResponseBoundsUs.size() + 1> responses{};
    std::int64_t responseSumUs = 0;

    [[nodiscard]] std::uint64_t ResponseCount() const;
};

// A point of the register map with the value the line last carried for it.
struct PointGauge
{
    std::uint8_t node = 0;
    RegisterTable table = RegisterTable::HoldingRegister;
    std::uint16_t address = 0;
    std::string name;
    std::string unit;
    double value = 0;
};

// What the line looked like at the last publication.
struct MetricsSnapshot
{
    std::vector<MetricsRow> rows;              // ordered by node, then function (unknown first)
    double busLoadRatio = -1;                  // -1: not known (no baud rate or no time yet)
    std::optional<UartErrorCounts> uartErrors; // nullopt: the driver cannot count them
    std::vector<PointGauge> points;
};

// The figures a metrics exposer serves, counted frame by frame on the analysis thread and
// published as a snapshot that another thread may read at any time. Labels are bounded by the
// protocol (256 nodes, 128 codes, three tags), never by the length of the capture. Publishing
// never waits: while a reader copies the last snapshot, the new one is left for the next pass.
class LineMetrics : public FrameSink
{
public:
    void SetLineFormat(const LineFormat& format) { m_format = format; }

    void Add(const FrameInfo& info);
    void Take(const CutFrame& frame) override { Add(frame.info); }

    // Offers the counts so far, the bus load over `spanUs`, the UART errors and the map points
    // to readers. False when a reader held the snapshot, so nothing was published this time.
    bool Publish(std::int64_t spanUs,
                 const std::optional<UartErrorCounts>& uartErrors,
                 std::vector<PointGauge> points);
    // The last snapshot published; safe from any thread.
    [[nodiscard]] MetricsSnapshot Published() const;

    [[nodiscard]] std::uint64_t Frames() const { return m_frames; }

private:
    MetricsRow& RowFor(int node, int function);

    LineFormat m_format;
    FramePairing m_pairing;
    std::map<std::pair<int, int>, MetricsRow> m_rows;
    std::uint64_t m_frames = 0;
    std::uint64_t m_bytes = 0;

    mutable std::mutex m_publishedMutex;
    MetricsSnapshot m_published;
};

} // namespace quillon
