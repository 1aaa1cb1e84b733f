#include <gtest/gtest.h>

#include "formats/pcap_reader.h"
#include "formats/pcap_writer.h"
#include "support/capture_rig.h"

namespace quillon {
namespace {

using test::Bytes;
using test::Cat;
using test::Hex;

struct ReadResult
{
    std::vector<Bytes> frames;
    std::vector<std::int64_t> times;
    PcapError error = PcapError::None;
    std::string message;
};

ReadResult ReadAll(const std::string& file)
{
    ReadResult result;
    std::string copy = file; // fmemopen needs a writable buffer of at least one byte
    copy.push_back('\0');
    std::FILE* in = ::fmemopen(copy.data(), file.size() == 0 ? 1 : file.size(), "rb");
    if (file.empty())
        std::fgetc(in); // an empty file: nothing to read
    PcapReader reader(in);
    PcapPacket packet;
    while (reader.Next(packet)) {
        result.frames.emplace_back(packet.Frame().begin(), packet.Frame().end());
        result.times.push_back(packet.timeUs);
        EXPECT_EQ(packet.number, result.frames.size());
    }
    result.error = reader.Error();
    result.message = reader.Describe();
    std::fclose(in);
    return result;
}

std::string Text(const Bytes& bytes)
{
    return {bytes.begin(), bytes.end()};
}

TEST(PcapWriter, PacketsCarryTheRtuDissectorNameAndReadBackAsWritten)
{
    std::string file;
    AppendPcapFileHeader(file);
    const Bytes query = Hex("01 03 00 00 00 0A C5 CD");
    AppendPcapPacket(file, query, 1329399042075000);
    // The header fields little-endian, link type 252; the packet's tags big-endian and unpadded.
    EXPECT_EQ(Bytes(file.begin(), file.end()),
              Cat({Hex("D4 C3 B2 A1 02 00 04 00 00000000 00000000 FFFF0000 FC000000"),
                   Hex("02 05 3D 4F F8 24 01 00 15 00 00 00 15 00 00 00"), Hex("00 0C 00 05"),
                   Bytes{'m', 'b', 'r', 't', 'u'}, Hex("00 00 00 00"), query}));

    // Every byte as captured: a CRC error, a one-byte scrap and the longest frame; times held
    // to what 32-bit seconds carry.
    const std::vector<Bytes> frames{Hex("01 03 00 00 00 0A C5 CE"), Hex("FF"),
                                    Bytes(kMaxFrameLength, 0x5A)};
    const std::vector<std::int64_t> times{1, -5, std::int64_t{1} << 60};
    for (std::size_t i = 0; i < frames.size(); ++i)
        AppendPcapPacket(file, frames[i], times[i]);
    const ReadResult back = ReadAll(file);
    EXPECT_EQ(back.error, PcapError::None);
    ASSERT_EQ(back.frames.size(), 4u);
    EXPECT_EQ(back.frames[0], query);
    for (std::size_t i = 0; i < frames.size(); ++i)
        EXPECT_EQ(back.frames[i + 1], frames[i]);
    EXPECT_EQ(back.times,
              (std::vector<std::int64_t>{1329399042075000, 1, 0, 0xFFFFFFFFLL * 1000000 + 999999}));
}

// A pcap file in either byte order and time unit, with raw packets.
struct Foreign
{
    bool bigEndian = false;
    bool nanoseconds = false;
    std::uint32_t linkType = kLinkTypeUser0;
};

void Put32(std::string& out, std::uint32_t value, bool bigEndian)
{
    for (int i = 0; i < 4; ++i) {
        const int shift = bigEndian ? 24 - 8 * i : 8 * i;
        out.push_back(static_cast<char>((value >> shift) & 0xFFU));
    }
}

std::string ForeignHeader(const Foreign& f)
{
    std::string out;
    Put32(out, f.nanoseconds ? kPcapMagicNanoseconds : kPcapMagicMicroseconds, f.bigEndian);
    out += f.bigEndian ? Text(Hex("00 02 00 04")) : Text(Hex("02 00 04 00"));
    Put32(out, 0, f.bigEndian);
    Put32(out, 0, f.bigEndian);
    Put32(out, 262144, f.bigEndian);
    Put32(out, f.linkType, f.bigEndian);
    return out;
}

std::string ForeignPacket(const Foreign& f,
                          const Bytes& data,
                          std::uint32_t seconds,
                          std::uint32_t fraction,
                          std::uint32_t stored)
{
    std::string out;
    Put32(out, seconds, f.bigEndian);
    Put32(out, fraction, f.bigEndian);
    Put32(out, stored, f.bigEndian);
    Put32(out, stored, f.bigEndian);
    return out + Text(data);
}

std::string ForeignPacket(const Foreign& f,
                          const Bytes& data,
                          std::uint32_t seconds = 7,
                          std::uint32_t fraction = 5000)
{
    return ForeignPacket(f, data, seconds, fraction, static_cast<std::uint32_t>(data.size()));
}

Bytes Tags(const std::string& name)
{
    Bytes tags = Hex("00 0C 00");
    tags.push_back(static_cast<std::uint8_t>(name.size()));
    tags.insert(tags.end(), name.begin(), name.end());
    return Cat({tags, Hex("00 00 00 00")});
}

// A pcapng block in either byte order: type, total length, body padded to four, length again.
std::string Block(bool bigEndian, std::uint32_t type, const std::string& body)
{
    std::string padded = body + std::string((4 - body.size() % 4) % 4, '\0');
    const auto length = static_cast<std::uint32_t>(padded.size() + 12);
    std::string out;
    Put32(out, type, bigEndian);
    Put32(out, length, bigEndian);
    out += padded;
    Put32(out, length, bigEndian);
    return out;
}

std::string Section(bool bigEndian)
{
    std::string body;
    Put32(body, 0x1A2B3C4D, bigEndian);
    body += bigEndian ? Text(Hex("00 01 00 00")) : Text(Hex("01 00 00 00"));
    return Block(bigEndian, 0x0A0D0D0A, body + std::string(8, '\xFF'));
}

// An interface of the link type; `unit` is its if_tsresol option, 0xFF for none.
std::string Interface(bool bigEndian, std::uint32_t linkType, std::uint8_t unit = 0xFF)
{
    std::string body;
    Put32(body, bigEndian ? linkType << 16 : linkType, bigEndian);
    Put32(body, 0, bigEndian);
    if (unit != 0xFF) {
        Put32(body, bigEndian ? 0x00090001 : 0x00010009, bigEndian);
        body += std::string(1, static_cast<char>(unit)) + std::string(3, '\0');
    }
    return Block(bigEndian, 1, body);
}

std::string Enhanced(bool bigEndian, const Bytes& data, std::uint64_t count, std::uint32_t id = 0)
{
    std::string body;
    Put32(body, id, bigEndian);
    Put32(body, static_cast<std::uint32_t>(count >> 32), bigEndian);
    Put32(body, static_cast<std::uint32_t>(count), bigEndian);
    Put32(body, static_cast<std::uint32_t>(data.size()), bigEndian);
    Put32(body, static_cast<std::uint32_t>(data.size()), bigEndian);
    return Block(bigEndian, 6, body + Text(data));
}

TEST(PcapReader, ReadsEitherByteOrderAndTimeUnitAndRefusesWhatIsNoRtuCapture)
{
    const Bytes frame = Hex("01 03 00 00 00 0A C5 CD");
    const Foreign le{};
    const Foreign be{true, false, kLinkTypeUser0};
    const Foreign nano{false, true, kLinkTypeUser0};
    const Foreign beNano252{true, true, kLinkTypeUpperPdu};
    const Foreign pdu{false, false, kLinkTypeUpperPdu};
    // An exporter that pads the name and keeps other tags in front of it.
    const Bytes paddedTags =
        Cat({Hex("00 14 00 04 0A 00 00 01"), Tags(std::string("mbrtu\0\0\0", 8))});
    const std::string two = ForeignPacket(le, frame) + ForeignPacket(le, Hex("11 05"));
    struct Case
    {
        const char* what;
        std::string file;
        std::size_t frames;
        PcapError error;
        std::string message;
    };
    const std::vector<Case> cases{
        {"little-endian USER0", ForeignHeader(le) + two, 2, PcapError::None, ""},
        {"big-endian USER0", ForeignHeader(be) + ForeignPacket(be, frame), 1, PcapError::None, ""},
        {"nanoseconds", ForeignHeader(nano) + ForeignPacket(nano, frame, 7, 5000000), 1,
         PcapError::None, ""},
        {"big-endian nanoseconds, padded tags",
         ForeignHeader(beNano252) + ForeignPacket(beNano252, Cat({paddedTags, frame}), 7, 5000000),
         1, PcapError::None, ""},
        {"no packets", ForeignHeader(pdu), 0, PcapError::None, ""},
        {"empty file", "", 0, PcapError::NotPcap, "not a pcap capture file"},
        // pcapng: nanosecond and binary time units, a block without packets passed over, a
        // simple packet taking the time before it, a second section in the other byte order.
        {"pcapng",
         Section(false) + Interface(false, 147, 9) + Block(false, 4, "names") +
             Enhanced(false, frame, 7005000000) + Block(false, 3, Text(Hex("02 00 00 00 11 05"))),
         2, PcapError::None, ""},
        {"pcapng, two sections",
         Section(true) + Interface(true, 147, 0x80 | 20) +
             Enhanced(true, frame, (7ULL << 20) + 5243) + Section(false) +
             Enhanced(false, frame, 1),
         1, PcapError::NoInterface, "packet 2 names interface 0, which its section does not"},
        {"pcapng cut short",
         Section(false) + Interface(false, 147) + Enhanced(false, frame, 7005000) +
             Enhanced(false, frame, 8000000).substr(0, 20),
         1, PcapError::Truncated, "the file ends inside block 4"},
        {"pcapng ethernet", Section(false) + Interface(false, 1) + Enhanced(false, frame, 1), 0,
         PcapError::LinkType, "link type 1 does not carry"},
        {"pcapng unknown block", Section(false) + Interface(false, 147) + Block(false, 2, "old"), 0,
         PcapError::UnknownBlock, "block 3 is of type 0x00000002, which is not read"},
        {"pcapng cut header", Section(false).substr(0, 20), 0, PcapError::NotPcap,
         "not a pcap capture file"},
        {"ethernet", ForeignHeader(Foreign{false, false, 1}) + two, 0, PcapError::LinkType,
         "link type 1 does not carry"},
        {"cut in a packet", ForeignHeader(le) + two.substr(0, two.size() - 1), 1,
         PcapError::Truncated, "the file ends inside packet 2"},
        {"cut in a header", ForeignHeader(le) + two.substr(0, 30), 1, PcapError::Truncated,
         "the file ends inside packet 2"},
        {"zero length", ForeignHeader(le) + ForeignPacket(le, {}) + two, 0, PcapError::EmptyPacket,
         "packet 1 holds no frame byte"},
        {"tags only", ForeignHeader(pdu) + ForeignPacket(pdu, Tags("mbrtu")), 0,
         PcapError::EmptyPacket, "packet 1 holds no frame byte"},
        {"603 bytes", ForeignHeader(le) + two + ForeignPacket(le, Bytes(603, 1)), 2,
         PcapError::PacketTooLong, "packet 3 holds 603 bytes, more than the longest frame (602)"},
        {"603 bytes behind tags",
         ForeignHeader(pdu) + ForeignPacket(pdu, Cat({Tags("mbrtu"), Bytes(603, 1)})), 0,
         PcapError::PacketTooLong, "packet 1 holds 603 bytes"},
        {"4 GB length", ForeignHeader(le) + ForeignPacket(le, frame, 7, 0, 0xFFFFFFFFU), 0,
         PcapError::PacketTooLong, "packet 1 holds 4294967295 bytes"},
        {"another dissector", ForeignHeader(pdu) + ForeignPacket(pdu, Cat({Tags("mbtcp"), frame})),
         0, PcapError::NotModbusRtu, "packet 1 is not exported for the Modbus RTU dissector"},
        {"tag past the packet", ForeignHeader(pdu) + ForeignPacket(pdu, Hex("00 0C 00 09 6D 62")),
         0, PcapError::NotModbusRtu, "packet 1 is not exported"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ReadResult result = ReadAll(c.file);
        EXPECT_EQ(result.frames.size(), c.frames);
        EXPECT_EQ(result.error, c.error);
        EXPECT_EQ(result.message.substr(0, c.message.size()), c.message);
        if (!result.frames.empty()) {
            EXPECT_EQ(result.frames[0], frame);
            EXPECT_EQ(result.times[0], 7005000);
        }
    }
}

} // namespace
} // namespace quillon
