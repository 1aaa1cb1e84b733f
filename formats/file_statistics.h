#pragma once

#include <cstdint>
#include <string>

#include "analysis/line_statistics.h"
#include "capture/frame_model.h"

namespace quillon {

// What counting a capture file did.
struct FileStatistics
{
    bool opened = false;           // false: the file could not be opened
    std::int64_t damagedLines = 0; // log lines skipped as damaged
    std::string error;             // the file could not be read through; empty when it was
    std::string cutTail;           // a pcap file ends inside a packet: where (see StreamOutcome)
};

// Feeds every frame of a capture file to `statistics`, in order, whatever the file's length: a
// capture log file's frames cut from its records as Load cuts them (by the chosen model), with
// the times of its timestamp texts, which are too coarse for response times; a pcap file's
// packets as records, with their packet times.
[[nodiscard]] FileStatistics
CountCaptureFile(const std::string& path, FrameModelKind frames, LineStatistics& statistics);

} // namespace quillon
