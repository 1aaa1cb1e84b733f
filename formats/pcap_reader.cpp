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

// pcapng blocks: 32-bit type and total length, the body, the total length again.
constexpr std::size_t kBlockFrameSize = 12;
// The longest block kept whole: a packet with its tags and options, or a section or interface
// with its options, many times over. Longer blocks that hold no packets are read past.
constexpr std::uint32_t kMaxBlockLength = 256 * 1024;
constexpr std::uint32_t kByteOrderMagic = 0x1A2B3C4D;
constexpr std::uint32_t kInterfaceBlock = 1;
constexpr std::uint32_t kSimplePacketBlock = 3;
constexpr std::uint32_t kEnhancedPacketBlock = 6;
// Blocks without packets: name resolution, interface statistics, systemd journal entries,
// decryption secrets and the two kinds of custom block.
constexpr std::array<std::uint32_t, 6> kBlocksWithoutPackets{4, 5, 9, 0x0A, 0x0BAD, 0x40000BAD};
// Interface options.
constexpr std::uint16_t kOptionEnd = 0;
constexpr std::uint16_t kOptionTimeUnit = 9;    // if_tsresol, one byte
constexpr std::uint16_t kOptionTimeOffset = 14; // if_tsoffset, 64-bit seconds
// Times beyond this many seconds from the epoch (some 285 000 years) are held there, so that
// microseconds stay within 64 bits.
constexpr std::int64_t kFarthestSeconds = 9'000'000'000'000;
// The most decimal digits of a time unit that 64-bit counts can carry.
constexpr int kFinestDecimalUnit = 19;

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

std::size_t PaddedTo4(std::size_t length)
{
    return (length + 3) & ~std::size_t{3};
}

std::uint64_t PowerOf10(int exponent)
{
    std::uint64_t value = 1;
    for (int i = 0; i < exponent; ++i)
        value *= 10;
    return value;
}

// A count of time units since the epoch in microseconds; the unit's exponent is at most 63
// (binary) or kFinestDecimalUnit (decimal).
std::int64_t CountToMicroseconds(std::uint64_t count, std::uint8_t unit, std::int64_t offset)
{
    std::uint64_t seconds = 0;
    std::uint64_t micro = 0;
    const int exponent = unit & 0x7F;
    if ((unit & 0x80) != 0) {
        seconds = count >> exponent;
        const std::uint64_t fraction = count & ((1ULL << exponent) - 1);
        // Only the top 40 bits of a finer fraction matter to a microsecond.
        micro = exponent > 40 ? ((fraction >> (exponent - 40)) * 1000000) >> 40
                              : (fraction * 1000000) >> exponent;
    } else {
        const std::uint64_t perSecond = PowerOf10(exponent);
        seconds = count / perSecond;
        const std::uint64_t fraction = count % perSecond;
        micro =
            exponent >= 6 ? fraction / PowerOf10(exponent - 6) : fraction * PowerOf10(6 - exponent);
    }
    const std::int64_t whole =
        std::clamp(static_cast<std::int64_t>(std::min<std::uint64_t>(seconds, kFarthestSeconds)) +
                       std::clamp(offset, -kFarthestSeconds, kFarthestSeconds),
                   -kFarthestSeconds, kFarthestSeconds);
    return whole * 1000000 + static_cast<std::int64_t>(micro);
}

std::string Hex32(std::uint32_t value)
{
    constexpr std::string_view kDigits = "0123456789ABCDEF";
    std::string text = "0x";
    for (int shift = 28; shift >= 0; shift -= 4)
        text.push_back(kDigits[(value >> shift) & 0xFU]);
    return text;
}

} // namespace

bool PcapReader::Fail(PcapError error)
{
    m_error = error;
    return false;
}

bool PcapReader::Fail(PcapError error, std::string detail)
{
    m_detail = std::move(detail);
    return Fail(error);
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

std::uint16_t PcapReader::Field16(const std::uint8_t* at) const
{
    const auto little = static_cast<std::uint16_t>(at[0] | at[1] << 8);
    return m_swapped ? static_cast<std::uint16_t>(little >> 8 | (little & 0xFFU) << 8) : little;
}

bool PcapReader::CheckLinkType(std::uint32_t linkType)
{
    m_linkType = linkType;
    if (linkType != kLinkTypeUpperPdu && linkType != kLinkTypeUser0)
        return Fail(PcapError::LinkType);
    return true;
}

bool PcapReader::ReadFileHeader()
{
    std::array<std::uint8_t, kPcapFileHeaderSize> header{};
    bool nothing = false;
    // The first four bytes tell a classic file from a pcapng one.
    if (!ReadExactly(header.data(), 4, nothing))
        return Fail(m_error == PcapError::ReadFailed ? PcapError::ReadFailed : PcapError::NotPcap);
    if (Little32(header.data()) == kPcapngSectionHeader) {
        m_blocks = true;
        ++m_blockCount;
        if (ReadExactly(header.data() + 4, 4, nothing) && ReadSectionHeader(header.data() + 4))
            return true;
        // A file cut inside its very first header is no capture yet.
        const bool cut = m_error == PcapError::None || m_error == PcapError::Truncated;
        return cut ? Fail(PcapError::NotPcap) : false;
    }
    if (!ReadExactly(header.data() + 4, header.size() - 4, nothing))
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
    return CheckLinkType(Field32(header.data() + 20) & 0xFFFFU);
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

bool PcapReader::TakeFrame(std::span<const std::uint8_t> data,
                           std::uint32_t linkType,
                           PcapPacket& packet)
{
    std::span<const std::uint8_t> frame = data;
    if (linkType == kLinkTypeUpperPdu && !StripExportTags(frame))
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
    return m_blocks ? NextBlockPacket(packet) : NextClassic(packet);
}

bool PcapReader::NextClassic(PcapPacket& packet)
{
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
    if (!TakeFrame(m_packet, m_linkType, packet))
        return false;
    packet.timeUs =
        static_cast<std::int64_t>(seconds) * 1000000 + (m_nanoseconds ? fraction / 1000 : fraction);
    return true;
}

bool PcapReader::ReadBlockBody(std::uint32_t length, std::size_t alreadyRead)
{
    // The body follows the type and length fields (and whatever of it was read already); the
    // closing length ends the block.
    const std::size_t rest = length - 8 - alreadyRead;
    m_packet.resize(alreadyRead + rest);
    bool nothing = false;
    if (!ReadExactly(m_packet.data() + alreadyRead, rest, nothing))
        return Fail(m_error == PcapError::None ? PcapError::Truncated : m_error);
    if (Field32(m_packet.data() + m_packet.size() - 4) != length)
        return Fail(PcapError::BadBlock, "its closing length differs from its opening one");
    m_packet.resize(m_packet.size() - 4);
    return true;
}

bool PcapReader::SkipBlockBody(std::uint32_t length)
{
    std::array<std::uint8_t, 4096> chunk{};
    std::size_t rest = length - 8;
    bool nothing = false;
    while (rest > 4) {
        const std::size_t take = std::min(rest - 4, chunk.size());
        if (!ReadExactly(chunk.data(), take, nothing))
            return Fail(m_error == PcapError::None ? PcapError::Truncated : m_error);
        rest -= take;
    }
    if (!ReadExactly(chunk.data(), 4, nothing))
        return Fail(m_error == PcapError::None ? PcapError::Truncated : m_error);
    if (Field32(chunk.data()) != length)
        return Fail(PcapError::BadBlock, "its closing length differs from its opening one");
    return true;
}

bool PcapReader::ReadSectionHeader(const std::uint8_t* lengthField)
{
    // The byte-order magic behind the length says how to read the length.
    std::array<std::uint8_t, 4> order{};
    bool nothing = false;
    if (!ReadExactly(order.data(), order.size(), nothing))
        return Fail(m_error == PcapError::None ? PcapError::Truncated : m_error);
    if (Little32(order.data()) == kByteOrderMagic)
        m_swapped = false;
    else if (Little32(order.data()) == Swap32(kByteOrderMagic))
        m_swapped = true;
    else
        return Fail(PcapError::BadBlock, "a section header without its byte-order magic");
    const std::uint32_t length = Field32(lengthField);
    // Magic, version and section length, besides the type and both lengths.
    constexpr std::uint32_t kShortest = kBlockFrameSize + 16;
    if (length < kShortest || length % 4 != 0 || length > kMaxBlockLength)
        return Fail(PcapError::BadBlock,
                    "a section header " + std::to_string(length) + " bytes long");
    m_packet.assign(order.begin(), order.end());
    if (!ReadBlockBody(length, order.size()))
        return false;
    const std::uint16_t major = Field16(m_packet.data() + 4);
    if (major != 1)
        return Fail(PcapError::BadBlock,
                    "pcapng version " + std::to_string(major) + ", where version 1 is read");
    // A new section describes its interfaces anew.
    m_interfaces.clear();
    return true;
}

bool PcapReader::ReadInterface(std::span<const std::uint8_t> body)
{
    if (body.size() < 8)
        return Fail(PcapError::BadBlock, "an interface description too short for its fields");
    Interface described;
    described.linkType = Field16(body.data());
    described.snapLength = Field32(body.data() + 4);
    // Options: 16-bit code and length, the value padded to four bytes, until the end option.
    std::size_t at = 8;
    while (body.size() - at >= 4) {
        const std::uint16_t code = Field16(body.data() + at);
        const std::uint16_t length = Field16(body.data() + at + 2);
        at += 4;
        if (code == kOptionEnd)
            break;
        if (body.size() - at < length)
            return Fail(PcapError::BadBlock, "an interface option past the block's end");
        const std::uint8_t* value = body.data() + at;
        if (code == kOptionTimeUnit && length == 1) {
            described.timeUnit = value[0];
        } else if (code == kOptionTimeOffset && length == 8) {
            const std::uint64_t first = Field32(value);
            const std::uint64_t second = Field32(value + 4);
            // A 64-bit field in the section's byte order.
            described.timeOffsetSeconds =
                static_cast<std::int64_t>(m_swapped ? first << 32 | second : second << 32 | first);
        }
        // The last option's padding may be missing at the block's end.
        at = std::min(body.size(), at + PaddedTo4(length));
    }
    const int exponent = described.timeUnit & 0x7F;
    if ((described.timeUnit & 0x80) == 0 ? exponent > kFinestDecimalUnit : exponent > 63) {
        m_detail = std::to_string(m_interfaces.size());
        return Fail(PcapError::TimeUnit);
    }
    if (!CheckLinkType(described.linkType))
        return false;
    m_interfaces.push_back(described);
    return true;
}

bool PcapReader::ReadEnhancedPacket(std::span<const std::uint8_t> body, PcapPacket& packet)
{
    // Interface, time (high and low 32 bits), stored length, original length, the data.
    if (body.size() < 20)
        return Fail(PcapError::BadBlock, "a packet block too short for its fields");
    const std::uint32_t id = Field32(body.data());
    if (id >= m_interfaces.size()) {
        m_detail = std::to_string(id);
        return Fail(PcapError::NoInterface);
    }
    const Interface& source = m_interfaces[id];
    const std::uint32_t stored = Field32(body.data() + 12);
    if (stored == 0)
        return Fail(PcapError::EmptyPacket);
    if (stored > body.size() - 20)
        return Fail(PcapError::BadBlock, "a packet longer than its block");
    const std::uint64_t count =
        static_cast<std::uint64_t>(Field32(body.data() + 4)) << 32 | Field32(body.data() + 8);
    if (!TakeFrame(body.subspan(20, stored), source.linkType, packet))
        return false;
    packet.timeUs = CountToMicroseconds(count, source.timeUnit, source.timeOffsetSeconds);
    m_lastTimeUs = packet.timeUs;
    return true;
}

bool PcapReader::ReadSimplePacket(std::span<const std::uint8_t> body, PcapPacket& packet)
{
    // The original length, then the data, cut to the first interface's snapshot length.
    if (m_interfaces.empty()) {
        m_detail = "0";
        return Fail(PcapError::NoInterface);
    }
    if (body.size() < 4)
        return Fail(PcapError::BadBlock, "a packet block too short for its fields");
    const Interface& source = m_interfaces.front();
    std::size_t stored = Field32(body.data());
    if (source.snapLength != 0)
        stored = std::min<std::size_t>(stored, source.snapLength);
    if (stored == 0)
        return Fail(PcapError::EmptyPacket);
    if (stored > body.size() - 4)
        return Fail(PcapError::BadBlock, "a packet longer than its block");
    if (!TakeFrame(body.subspan(4, stored), source.linkType, packet))
        return false;
    // The block carries no time: the packet takes the time of the one before it.
    packet.timeUs = m_lastTimeUs;
    return true;
}

bool PcapReader::NextBlockPacket(PcapPacket& packet)
{
    for (;;) {
        std::array<std::uint8_t, 8> head{};
        bool nothing = false;
        if (!ReadExactly(head.data(), head.size(), nothing)) {
            // A clean end lies between blocks; anything else is a cut file.
            if (m_error == PcapError::None && !nothing) {
                ++m_blockCount;
                m_error = PcapError::Truncated;
            }
            return false;
        }
        ++m_blockCount;
        const std::uint32_t type = Little32(head.data()) == kPcapngSectionHeader
                                       ? kPcapngSectionHeader
                                       : Field32(head.data());
        if (type == kPcapngSectionHeader) {
            // A new section, whose byte order may differ.
            if (!ReadSectionHeader(head.data() + 4))
                return false;
            continue;
        }
        const std::uint32_t length = Field32(head.data() + 4);
        const bool packetBlock = type == kEnhancedPacketBlock || type == kSimplePacketBlock;
        if (packetBlock)
            ++m_packets;
        if (length < kBlockFrameSize || length % 4 != 0)
            return Fail(PcapError::BadBlock, std::to_string(length) + " bytes long");
        if (std::find(kBlocksWithoutPackets.begin(), kBlocksWithoutPackets.end(), type) !=
            kBlocksWithoutPackets.end()) {
            if (!SkipBlockBody(length))
                return false;
            continue;
        }
        if (type != kInterfaceBlock && !packetBlock) {
            m_detail = Hex32(type);
            return Fail(PcapError::UnknownBlock);
        }
        if (length > kMaxBlockLength) {
            m_errorLength = length;
            return packetBlock ? Fail(PcapError::PacketTooLong)
                               : Fail(PcapError::BadBlock, std::to_string(length) + " bytes long");
        }
        m_packet.clear();
        if (!ReadBlockBody(length, 0))
            return false;
        const std::span<const std::uint8_t> body(m_packet);
        if (type == kInterfaceBlock) {
            if (!ReadInterface(body))
                return false;
            continue;
        }
        return type == kEnhancedPacketBlock ? ReadEnhancedPacket(body, packet)
                                            : ReadSimplePacket(body, packet);
    }
}

std::string PcapReader::Describe() const
{
    const std::string packet = "packet " + std::to_string(m_packets);
    const std::string block = "block " + std::to_string(m_blockCount);
    switch (m_error) {
    case PcapError::None:
        return {};
    case PcapError::NotPcap:
        return "not a pcap capture file (neither classic pcap nor pcapng)";
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
        if (m_blocks)
            return "the file ends inside " + block;
        return m_packets == 0 ? "the file ends inside its header"
                              : "the file ends inside " + packet;
    case PcapError::ReadFailed:
        return "the file could not be read";
    case PcapError::BadBlock:
        return block + " is damaged: " + m_detail;
    case PcapError::UnknownBlock:
        return block + " is of type " + m_detail + ", which is not read";
    case PcapError::NoInterface:
        return packet + " names interface " + m_detail + ", which its section does not describe";
    case PcapError::TimeUnit:
        return "interface " + m_detail + " counts time in units finer than 64 bits can carry";
    }
    return {};
}

} // namespace quillon
