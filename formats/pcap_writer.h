#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quillon {

// Classic libpcap capture files (not pcapng): a 24-byte file header, then per packet a 16-byte
// header and the packet's bytes.
constexpr std::size_t kPcapFileHeaderSize = 24;
constexpr std::size_t kPcapPacketHeaderSize = 16;
constexpr std::uint32_t kPcapMagicMicroseconds = 0xA1B2C3D4;
constexpr std::uint32_t kPcapMagicNanoseconds = 0xA1B23C4D;
// Link types: Wireshark's exported upper-layer PDUs, which name the dissector of every packet,
// and the first user-defined type, which other RTU sniffers write one frame per packet.
constexpr std::uint32_t kLinkTypeUpperPdu = 252;
constexpr std::uint32_t kLinkTypeUser0 = 147;
// Exported-PDU tags (16-bit type and length, big-endian): the end of the tags, and the name of
// the dissector that decodes the packet's bytes.
constexpr std::uint16_t kPduTagEnd = 0;
constexpr std::uint16_t kPduTagDissectorName = 12;
// Wireshark's Modbus RTU dissector, CRC check included.
constexpr std::string_view kModbusRtuDissector = "mbrtu";

// The latest time a packet header's unsigned 32-bit seconds hold (early 2106); the earliest is
// the Unix epoch.
constexpr std::int64_t kLatestPcapTimeUs = 0xFFFFFFFFLL * 1000000 + 999999;
[[nodiscard]] constexpr bool PcapHoldsTime(std::int64_t timeUs)
{
    return timeUs >= 0 && timeUs <= kLatestPcapTimeUs;
}

// Appends the file header of a capture in which every packet is one Modbus RTU frame handed to
// Wireshark's RTU dissector by name, with microsecond times; little-endian fields.
void AppendPcapFileHeader(std::string& out);

// Appends one packet: its header (time `timeUs`, microseconds since the Unix epoch, held to what
// the header's 32-bit seconds can carry), the dissector-name tag, the end tag and the frame's
// bytes exactly as captured.
void AppendPcapPacket(std::string& out, std::span<const std::uint8_t> frame, std::int64_t timeUs);

} // namespace quillon
