#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "capture/capture_store.h"

namespace quillon {

// The longest line a writer produces before its line end: the length, the longest frame and
// the longest timestamp text, each byte as two digits and a comma.
constexpr std::size_t kLogLineMax = 6 + 3 * kMaxFrameLength + kTimestampMax;
// A load reads at most this many lines, damaged and empty ones included.
constexpr int kLoadLineLimit = kCaptureLimit;

// An open capture log file, closed when the handle goes.
struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using LogFile = std::unique_ptr<std::FILE, FileCloser>;

// Opens a capture log file for reading without waiting; nothing when it cannot be opened or is
// not a regular file (a folder, a pipe, a device).
[[nodiscard]] LogFile OpenLogFileForReading(const std::string& path);

// The log line of a record as it goes on disk: "00,08,01,03,...,C5,CD," then the timestamp text
// and CR LF.
[[nodiscard]] std::string FormatLogLine(const CaptureRecord& record);

// Appends the log lines of records [first, lineCount) to `text`, in order.
void AppendLogLines(std::string& text, const CaptureStore& store, int first, int lineCount);

// Writes the log lines of records [first, lineCount) in order. False when a write failed; the
// lines after a failed one are not written.
[[nodiscard]] bool
WriteLogLines(std::FILE* file, const CaptureStore& store, int first, int lineCount);

// One log line turned back into a frame and its timestamp text.
struct ParsedLogLine
{
    std::array<std::uint8_t, kMaxFrameLength> bytes{};
    std::size_t length = 0;
    std::string_view timestamp; // points into the parsed line, at most kTimestampMax characters

    [[nodiscard]] std::span<const std::uint8_t> Frame() const
    {
        return std::span<const std::uint8_t>(bytes).first(length);
    }
};

// Parses a log line without its line end. Nothing for a damaged line: a length field or byte
// pair that is not hexadecimal, a length of 0 or above the longest frame, or a line too short
// for its length.
[[nodiscard]] std::optional<ParsedLogLine> ParseLogLine(std::string_view line);

struct ReadLogResult
{
    int linesRead = 0;    // lines taken toward the load limit
    int damagedLines = 0; // lines skipped as damaged
};

// Reads up to kLoadLineLimit lines from the file's start and hands each parsed line to `sink`;
// empty lines are skipped, damaged ones skipped and counted. Reading stops early when the sink
// returns false. Lines end in LF or CR LF; a last line without a line end is read too.
ReadLogResult ReadLogFile(std::FILE* file, const std::function<bool(const ParsedLogLine&)>& sink);

struct StreamLogResult
{
    std::uint64_t linesRead = 0;
    std::uint64_t damagedLines = 0;
};

// ReadLogFile with a limit of the caller's choice (by default none: every line of a file of any
// size), read in flat memory.
StreamLogResult StreamLogFile(std::FILE* file,
                              const std::function<bool(const ParsedLogLine&)>& sink,
                              std::uint64_t lineLimit = std::numeric_limits<std::uint64_t>::max());

} // namespace quillon
