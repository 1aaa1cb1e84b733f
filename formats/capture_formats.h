#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "capture/frame_info.h"

namespace quillon {

// The formats a capture is exported in, one row each in CaptureFormats().
enum class ExportFormat
{
    Pcap, // Wireshark capture, one Modbus RTU frame per packet
    Csv,  // one row per frame
};

// Turns listed frames into the bytes of one export format.
class FrameFormatter
{
public:
    virtual ~FrameFormatter() = default;
    // The file header (pcap) or header row (CSV).
    virtual void AppendHeader(std::string& out) = 0;
    // One frame: its bytes, its facts and its Frame-list line.
    virtual void AppendFrame(std::string& out,
                             std::span<const std::uint8_t> frame,
                             const FrameInfo& info,
                             std::string_view summary) = 0;
    // Frames whose time the format cannot hold, written with the time before them.
    [[nodiscard]] virtual std::uint64_t UnheldTimes() const { return 0; }
};

// One export format: what names it to the user and what writes it. The export command's
// options and the window's Export dialog are made from these rows.
struct CaptureFormat
{
    ExportFormat id;
    std::string_view option;    // the export command's option: "--pcap"
    std::string_view label;     // the Export dialog's name of it: "Wireshark capture"
    std::string_view extension; // without its dot: "pcap"
    std::unique_ptr<FrameFormatter> (*makeFormatter)();
};

// Every export format, in the order they are offered.
[[nodiscard]] std::span<const CaptureFormat> CaptureFormats();
// The row of a format.
[[nodiscard]] const CaptureFormat& CaptureFormatOf(ExportFormat id);

// The formatters of each format, each beside its format's writing rules.
[[nodiscard]] std::unique_ptr<FrameFormatter> MakePcapFormatter();
[[nodiscard]] std::unique_ptr<FrameFormatter> MakeCsvFormatter();

} // namespace quillon
