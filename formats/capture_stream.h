#pragma once

#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

#include "capture/frame_cutter.h"

namespace quillon {

// What reading a capture file's records into a cutter came to.
struct StreamOutcome
{
    enum class Status
    {
        Done,
        ReadRefused, // the input is a pcap file that cannot be read on: see readError
        Stopped,     // a subscriber of the cutter filled up before the file's end
    };
    Status status = Status::Done;
    std::uint64_t frames = 0;       // frames the cutter handed on
    std::uint64_t damagedLines = 0; // capture log lines skipped as damaged
    std::uint64_t untimedLines = 0; // lines whose timestamp text is not a time
    std::string readError;
    // A capture file that ends inside a packet: the packets before it are read, and this says
    // where it ends. Empty when the file ends between packets.
    std::string cutTail;
};

// Read every line of a capture log file.
constexpr std::uint64_t kEveryLine = std::numeric_limits<std::uint64_t>::max();

// True when the file starts with a pcap magic number (either byte order, either time unit) or
// a pcapng section header; the file is left at its start.
[[nodiscard]] bool IsPcapFile(std::FILE* file);

// Reads the records of a capture log file, up to `lineLimit` lines, into `cutter`, in flat
// memory whatever the file's length: each record is cut as a load cuts it, its frames taking the
// time of its timestamp text (local time; a text that is not a time takes the time before it,
// and is counted). Stops when a subscriber is full; at the file's end what the last records left
// undecided is cut too.
[[nodiscard]] StreamOutcome
StreamLogRecords(std::FILE* in, FrameCutter& cutter, std::uint64_t lineLimit = kEveryLine);

// The same over a pcap or pcapng file: each packet is one record, with its packet's time and
// that time's local text. A file that cannot be read on ends the read there, leaving the rest
// uncut; one that ends inside a packet is read to its last whole packet (see cutTail).
[[nodiscard]] StreamOutcome StreamPcapRecords(std::FILE* in, FrameCutter& cutter);

// A capture log file or a pcap file, told by its first bytes.
[[nodiscard]] StreamOutcome StreamCaptureFile(std::FILE* in, FrameCutter& cutter);

} // namespace quillon
