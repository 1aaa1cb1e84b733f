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

// The block type of a pcapng section header, which opens every pcapng file; it reads the same
// in either byte order.
constexpr std::uint32_t kPcapngSectionHeader = 0x0A0D0D0A;

// Why a capture file cannot be read on.
enum class PcapError
{
    None,
    NotPcap,       // neither a classic pcap file header nor a pcapng section header
    LinkType,      // packets of a link type that does not carry Modbus RTU frames
    NotModbusRtu,  // an exported packet named for another dissector, or with damaged tags
    EmptyPacket,   // a packet without a frame byte
    PacketTooLong, // a frame longer than a record holds
    Truncated,     // the file ends inside a packet or block: the packets before it are whole
    ReadFailed,    // the file could not be read
    BadBlock,      // a pcapng block whose lengths or fields do not hold together
    UnknownBlock,  // a pcapng block of a type that is not read, which may hold packets
    NoInterface,   // a pcapng packet of an interface its section does not describe
    TimeUnit,      // a pcapng interface whose time unit is finer than 64-bit counts can tell
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

// Reads the frames of a capture file one packet at a time, in flat memory. Classic pcap files:
// either byte order, microsecond or nanosecond times. pcapng files (Wireshark's own format):
// section headers in either byte order, interface descriptions with their time unit
// (if_tsresol) and offset (if_tsoffset), enhanced and simple packet blocks; name-resolution,
// statistics, decryption-secrets and custom blocks, which hold no packets, are passed over.
// Link types 252 (Wireshark's exported PDUs, which must name the Modbus RTU dissector; the tags
// are stripped) and 147 (one raw frame per packet). Any other input is refused with the reason,
// and nothing after a refusal is read. A file that ends inside a packet (a capture cut short by
// a full disk) ends with Truncated after its last whole packet.
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
    // The error in words, naming the packet or block it was found in.
    [[nodiscard]] std::string Describe() const;

private:
    // A pcapng interface: how its packets are read.
    struct Interface
    {
        std::uint32_t linkType = 0;
        std::uint32_t snapLength = 0; // 0: packets are not cut short
        std::uint8_t timeUnit = 6;    // if_tsresol: 10^-n seconds, or 2^-n with the top bit set
        std::int64_t timeOffsetSeconds = 0;
    };

    [[nodiscard]] bool ReadFileHeader();
    [[nodiscard]] bool Fail(PcapError error);
    [[nodiscard]] bool Fail(PcapError error, std::string detail);
    // Reads exactly `size` bytes; false at the end of the file (clean when nothing was read).
    [[nodiscard]] bool ReadExactly(std::uint8_t* into, std::size_t size, bool& nothingRead);
    [[nodiscard]] std::uint32_t Field32(const std::uint8_t* at) const;
    [[nodiscard]] std::uint16_t Field16(const std::uint8_t* at) const;
    [[nodiscard]] bool StripExportTags(std::span<const std::uint8_t>& frame);
    [[nodiscard]] bool CheckLinkType(std::uint32_t linkType);
    // Hands one packet's bytes on as a frame of the link type.
    [[nodiscard]] bool
    TakeFrame(std::span<const std::uint8_t> data, std::uint32_t linkType, PcapPacket& packet);

    [[nodiscard]] bool NextClassic(PcapPacket& packet);
    [[nodiscard]] bool NextBlockPacket(PcapPacket& packet);
    // Reads the rest of a section header whose type and length fields were read.
    [[nodiscard]] bool ReadSectionHeader(const std::uint8_t* lengthField);
    [[nodiscard]] bool ReadInterface(std::span<const std::uint8_t> body);
    [[nodiscard]] bool ReadEnhancedPacket(std::span<const std::uint8_t> body, PcapPacket& packet);
    [[nodiscard]] bool ReadSimplePacket(std::span<const std::uint8_t> body, PcapPacket& packet);
    // Reads a block's body and its closing length, which must repeat `length`.
    [[nodiscard]] bool ReadBlockBody(std::uint32_t length, std::size_t alreadyRead);
    // Reads past a block that holds no packets without keeping it.
    [[nodiscard]] bool SkipBlockBody(std::uint32_t length);

    std::FILE* m_file;
    bool m_started = false;
    bool m_blocks = false;      // a pcapng file
    bool m_swapped = false;     // fields are big-endian
    bool m_nanoseconds = false; // classic packet times count nanoseconds
    std::uint32_t m_linkType = 0;
    std::uint64_t m_packets = 0;
    std::uint64_t m_blockCount = 0;
    PcapError m_error = PcapError::None;
    std::size_t m_errorLength = 0; // the length of a packet refused as too long
    std::string m_detail;          // what a refused block held
    std::vector<std::uint8_t> m_packet;
    std::vector<Interface> m_interfaces; // of the current pcapng section
    std::int64_t m_lastTimeUs = 0;       // a simple packet block has no time of its own
};

} // namespace quillon
