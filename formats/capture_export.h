#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "capture/capture_store.h"
#include "capture/frame_info.h"
#include "capture/frame_model.h"
#include "formats/capture_formats.h"
#include "formats/capture_stream.h"
#include "io/file_writer.h"

namespace quillon {

// Takes the exported bytes; false when they could not be written.
using ExportWrite = std::function<bool(std::string_view)>;

// When an export writer hands its bytes on.
enum class Flushing
{
    InBlocks,  // in large blocks: a whole file
    EachFrame, // after every frame: a live capture, whose file must be readable at any moment
};

// Formats listed frames in an export format and hands the bytes on as `flushing` says.
class FrameExportWriter
{
public:
    FrameExportWriter(ExportFormat format,
                      ExportWrite write,
                      Flushing flushing = Flushing::InBlocks);

    // The file header (pcap) or header row (CSV). False once a write has failed.
    [[nodiscard]] bool Begin();
    // One frame: its bytes, its facts and its Frame-list line.
    [[nodiscard]] bool
    Add(std::span<const std::uint8_t> frame, const FrameInfo& info, std::string_view summary);
    // Hands on what is held. False once a write has failed.
    [[nodiscard]] bool Flush();
    // Frames whose time the format cannot hold (a pcap file's before 1970 or after 2106), given
    // the time before them.
    [[nodiscard]] std::uint64_t UnheldTimes() const { return m_formatter->UnheldTimes(); }

private:
    static constexpr std::size_t kBlock = 1 << 20;

    std::unique_ptr<FrameFormatter> m_formatter;
    ExportWrite m_write;
    bool m_flushEachFrame;
    std::string m_buffer;
    bool m_failed = false;
};

// Writes every stored frame with its facts and line into the file at `path`, the way Save
// writes: whole, or not at all, an earlier file left as it was.
[[nodiscard]] FileOutcome
ExportCapture(const std::string& path, ExportFormat format, const CaptureStore& store);

// What an export of a whole capture file came to: Stopped when a write failed.
using ExportOutcome = StreamOutcome;

// Cuts a whole capture file (see StreamCaptureFile) by the model and writes every frame into
// `writer`, header first.
[[nodiscard]] ExportOutcome
ExportCaptureFile(std::FILE* in, FrameModelKind model, FrameExportWriter& writer);

} // namespace quillon
