#include "decode/register_decoder.h"

#include <algorithm>

namespace quillon {

namespace {

constexpr std::size_t kCodeCount = 256;

// Most codes carry their data length at byte 2 with the data right behind it; a few read
// the length at byte 6, behind a four-byte header (address and quantity).
constexpr RegisterLayout kShortHeader{2, 3, ItemKind::Group, DisplayForm::Integer};
constexpr RegisterLayout kLongHeader{6, 7, ItemKind::Group, DisplayForm::Integer};

constexpr std::array<RegisterLayout, kCodeCount> MakeLayouts()
{
    std::array<RegisterLayout, kCodeCount> layouts{};
    layouts.fill(kShortHeader);
    const auto set = [&layouts](std::initializer_list<std::uint8_t> codes, RegisterLayout base,
                                ItemKind items, DisplayForm display) {
        for (const std::uint8_t code : codes)
            layouts[code] = RegisterLayout{base.countByte, base.firstDataByte, items, display};
    };
    set({1}, kShortHeader, ItemKind::Byte, DisplayForm::Integer);
    set({3, 4, 17, 35, 41}, kShortHeader, ItemKind::Group, DisplayForm::Float);
    set({31, 66, 104}, kLongHeader, ItemKind::Byte, DisplayForm::Integer);
    set({16, 68, 102}, kLongHeader, ItemKind::Group, DisplayForm::Float);
    set({70, 107}, kLongHeader, ItemKind::Group, DisplayForm::Integer);
    set({105}, kLongHeader, ItemKind::Dump, DisplayForm::Integer);
    return layouts;
}

constexpr std::array<RegisterLayout, kCodeCount> kLayouts = MakeLayouts();

// Reads the decoder's view of a frame: its bytes, then zeros up to the end of the data room.
class FrameReader
{
public:
    explicit FrameReader(std::span<const std::uint8_t> frame)
        : m_frame(frame.first(std::min(frame.size(), kDataRoom)))
    {
    }
    [[nodiscard]] std::size_t Length() const { return m_frame.size(); }
    [[nodiscard]] std::uint8_t At(std::size_t index) const
    {
        return index < m_frame.size() ? m_frame[index] : std::uint8_t{0};
    }
    [[nodiscard]] std::uint8_t Next() { return At(m_position++); }
    [[nodiscard]] ByteGroup NextGroup()
    {
        ByteGroup group{};
        for (auto& byte : group)
            byte = Next();
        return group;
    }
    void MoveTo(std::size_t position) { m_position = position; }

private:
    std::span<const std::uint8_t> m_frame;
    std::size_t m_position = 0;
};

} // namespace

RegisterLayout LayoutOf(std::uint8_t functionCode)
{
    return kLayouts[functionCode];
}

bool IsFloatDisplayCode(std::uint8_t functionCode)
{
    return LayoutOf(functionCode).display == DisplayForm::Float;
}

bool RegisterValues::Append(std::uint32_t value)
{
    if (Full())
        return false;
    m_values[m_count++] = value;
    return true;
}

RegisterValues RegisterDecoder::DecodeRegisters(std::span<const std::uint8_t> frame,
                                                FloatOrder order) const
{
    RegisterValues values;
    FrameReader reader(frame);
    const RegisterLayout layout = LayoutOf(reader.At(1));
    const std::size_t dataLength = reader.At(layout.countByte);
    // The data length is checked against the whole frame, header and CRC included, so a
    // length that overshoots the data reads into the CRC and the zeros behind it.
    if (dataLength > reader.Length())
        return values;
    reader.MoveTo(layout.firstDataByte);

    ItemKind items = layout.items;
    if (items == ItemKind::Dump && m_dumpVariant == DumpVariant::PerByte)
        items = ItemKind::Byte;

    if (items == ItemKind::Byte) {
        for (std::size_t n = 0; n < dataLength; ++n) {
            if (!values.Append(reader.Next()))
                break;
        }
    } else if (items == ItemKind::Group) {
        for (std::size_t n = 0; n < dataLength / 4; ++n) {
            if (!values.Append(ArrangeGroup(reader.NextGroup(), order)))
                break;
        }
    } else if (m_dumpVariant == DumpVariant::WordsLowFirst) {
        for (std::size_t n = 0; n < dataLength / 2; ++n) {
            const std::uint32_t low = reader.Next();
            const std::uint32_t high = reader.Next();
            if (!values.Append(low + 256 * high))
                break;
        }
    } else {
        for (std::size_t n = 0; n < dataLength / 4; ++n) {
            const ByteGroup group = reader.NextGroup();
            if (!values.Append(ArrangeGroup({group[3], group[2], group[1], group[0]}, order)))
                break;
        }
    }
    return values;
}

std::array<char, 2> HexPair(std::uint8_t byte)
{
    constexpr std::string_view kDigits = "0123456789ABCDEF";
    return {kDigits[byte >> 4], kDigits[byte & 0x0F]};
}

std::string HexText(std::span<const std::uint8_t> bytes, char open, char close)
{
    const std::size_t perByte = 2 + (open != '\0' ? 1 : 0) + (close != '\0' ? 1 : 0);
    std::string text;
    text.reserve(bytes.size() * perByte);
    for (const std::uint8_t byte : bytes) {
        if (open != '\0')
            text.push_back(open);
        const auto pair = HexPair(byte);
        text.append(pair.begin(), pair.end());
        if (close != '\0')
            text.push_back(close);
    }
    return text;
}

std::string FrameHexText(std::span<const std::uint8_t> frame, char open, char close)
{
    return HexText(frame.first(std::min(frame.size(), kDataRoom)), open, close);
}

} // namespace quillon
