#include "formats/capture_stream.h"

#include <array>

#include "capture/timestamp.h"
#include "formats/log_file.h"
#include "formats/pcap_reader.h"
#include "formats/pcap_writer.h"

namespace quillon {

bool IsPcapFile(std::FILE* file)
{
    std::array<std::uint8_t, 4> magic{};
    const std::size_t got = std::fread(magic.data(), 1, magic.size(), file);
    std::rewind(file);
    if (got != magic.size())
        return false;
    const std::uint32_t little = static_cast<std::uint32_t>(magic[0]) | magic[1] << 8 |
                                 magic[2] << 16 | static_cast<std::uint32_t>(magic[3]) << 24;
    const std::uint32_t big = static_cast<std::uint32_t>(magic[3]) | magic[2] << 8 |
                              magic[1] << 16 | static_cast<std::uint32_t>(magic[0]) << 24;
    for (const std::uint32_t value : {little, big}) {
        if (value == kPcapMagicMicroseconds || value == kPcapMagicNanoseconds ||
            value == kPcapngSectionHeader)
            return true;
    }
    return false;
}

StreamOutcome StreamLogRecords(std::FILE* in, FrameCutter& cutter, std::uint64_t lineLimit)
{
    StreamOutcome outcome;
    const std::uint64_t before = cutter.FramesCut();
    const StreamLogResult read = StreamLogFile(
        in,
        [&](const ParsedLogLine& line) {
            if (!cutter.StampRecord(line.timestamp))
                ++outcome.untimedLines;
            cutter.CutRecord(line.Frame());
            return !cutter.Stopped();
        },
        lineLimit);
    outcome.damagedLines = read.damagedLines;
    cutter.CutRemainder();
    if (cutter.Stopped())
        outcome.status = StreamOutcome::Status::Stopped;
    outcome.frames = cutter.FramesCut() - before;
    return outcome;
}

StreamOutcome StreamPcapRecords(std::FILE* in, FrameCutter& cutter)
{
    StreamOutcome outcome;
    const std::uint64_t before = cutter.FramesCut();
    PcapReader reader(in);
    PcapPacket packet;
    std::int64_t textMillisecond = -1;
    std::string text;
    while (!cutter.Stopped() && reader.Next(packet)) {
        // Each packet is one record; its text is the local time a pass would have written.
        if (packet.timeUs / 1000 != textMillisecond) {
            text = MakeTimestamp(LocalTimeAt(packet.timeUs));
            textMillisecond = packet.timeUs / 1000;
        }
        cutter.StampPacket(text, packet.timeUs);
        cutter.CutRecord(packet.Frame());
    }
    if (reader.Error() == PcapError::Truncated) {
        // A capture cut short (a full disk): its whole packets stand, the cut one is told.
        outcome.cutTail = reader.Describe();
    }
    if (reader.Error() != PcapError::None && reader.Error() != PcapError::Truncated) {
        outcome.status = StreamOutcome::Status::ReadRefused;
        outcome.readError = reader.Describe();
    } else {
        cutter.CutRemainder();
        if (cutter.Stopped())
            outcome.status = StreamOutcome::Status::Stopped;
    }
    outcome.frames = cutter.FramesCut() - before;
    return outcome;
}

StreamOutcome StreamCaptureFile(std::FILE* in, FrameCutter& cutter)
{
    return IsPcapFile(in) ? StreamPcapRecords(in, cutter) : StreamLogRecords(in, cutter);
}

} // namespace quillon
