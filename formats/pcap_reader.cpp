#include "formats/pcap_reader.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "formats/pcap_writer.h"

namespace quillon {

namespace {

// Room for exported-PDU tags in front of a frame: the dissector name and whatever else an
// exporter keeps (addresses, ports, a frame number) fits many times over.
constexpr std::size_t kTagRoom = 1024;

std::uint32_t Swap32(std::uint32_t value)
{
    return (value >> 24) | ((value >> 8) & 0xFF00U) | ((value << 8) & 0xFF0000U) | (value << 24);
}

std::uint32_t Little32(const std::uint8_t* at)
{
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

std::uint16_t Big16(const std::uint8_t* at)
{
    return static_cast<std::uint16_t>(at[0] << 8 | at[1]);
}

} // namespace

bool PcapReader::Fail(PcapError error)
{
    m_error = error;
    return false;
}

bool PcapReader::ReadExactly(std::uint8_t* into, std::size_t size, bool& nothingRead)
{
    const std::size_t got = size == 0 ? 0 : std::fread(into, 1, size, m_file);
    nothingRead = got == 0;
    if (got == size)
        return true;
    if (std::ferror(m_file) != 0)
        m_error = PcapError::ReadFailed;
    return false;
}

std::uint32_t PcapReader::Field32(const std::uint8_t* at) const
{
    const std::uint32_t value = Little32(at);
    return m_swapped ? Swap32(value) : value;
}

bool PcapReader::ReadFileHeader()
{
    std::array<std::uint8_t, kPcapFileHeaderSize> header{};
    bool nothing = false;
    if (!ReadExactly(header.data(), header.size(), nothing))
        return Fail(m_error == PcapError::ReadFailed ? PcapError::ReadFailed : PcapError::NotPcap);
    const std::uint32_t magic = Little32(header.data());
    if (magic == kPcapMagicMicroseconds || magic == kPcapMagicNanoseconds) {
        m_swapped = false;
    } else if (Swap32(magic) == kPcapMagicMicroseconds || Swap32(magic) == kPcapMagicNanoseconds) {
        m_swapped = true;
    } else {
        return Fail(PcapError::NotPcap);
    }
    m_nanoseconds = (m_swapped ? Swap32(magic) : magic) == kPcapMagicNanoseconds;
    // The link type's low 16 bits; the high bits may carry flags (FCS length).
    m_linkType = Field32(header.data() + 20) & 0xFFFFU;
    if (m_linkType != kLinkTypeUpperPdu && m_linkType != kLinkTypeUser0)
        return Fail(PcapError::LinkType);
    return true;
}

bool PcapReader::StripExportTags(std::span<const std::uint8_t>& frame)
{
    // Tags are 16-bit type and length, big-endian, until the end tag; the frame follows it.
    bool modbusRtu = false;
    std::size_t at = 0;
    for (;;) {
        if (frame.size() - at < 4)
            return Fail(PcapError::NotModbusRtu);
        const std::uint16_t tag = Big16(frame.data() + at);
        const std::uint16_t length = Big16(frame.data() + at + 2);
        at += 4;
        if (tag == kPduTagEnd)
            break;
        if (frame.size() - at < length)
            return Fail(PcapError::NotModbusRtu);
        if (tag == kPduTagDissectorName) {
            // Older exporters pad the name with zero bytes to a multiple of four.
            std::string_view name(reinterpret_cast<const char*>(frame.data() + at), length);
            name = name.substr(0, name.find('\0'));
            modbusRtu = name == kModbusRtuDissector;
        }
        at += length;
    }
    if (!modbusRtu)
        return Fail(PcapError::NotModbusRtu);
    frame = frame.subspan(at);
    return true;
}

bool PcapReader::Next(PcapPacket& packet)
{
    if (m_error != PcapError::None)
        return false;
    if (!m_started) {
        m_started = true;
        if (!ReadFileHeader())
            return false;
    }
    std::array<std::uint8_t, kPcapPacketHeaderSize> header{};
    bool nothing = false;
    if (!ReadExactly(header.data(), header.size(), nothing)) {
        // A clean end lies between packets; anything else is a cut file.
        if (m_error == PcapError::None && !nothing) {
            ++m_packets;
            m_error = PcapError::Truncated;
        }
        return false;
    }
    ++m_packets;
    const std::uint32_t seconds = Field32(header.data());
    const std::uint32_t fraction = Field32(header.data() + 4);
    const std::uint32_t stored = Field32(header.data() + 8);
    const std::size_t room =
        kMaxFrameLength + (m_linkType == kLinkTypeUpperPdu ? kTagRoom : std::size_t{0});
    if (stored == 0)
        return Fail(PcapError::EmptyPacket);
    if (stored > room) {
        m_errorLength = stored;
        return Fail(PcapError::PacketTooLong);
    }
    m_packet.resize(stored);
    if (!ReadExactly(m_packet.data(), stored, nothing))
        return Fail(m_error == PcapError::None ? PcapError::Truncated : m_error);

    std::span<const std::uint8_t> frame(m_packet);
    if (m_linkType == kLinkTypeUpperPdu && !StripExportTags(frame))
        return false;
    if (frame.empty())
        return Fail(PcapError::EmptyPacket);
    if (frame.size() > kMaxFrameLength) {
        m_errorLength = frame.size();
        return Fail(PcapError::PacketTooLong);
    }
    std::copy(frame.begin(), frame.end(), packet.bytes.begin());
    packet.length = frame.size();
    packet.number = m_packets;
    packet.timeUs =
        static_cast<std::int64_t>(seconds) * 1000000 + (m_nanoseconds ? fraction / 1000 : fraction);
    return true;
}

std::string PcapReader::Describe() const
{
    const std::string packet = "packet " + std::to_string(m_packets);
    switch (m_error) {
    case PcapError::None:
        return {};
    case PcapError::NotPcap:
        return "not a pcap capture file (pcapng files must be saved as pcap first)";
    case PcapError::LinkType:
        return "link type " + std::to_string(m_linkType) +
               " does not carry Modbus RTU frames (read: 252 exported PDUs, 147 USER0)";
    case PcapError::NotModbusRtu:
        return packet + " is not exported for the Modbus RTU dissector \"mbrtu\"";
    case PcapError::EmptyPacket:
        return packet + " holds no frame byte";
    case PcapError::PacketTooLong:
        return packet + " holds " + std::to_string(m_errorLength) +
               " bytes, more than the longest frame (" + std::to_string(kMaxFrameLength) + ")";
    case PcapError::Truncated:
        return m_packets == 0 ? "the file ends inside its header"
                              : "the file ends inside " + packet;
    case PcapError::ReadFailed:
        return "the file could not be read";
    }
    return {};
}

} // namespace quillon
