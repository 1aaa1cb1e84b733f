#include "portsetup/mode_string.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

namespace quillon {

namespace {

constexpr int kMinDataBits = 5;
constexpr int kMaxDataBits = 8;
// The widest rate a port driver takes is a signed 32-bit number.
constexpr std::uint32_t kMaxBaud = std::numeric_limits<std::int32_t>::max();

std::vector<std::string_view> SplitAtBlanks(std::string_view text)
{
    std::vector<std::string_view> words;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t start = text.find_first_not_of(' ', pos);
        if (start == std::string_view::npos)
            break;
        std::size_t end = text.find(' ', start);
        if (end == std::string_view::npos)
            end = text.size();
        words.push_back(text.substr(start, end - start));
        pos = end;
    }
    return words;
}

// Digits only, no sign, no blank; the whole text must be the number.
std::optional<std::uint32_t> Decimal(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<Parity> ParityFromLetter(std::string_view text)
{
    if (text.size() != 1)
        return std::nullopt;
    switch (text.front()) {
    case 'N':
    case 'n':
        return Parity::None;
    case 'O':
    case 'o':
        return Parity::Odd;
    case 'E':
    case 'e':
        return Parity::Even;
    case 'M':
    case 'm':
        return Parity::Mark;
    case 'S':
    case 's':
        return Parity::Space;
    default:
        return std::nullopt;
    }
}

std::optional<StopBits> StopBitsFromText(std::string_view text)
{
    if (text == "1")
        return StopBits::One;
    if (text == "1.5")
        return StopBits::OneAndHalf;
    if (text == "2")
        return StopBits::Two;
    return std::nullopt;
}

} // namespace

std::string BuildModeString(const PortSettings& settings)
{
    std::string mode = settings.port;
    mode += ": baud=";
    mode += settings.baud;
    mode += " parity=";
    mode += settings.parity;
    mode += " data=";
    mode += settings.dataLength;
    mode += " stop=";
    mode += settings.stopBits;
    if (mode.size() > kModeStringMax)
        mode.resize(kModeStringMax);
    return mode;
}

bool ParseModeString(std::string_view mode, LineState& state)
{
    // The device name ends at the colon; the parameters follow as blank-separated key=value words
    // in a fixed order.
    const std::size_t colon = mode.find(':');
    if (colon == std::string_view::npos)
        return false;
    const std::string_view parameters = mode.substr(colon + 1);
    if (parameters.empty() || parameters.front() != ' ')
        return false;

    constexpr std::array<std::string_view, 4> kKeys{"baud=", "parity=", "data=", "stop="};
    const std::vector<std::string_view> words = SplitAtBlanks(parameters);
    if (words.size() != kKeys.size())
        return false;
    std::array<std::string_view, kKeys.size()> values;
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        if (!words[i].starts_with(kKeys[i]))
            return false;
        values[i] = words[i].substr(kKeys[i].size());
    }

    const std::optional<std::uint32_t> baud = Decimal(values[0]);
    if (!baud || *baud == 0 || *baud > kMaxBaud)
        return false;
    const std::optional<Parity> parity = ParityFromLetter(values[1]);
    if (!parity)
        return false;
    const std::optional<std::uint32_t> dataBits = Decimal(values[2]);
    if (!dataBits || *dataBits < kMinDataBits || *dataBits > kMaxDataBits)
        return false;
    const std::optional<StopBits> stopBits = StopBitsFromText(values[3]);
    if (!stopBits)
        return false;

    state.baud = *baud;
    state.parity = *parity;
    state.dataBits = static_cast<int>(*dataBits);
    state.stopBits = *stopBits;
    return true;
}

} // namespace quillon
