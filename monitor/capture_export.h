#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "capture/capture_store.h"
#include "capture/frame_info.h"
#include "capture/frame_model.h"
#include "formats/csv_writer.h"
#include "io/file_writer.h"
#include "monitor/capture_stream.h"
#include "seams/controls.h"

namespace quillon {

// The formats a capture is exported in.
enum class ExportFormat
{
    Pcap, // Wireshark capture, one Modbus RTU frame per packet
    Csv,  // one row per frame
};

// Takes the exported bytes; false when they could not be written.
using ExportWrite = std::function<bool(std::string_view)>;

// Formats listed frames in an export format and hands the bytes on in large blocks, or after
// every frame when asked to (a live capture, whose file must be readable at any moment).
class FrameExportWriter
{
public:
    FrameExportWriter(ExportFormat format, ExportWrite write, bool flushEachFrame = false);

    // The file header (pcap) or header row (CSV). False once a write has failed.
    [[nodiscard]] bool Begin();
    // One frame: its bytes, its facts and its Frame-list line.
    [[nodiscard]] bool
    Add(std::span<const std::uint8_t> frame, const FrameInfo& info, std::string_view summary);
    // Hands on what is held. False once a write has failed.
    [[nodiscard]] bool Flush();

private:
    static constexpr std::size_t kBlock = 1 << 20;

    ExportFormat m_format;
    ExportWrite m_write;
    bool m_flushEachFrame;
    CsvWriter m_csv;
    std::string m_buffer;
    bool m_failed = false;
};

// Writes the records of Frame-list lines 0 to `lineCount` - 1 with their facts and lines into
// the file at `path`, the way Save writes: whole, or not at all, an earlier file left as it was.
// A record whose timestamp text was not a time takes the time of the record before it.
[[nodiscard]] FileOutcome ExportCapture(const std::string& path,
                                        ExportFormat format,
                                        const CaptureStore& store,
                                        const ListBox& frameList,
                                        int lineCount);

// What an export of a whole capture file came to.
using ExportOutcome = StreamOutcome;

// Streams a whole capture file (see StreamCaptureFile) into `writer`, header first.
[[nodiscard]] ExportOutcome
ExportCaptureFile(std::FILE* in, FrameModelKind model, FrameExportWriter& writer);

} // namespace quillon
