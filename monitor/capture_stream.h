#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "capture/frame_info.h"
#include "capture/frame_model.h"

namespace quillon {

// Takes one listed frame: its bytes, its facts and its Frame-list line. False stops the stream.
using ListedFrameSink = std::function<bool(
    std::span<const std::uint8_t> frame, const FrameInfo& info, std::string_view line)>;

// What running a whole capture file through the analysis came to.
struct StreamOutcome
{
    enum class Status
    {
        Done,
        ReadRefused, // the input is a pcap file that cannot be read on: see readError
        WriteFailed, // the sink stopped the stream
    };
    Status status = Status::Done;
    std::uint64_t frames = 0;       // frames handed on
    std::uint64_t damagedLines = 0; // capture log lines skipped as damaged
    std::uint64_t untimedLines = 0; // lines whose timestamp text is not a time
    std::string readError;
};

// True when the file starts with a pcap magic number (either byte order, either time unit);
// the file is left at its start.
[[nodiscard]] bool IsPcapFile(std::FILE* file);

// Runs a whole capture file, of any size, through the analysis a load does, in flat memory, and
// hands every listed frame to `sink` in order, with its Frame-list line. A capture log file's
// frames take the time of their line's timestamp text (local time; a text that is not a time
// takes the time before it, and is counted); a pcap file's records take their packet's time and
// its text.
[[nodiscard]] StreamOutcome
StreamCaptureFile(std::FILE* in, FrameModelKind model, const ListedFrameSink& sink);

} // namespace quillon
