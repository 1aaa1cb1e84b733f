// Arbitrary bytes as a pcap or pcapng capture file. The frames the reader hands on are compared
// with a plain reading of the file format, every frame must fit a record, and what was read must
// come back unchanged through the writer and the reader again.

#include "formats/pcap_reader.h"
#include "formats/pcap_writer.h"
#include "fuzz_support.h"

namespace quillon::fuzz {
namespace {

struct PlainPacket
{
    Bytes frame;
    std::int64_t timeUs = 0;
};

struct PlainRead
{
    std::vector<PlainPacket> packets;
    bool refused = false; // the reading stopped before a clean end
};

std::uint32_t Field(std::span<const std::uint8_t> data, std::size_t at, bool big)
{
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t k = at + static_cast<std::size_t>(big ? i : 3 - i);
        value = value << 8 | data[k];
    }
    return value;
}

// The file as the format describes it, with the limits the monitor sets.
PlainRead ReadPlainly(std::span<const std::uint8_t> data)
{
    PlainRead read;
    read.refused = true;
    if (data.size() < 24)
        return read;
    bool big = false;
    const std::uint32_t magic = Field(data, 0, false);
    if (magic != kPcapMagicMicroseconds && magic != kPcapMagicNanoseconds) {
        big = true;
        if (Field(data, 0, true) != kPcapMagicMicroseconds &&
            Field(data, 0, true) != kPcapMagicNanoseconds)
            return read;
    }
    const bool nano = Field(data, 0, big) == kPcapMagicNanoseconds;
    const std::uint32_t link = Field(data, 20, big) & 0xFFFFU;
    if (link != kLinkTypeUpperPdu && link != kLinkTypeUser0)
        return read;
    std::size_t at = 24;
    while (at < data.size()) {
        if (data.size() - at < 16)
            return read;
        const std::uint32_t stored = Field(data, at + 8, big);
        const std::int64_t time =
            static_cast<std::int64_t>(Field(data, at, big)) * 1000000 +
            (nano ? Field(data, at + 4, big) / 1000 : Field(data, at + 4, big));
        at += 16;
        // A packet holds at most the longest frame and, exported, 1024 bytes of tags before it.
        const std::size_t room = kMaxFrameLength + (link == kLinkTypeUpperPdu ? 1024 : 0);
        if (stored == 0 || stored > room || stored > data.size() - at)
            return read;
        auto packet = data.subspan(at, stored);
        at += stored;
        if (link == kLinkTypeUpperPdu) {
            bool rtu = false;
            std::size_t t = 0;
            for (;;) {
                if (packet.size() - t < 4)
                    return read;
                const unsigned tag = packet[t] << 8 | packet[t + 1];
                const std::size_t length = packet[t + 2] << 8 | packet[t + 3];
                t += 4;
                if (tag == 0)
                    break;
                if (packet.size() - t < length)
                    return read;
                if (tag == kPduTagDissectorName) {
                    std::string name(packet.begin() + static_cast<long>(t),
                                     packet.begin() + static_cast<long>(t + length));
                    rtu = name.substr(0, name.find('\0')) == kModbusRtuDissector;
                }
                t += length;
            }
            if (!rtu)
                return read;
            packet = packet.subspan(t);
        }
        if (packet.empty() || packet.size() > kMaxFrameLength)
            return read;
        read.packets.push_back({Bytes(packet.begin(), packet.end()), time});
    }
    read.refused = false;
    return read;
}

std::vector<PlainPacket> ReadWithReader(std::span<const std::uint8_t> data, PcapError& error)
{
    std::vector<PlainPacket> packets;
    std::vector<std::uint8_t> copy(data.begin(), data.end());
    copy.push_back(0);
    std::FILE* file = ::fmemopen(copy.data(), std::max<std::size_t>(data.size(), 1), "rb");
    Require(file != nullptr, "no memory file");
    if (data.empty())
        (void)std::fgetc(file);
    PcapReader reader(file);
    PcapPacket packet;
    while (reader.Next(packet)) {
        Require(packet.length >= 1 && packet.length <= kMaxFrameLength, "frame length",
                static_cast<long long>(packet.number));
        Require(packet.number == packets.size() + 1, "packet number");
        packets.push_back({Bytes(packet.Frame().begin(), packet.Frame().end()), packet.timeUs});
    }
    error = reader.Error();
    Require(error == PcapError::None || !reader.Describe().empty(), "an error without words");
    std::fclose(file);
    return packets;
}

} // namespace
} // namespace quillon::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillon;
    using namespace quillon::fuzz;
    const std::span<const std::uint8_t> input(data, size);
    // pcapng has no plain reading here: its packets are held to the reader's own rules alone.
    if (size >= 4 && Field(input, 0, false) == kPcapngSectionHeader) {
        PcapError error = PcapError::None;
        (void)ReadWithReader(input, error);
        return 0;
    }
    const PlainRead expected = ReadPlainly(input);
    PcapError error = PcapError::None;
    const std::vector<PlainPacket> packets = ReadWithReader(input, error);
    Require((error != PcapError::None) == expected.refused, "refused or not");
    Require(packets.size() == expected.packets.size(), "packets read");
    for (std::size_t i = 0; i < packets.size(); ++i) {
        Require(packets[i].frame == expected.packets[i].frame, "frame bytes",
                static_cast<long long>(i));
        Require(packets[i].timeUs == expected.packets[i].timeUs, "packet time",
                static_cast<long long>(i));
    }

    // Written again and read back: the same frames and times.
    std::string file;
    AppendPcapFileHeader(file);
    for (const PlainPacket& packet : packets)
        AppendPcapPacket(file, packet.frame, packet.timeUs);
    const std::span<const std::uint8_t> written(reinterpret_cast<const std::uint8_t*>(file.data()),
                                                file.size());
    PcapError again = PcapError::None;
    const std::vector<PlainPacket> back = ReadWithReader(written, again);
    Require(again == PcapError::None && back.size() == packets.size(), "written file reads back");
    // A sub-second field past its second can carry a time beyond the latest the writer's
    // 32-bit seconds hold; it is written as that latest time.
    constexpr std::int64_t kLatest = 0xFFFFFFFFLL * 1000000 + 999999;
    for (std::size_t i = 0; i < back.size(); ++i)
        Require(back[i].frame == packets[i].frame &&
                    back[i].timeUs == std::min(packets[i].timeUs, kLatest),
                "written packet reads back", static_cast<long long>(i));
    return 0;
}
