// Any record, decoded under every float order and dump variant and shown in the Detail list.
// The four orders must give the same number of values, related by byte and word swaps; every
// value becomes the float or integer that its line says; the hexadecimal line gives back the
// frame's bytes; and the detail view shows nothing for a Frame-list choice while running.

#include <bit>
#include <cmath>
#include <cstdlib>

#include "decode/ieee754.h"
#include "decode/value_text.h"
#include "fuzz_support.h"
#include "headless/memory_controls.h"
#include "monitor/detail_view.h"

namespace quillon::fuzz {
namespace {

constexpr std::array<FloatOrder, kFloatOrderCount> kOrders{
    FloatOrder::BigEndian, FloatOrder::LittleEndian, FloatOrder::BigEndianWordSwap,
    FloatOrder::LittleEndianWordSwap};

std::uint32_t Swapped(std::uint32_t v)
{
    return (v >> 24) | ((v >> 8) & 0xFF00U) | ((v << 8) & 0xFF0000U) | (v << 24);
}

std::uint32_t WordsSwapped(std::uint32_t v)
{
    return (v >> 16) | (v << 16);
}

// The value under each order, worked out from its big-endian reading.
std::uint32_t InOrder(std::uint32_t bigEndian, FloatOrder order)
{
    switch (order) {
    case FloatOrder::LittleEndian:
        return Swapped(bigEndian);
    case FloatOrder::BigEndianWordSwap:
        return WordsSwapped(bigEndian);
    case FloatOrder::LittleEndianWordSwap:
        return Swapped(WordsSwapped(bigEndian));
    case FloatOrder::BigEndian:
        break;
    }
    return bigEndian;
}

void CheckFloat(std::uint32_t bits)
{
    const float got = IEEE754::ToFloat(bits);
    const auto want = std::bit_cast<float>(bits);
    Require(std::isnan(want) ? std::isnan(got) && std::signbit(got) == std::signbit(want)
                             : std::bit_cast<std::uint32_t>(got) == bits,
            "IEEE 754 reading", bits);
}

void CheckDecoding(std::span<const std::uint8_t> frame)
{
    const auto at = [&](std::size_t i) -> std::uint8_t { return i < frame.size() ? frame[i] : 0; };
    const RegisterLayout layout = LayoutOf(at(1));
    const std::size_t length = std::min(frame.size(), kDataRoom);
    const std::size_t c = at(layout.countByte);
    for (const DumpVariant variant :
         {DumpVariant::PerByte, DumpVariant::WordsLowFirst, DumpVariant::ReversedGroups}) {
        const RegisterDecoder decoder(variant);
        const RegisterValues reference = decoder.DecodeRegisters(frame, FloatOrder::BigEndian);
        ItemKind items = layout.items;
        std::size_t itemBytes = items == ItemKind::Byte ? 1 : 4;
        if (items == ItemKind::Dump && variant == DumpVariant::PerByte)
            itemBytes = 1;
        else if (items == ItemKind::Dump && variant == DumpVariant::WordsLowFirst)
            itemBytes = 2;
        const std::size_t count = c > length ? 0 : std::min(c / itemBytes, kMaxValues);
        Require(reference.Count() == count, "number of values");

        for (const FloatOrder order : kOrders) {
            const RegisterValues values = decoder.DecodeRegisters(frame, order);
            Require(values.Count() == count, "number of values depends on the order");
            for (std::size_t i = 0; i < count; ++i) {
                const std::uint32_t v = values.Values()[i];
                const std::uint32_t big = reference.Values()[i];
                Require(itemBytes == 4 ? v == InOrder(big, order) : v == big,
                        "value under another order", static_cast<long long>(i));
                Require(itemBytes == 4 || v < (1U << (8 * itemBytes)), "value out of range");
                CheckFloat(v);
            }
        }
    }
}

// A capture of one record, in a given run state, with a given filter outcome.
class OneRecord : public CaptureView
{
public:
    OneRecord(std::span<const std::uint8_t> frame, RunState state, bool passes)
        : m_frame(frame), m_state(state), m_passes(passes)
    {
    }
    [[nodiscard]] int LineCount() const override { return 1; }
    [[nodiscard]] std::span<const std::uint8_t> RecordFrame(int index) const override
    {
        return index == 0 ? m_frame : std::span<const std::uint8_t>();
    }
    [[nodiscard]] bool PassesFilter(int index) const override { return index == 0 && m_passes; }
    [[nodiscard]] RunState State() const override { return m_state; }

private:
    std::span<const std::uint8_t> m_frame;
    RunState m_state;
    bool m_passes;
};

void CheckHexLine(const std::string& line, std::span<const std::uint8_t> frame)
{
    constexpr std::string_view kDigits = "0123456789ABCDEF";
    const std::size_t shown = std::min(frame.size(), kDataRoom);
    Require(line.size() == 4 * shown, "length of the hexadecimal line");
    for (std::size_t k = 0; k < shown; ++k) {
        const std::size_t high = kDigits.find(line[4 * k + 1]);
        const std::size_t low = kDigits.find(line[4 * k + 2]);
        Require(line[4 * k] == '[' && line[4 * k + 3] == ']' && high != kDigits.npos &&
                    low != kDigits.npos && high * 16 + low == frame[k],
                "hexadecimal pair", static_cast<long long>(k));
    }
}

void CheckValueLine(const std::string& line, std::uint32_t value, bool asFloat)
{
    Require(!line.empty() && line.size() < kValueTextRoom, "length of a value line");
    if (!asFloat) {
        Require(line == std::to_string(value), "integer line", value);
        return;
    }
    const float f = IEEE754::ToFloat(value);
    if (std::isnan(f)) {
        Require(line.find("nan") != std::string::npos, "NaN line", value);
        return;
    }
    if (std::isinf(f)) {
        Require(line == (f < 0 ? "-inf" : "inf"), "infinity line", value);
        return;
    }
    // Six decimals: the text is within half a millionth of the value.
    const double shown = std::strtod(line.c_str(), nullptr);
    Require(std::fabs(shown - static_cast<double>(f)) <= 5e-7 + std::fabs(shown) * 1e-15,
            "float line", value);
    Require(line.size() > 7 && line[line.size() - 7] == '.', "six decimals", value);
}

void CheckDetailView(std::span<const std::uint8_t> frame, std::uint8_t choice)
{
    const auto state = static_cast<RunState>(choice % 3);
    const bool fromFiltered = (choice & 4U) != 0;
    const bool passes = (choice & 8U) != 0;
    const OneRecord capture(frame, state, passes);
    MemoryListBox frameList;
    MemoryListBox filteredList;
    MemoryListBox detailList;
    MemoryComboBox floatOrder;
    FillFloatOrderBox(floatOrder);
    frameList.Add("line");
    filteredList.Add("line");
    DetailView view(capture, frameList, filteredList, detailList, floatOrder);

    const std::uint8_t code = frame.size() > 1 ? frame[1] : 0;
    const bool asFloat = IsFloatDisplayCode(code);
    for (std::size_t o = 0; o < kFloatOrderCount; ++o) {
        floatOrder.SetSelection(static_cast<int>(o));
        detailList.Clear();
        detailList.Add("before");
        if (fromFiltered) {
            filteredList.SetSelection(0);
            view.OnFilteredListSelChange();
        } else {
            frameList.SetSelection(0);
            view.OnFrameListSelChange();
        }
        const bool shows = fromFiltered ? passes : state != RunState::Running;
        if (!shows) {
            Require(detailList.Count() == 1 && detailList.Text(0) == "before",
                    "the Detail list changed for a choice it must not show");
            continue;
        }
        const FloatOrder order = asFloat ? kOrders[o] : FloatOrder::BigEndian;
        const RegisterValues values = RegisterDecoder().DecodeRegisters(frame, order);
        Require(detailList.Count() == static_cast<int>(1 + values.Count()), "Detail list length");
        CheckHexLine(detailList.Text(0), frame);
        for (std::size_t i = 0; i < values.Count(); ++i)
            CheckValueLine(detailList.Text(static_cast<int>(i + 1)), values.Values()[i], asFloat);
    }
}

} // namespace
} // namespace quillon::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillon::fuzz;
    if (size == 0)
        return 0;
    const std::span<const std::uint8_t> frame(data + 1, size - 1);
    CheckDecoding(frame);
    CheckDetailView(frame, data[0]);
    return 0;
}
