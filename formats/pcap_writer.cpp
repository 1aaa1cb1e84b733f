#include "formats/pcap_writer.h"

#include <algorithm>
#include <array>
#include <optional>

#include "formats/capture_formats.h"

namespace quillon {

namespace {

// The tags in front of every frame: the dissector name, its value unpadded, then the end tag.
constexpr std::size_t kTagsSize = 4 + kModbusRtuDissector.size() + 4;

void AppendLittle32(std::string& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFFU));
}

void AppendLittle16(std::string& out, std::uint16_t value)
{
    out.push_back(static_cast<char>(value & 0xFFU));
    out.push_back(static_cast<char>(value >> 8));
}

} // namespace

void AppendPcapFileHeader(std::string& out)
{
    AppendLittle32(out, kPcapMagicMicroseconds);
    AppendLittle16(out, 2); // format version 2.4
    AppendLittle16(out, 4);
    AppendLittle32(out, 0);     // times are UTC
    AppendLittle32(out, 0);     // timestamp accuracy, unused
    AppendLittle32(out, 65535); // snapshot length: no packet is cut short
    AppendLittle32(out, kLinkTypeUpperPdu);
}

void AppendPcapPacket(std::string& out, std::span<const std::uint8_t> frame, std::int64_t timeUs)
{
    const std::int64_t time = std::clamp<std::int64_t>(timeUs, 0, kLatestPcapTimeUs);
    const auto length = static_cast<std::uint32_t>(kTagsSize + frame.size());
    // The packet header and the tags in front of the frame, put together and appended at once.
    std::array<char, kPcapPacketHeaderSize + kTagsSize> head{};
    const auto put32 = [&head](std::size_t at, std::uint32_t value) {
        for (std::size_t i = 0; i < 4; ++i)
            head[at + i] = static_cast<char>((value >> (8 * i)) & 0xFFU);
    };
    put32(0, static_cast<std::uint32_t>(time / 1000000));
    put32(4, static_cast<std::uint32_t>(time % 1000000));
    put32(8, length);  // bytes in the file
    put32(12, length); // bytes on the wire
    std::size_t at = kPcapPacketHeaderSize;
    head[at++] = static_cast<char>(kPduTagDissectorName >> 8);
    head[at++] = static_cast<char>(kPduTagDissectorName & 0xFFU);
    head[at++] = 0;
    head[at++] = static_cast<char>(kModbusRtuDissector.size());
    for (const char c : kModbusRtuDissector)
        head[at++] = c;
    // The end tag: type 0, length 0, as the array's zeros already are.
    out.append(head.data(), head.size());
    out.append(reinterpret_cast<const char*>(frame.data()), frame.size());
}

} // namespace quillon

namespace quillon {

namespace {

class PcapFormatter final : public FrameFormatter
{
public:
    void AppendHeader(std::string& out) override { AppendPcapFileHeader(out); }
    void AppendFrame(std::string& out,
                     std::span<const std::uint8_t> frame,
                     const FrameInfo& info,
                     std::string_view /*summary*/) override
    {
        // A time the header cannot hold is no time to it: the frame takes the time before it,
        // as a log line whose text is not a time does, and is counted.
        if (PcapHoldsTime(info.timeUs)) {
            m_heldTimeUs = info.timeUs;
        } else {
            ++m_unheld;
            if (!m_heldTimeUs)
                m_heldTimeUs = std::clamp<std::int64_t>(info.timeUs, 0, kLatestPcapTimeUs);
        }
        AppendPcapPacket(out, frame, *m_heldTimeUs);
    }
    [[nodiscard]] std::uint64_t UnheldTimes() const override { return m_unheld; }

private:
    std::optional<std::int64_t> m_heldTimeUs; // the last time written
    std::uint64_t m_unheld = 0;
};

} // namespace

std::unique_ptr<FrameFormatter> MakePcapFormatter()
{
    return std::make_unique<PcapFormatter>();
}

} // namespace quillon
