#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "capture/capture_store.h"

namespace quillon {

// Why a capture file cannot be read on.
enum class PcapError
{
    None,
    NotPcap,       // no classic pcap file header (pcapng and other formats included)
    LinkType,      // packets of a link type that does not carry Modbus RTU frames
    NotModbusRtu,  // an exported packet named for another dissector, or with damaged tags
    EmptyPacket,   // a packet without a frame byte
    PacketTooLong, // a frame longer than a record holds
    Truncated,     // the file ends inside a header or a packet
    ReadFailed,    // the file could not be read
};

// One frame read from a capture file.
struct PcapPacket
{
    std::array<std::uint8_t, kMaxFrameLength> bytes{};
    std::size_t length = 0;
    std::int64_t timeUs = 0;  // packet time, microseconds since the Unix epoch
    std::uint64_t number = 0; // 1 for the first packet of the file

    [[nodiscard]] std::span<const std::uint8_t> Frame() const
    {
        return std::span<const std::uint8_t>(bytes).first(length);
    }
};

// Reads the frames of a classic pcap file one packet at a time, in flat memory: link type 252
// (Wireshark's exported PDUs, which must name the Modbus RTU dissector; the tags are stripped)
// and link type 147 (one raw frame per packet); either byte order; microsecond or nanosecond
// times. Any other input is refused with the reason, and nothing after a refusal is read.
//
//     PcapReader reader(file);
//     PcapPacket packet;
//     while (reader.Next(packet)) ... packet.Frame() ...
//     if (reader.Error() != PcapError::None) ... reader.Describe() ...
class PcapReader
{
public:
    explicit PcapReader(std::FILE* file) : m_file(file) {}

    // The next packet's frame; false at the end of the file or at an error (see Error).
    [[nodiscard]] bool Next(PcapPacket& packet);

    [[nodiscard]] PcapError Error() const { return m_error; }
    [[nodiscard]] std::uint32_t LinkType() const { return m_linkType; }
    // The error in words, naming the packet it was found in.
    [[nodiscard]] std::string Describe() const;

private:
    [[nodiscard]] bool ReadFileHeader();
    [[nodiscard]] bool Fail(PcapError error);
    // Reads exactly `size` bytes; false at the end of the file (clean when nothing was read).
    [[nodiscard]] bool ReadExactly(std::uint8_t* into, std::size_t size, bool& nothingRead);
    [[nodiscard]] std::uint32_t Field32(const std::uint8_t* at) const;
    [[nodiscard]] bool StripExportTags(std::span<const std::uint8_t>& frame);

    std::FILE* m_file;
    bool m_started = false;
    bool m_swapped = false;     // fields are big-endian
    bool m_nanoseconds = false; // packet times count nanoseconds
    std::uint32_t m_linkType = 0;
    std::uint64_t m_packets = 0;
    PcapError m_error = PcapError::None;
    std::size_t m_errorLength = 0; // the length of a packet refused as too long
    std::vector<std::uint8_t> m_packet;
};

} // namespace quillon
