#include "decode/float_order.h"

namespace quillon {

std::optional<FloatOrder> FloatOrderFromText(std::string_view text)
{
    for (std::size_t i = 0; i < kFloatOrderTexts.size(); ++i) {
        if (kFloatOrderTexts[i] == text)
            return static_cast<FloatOrder>(i);
    }
    return std::nullopt;
}

std::optional<FloatOrder> FloatOrderFromValue(int value)
{
    if (value < 0 || value >= static_cast<int>(kFloatOrderCount))
        return std::nullopt;
    return static_cast<FloatOrder>(value);
}

std::uint32_t ArrangeGroup(const ByteGroup& group, FloatOrder order)
{
    const auto [b1, b2, b3, b4] = group;
    const auto join = [](std::uint32_t top, std::uint32_t high, std::uint32_t low,
                         std::uint32_t bottom) {
        return (top << 24) | (high << 16) | (low << 8) | bottom;
    };
    switch (order) {
    case FloatOrder::BigEndian:
        return join(b1, b2, b3, b4);
    case FloatOrder::LittleEndian:
        return join(b4, b3, b2, b1);
    case FloatOrder::BigEndianWordSwap:
        return join(b3, b4, b1, b2);
    case FloatOrder::LittleEndianWordSwap:
        return join(b2, b1, b4, b3);
    }
    return join(b1, b2, b3, b4);
}

} // namespace quillon
