#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quillon::vbus {

enum class Parity
{
    None,
    Even,
    Odd,
};

// What the virtual line is asked to be: how many peers hang on it and how fast it carries bytes.
struct BusOptions
{
    static constexpr int kMinPeers = 2;
    static constexpr int kMaxPeers = 32;
    static constexpr std::uint32_t kMinBaud = 50;
    static constexpr std::uint32_t kMaxBaud = 4'000'000;

    int peers = 3;
    // A paced line lets bytes leave at baud / bits-per-character; an unpaced one as fast as
    // they come. The defaults are the monitor's own start values, 38400 8E1.
    bool paced = true;
    std::uint32_t baud = 38400;
    int dataBits = 8;
    Parity parity = Parity::Even;
    int stopBits = 1;
    std::string namesFile;
    std::string linkDir;
    bool verbose = false;
    bool stats = false;
    bool help = false;

    // One start bit, the data bits, the parity bit if any, and the stop bits.
    [[nodiscard]] int BitsPerCharacter() const
    {
        return 1 + dataBits + (parity == Parity::None ? 0 : 1) + stopBits;
    }
};

struct ParseResult
{
    std::optional<BusOptions> options;
    std::string error;
};

// Reads the command line (without the program name). Later options override earlier ones.
[[nodiscard]] ParseResult ParseBusOptions(std::span<const std::string_view> args);

// Reads a character format such as "8N1", "8E1" or "7O2" into options.
[[nodiscard]] bool ParseCharacterFormat(std::string_view text, BusOptions& options);

[[nodiscard]] std::string UsageText();

// "38400 8E1", or "unpaced".
[[nodiscard]] std::string DescribeLine(const BusOptions& options);

} // namespace quillon::vbus
