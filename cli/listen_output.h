#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "capture/capture_store.h"
#include "capture/frame_info.h"
#include "cli/terminal_text.h"
#include "formats/log_file.h"
#include "io/record_file.h"

namespace quillon::cli {

// What a capture listed, counted by the tags of its frames.
struct ListedTally
{
    long lines = 0;
    long queries = 0;
    long responses = 0;
    long unknown = 0;   // "(U) " lines, CRC errors included
    long crcErrors = 0; // " CRC Error " lines

    void Count(const FrameInfo& info);
};

// Where a live capture's lines go as they are listed: each summary line to the output stream,
// and each record's log line to the capture file when there is one. Every write is flushed and
// checked; after the first failure nothing more is written, and the capture file is cut back to
// its last whole line, so a full disk never leaves a torn line in it.
class ListenOutput
{
public:
    // `out` null: the lines are only counted and saved. A terminal gets the lines with their
    // control characters shown (see TextDisplay).
    explicit ListenOutput(std::FILE* out) : m_out(out), m_display(DisplayFor(out)) {}

    // Opens the capture file, creating it when missing, and leaves what it holds until Start
    // (appending, writes go to its end). False, with the reason in Error(), when it cannot.
    [[nodiscard]] bool OpenCaptureFile(const std::string& path, OpenMode mode = OpenMode::Keep);
    // Empties the capture file once every output has opened. False, with the reason in Error().
    [[nodiscard]] bool Start();
    // Writes one listed line and the log line of its record, and counts its frame. False once a
    // write has failed; a line without its record fails when there is a capture file.
    [[nodiscard]] bool
    Write(std::string_view line, const FrameInfo& info, const CaptureRecord* record);
    // Closes the capture file; false, with the reason in Error(), when the close failed.
    [[nodiscard]] bool Close();

    [[nodiscard]] bool Failed() const { return !m_error.empty(); }
    [[nodiscard]] const std::string& Error() const { return m_error; }
    [[nodiscard]] const ListedTally& Tally() const { return m_tally; }
    // Bytes written to capture files in all.
    [[nodiscard]] std::uint64_t Written() const { return m_written; }

private:
    void Fail(const std::string& what);

    std::FILE* m_out;
    TextDisplay m_display;
    std::string m_shown;
    RecordFile m_file;
    std::string m_path;
    std::string m_logLine;
    std::string m_error;
    ListedTally m_tally;
    std::uint64_t m_written = 0;
};

} // namespace quillon::cli
