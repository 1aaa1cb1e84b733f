#include "bus_options.h"

#include <charconv>

namespace quillon::vbus {

namespace {

template <typename T>
[[nodiscard]] std::optional<T> ReadNumber(std::string_view text, T low, T high)
{
    T value{};
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc{} || ptr != end || value < low || value > high)
        return std::nullopt;
    return value;
}

[[nodiscard]] std::optional<Parity> ReadParity(std::string_view text)
{
    if (text == "N" || text == "n")
        return Parity::None;
    if (text == "E" || text == "e")
        return Parity::Even;
    if (text == "O" || text == "o")
        return Parity::Odd;
    return std::nullopt;
}

[[nodiscard]] char ParityLetter(Parity parity)
{
    switch (parity) {
    case Parity::None:
        return 'N';
    case Parity::Even:
        return 'E';
    case Parity::Odd:
        return 'O';
    }
    return '?';
}

} // namespace

bool ParseCharacterFormat(std::string_view text, BusOptions& options)
{
    if (text.size() != 3)
        return false;
    const auto data = ReadNumber<int>(text.substr(0, 1), 5, 8);
    const auto parity = ReadParity(text.substr(1, 1));
    const auto stop = ReadNumber<int>(text.substr(2, 1), 1, 2);
    if (!data || !parity || !stop)
        return false;
    options.dataBits = *data;
    options.parity = *parity;
    options.stopBits = *stop;
    return true;
}

ParseResult ParseBusOptions(std::span<const std::string_view> args)
{
    BusOptions options;
    const auto fail = [](std::string text) { return ParseResult{std::nullopt, std::move(text)}; };

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const auto isAny = [&](std::string_view a, std::string_view b) {
            return arg == a || arg == b;
        };
        const bool takesValue = isAny("-n", "--peers") || isAny("-b", "--baud") ||
                                isAny("-f", "--format") || arg == "--data" || arg == "--parity" ||
                                arg == "--stop" || arg == "--names" || arg == "--links";
        if (takesValue && i + 1 >= args.size())
            return fail("option " + std::string(arg) + " needs a value");
        const std::string_view value = takesValue ? args[i + 1] : std::string_view{};
        if (takesValue)
            ++i;

        if (isAny("-h", "--help")) {
            options.help = true;
        } else if (isAny("-n", "--peers")) {
            const auto peers = ReadNumber<int>(value, BusOptions::kMinPeers, BusOptions::kMaxPeers);
            if (!peers)
                return fail("peers must be a number from 2 to 32, not '" + std::string(value) +
                            "'");
            options.peers = *peers;
        } else if (isAny("-b", "--baud")) {
            const auto baud =
                ReadNumber<std::uint32_t>(value, BusOptions::kMinBaud, BusOptions::kMaxBaud);
            if (!baud)
                return fail("baud must be a number from 50 to 4000000, not '" + std::string(value) +
                            "'");
            options.baud = *baud;
            options.paced = true;
        } else if (isAny("-u", "--unpaced")) {
            options.paced = false;
        } else if (isAny("-f", "--format")) {
            if (!ParseCharacterFormat(value, options))
                return fail("character format must look like 8N1, 8E1 or 7O2, not '" +
                            std::string(value) + "'");
        } else if (arg == "--data") {
            const auto data = ReadNumber<int>(value, 5, 8);
            if (!data)
                return fail("data bits must be 5 to 8, not '" + std::string(value) + "'");
            options.dataBits = *data;
        } else if (arg == "--parity") {
            const auto parity = ReadParity(value);
            if (!parity)
                return fail("parity must be N, E or O, not '" + std::string(value) + "'");
            options.parity = *parity;
        } else if (arg == "--stop") {
            const auto stop = ReadNumber<int>(value, 1, 2);
            if (!stop)
                return fail("stop bits must be 1 or 2, not '" + std::string(value) + "'");
            options.stopBits = *stop;
        } else if (arg == "--names") {
            if (value.empty())
                return fail("--names needs a file name");
            options.namesFile = value;
        } else if (arg == "--links") {
            if (value.empty())
                return fail("--links needs a folder");
            options.linkDir = value;
        } else if (isAny("-v", "--verbose")) {
            options.verbose = true;
        } else if (arg == "--stats") {
            options.stats = true;
        } else {
            return fail("unknown argument '" + std::string(arg) + "'");
        }
    }
    return ParseResult{options, {}};
}

std::string DescribeLine(const BusOptions& options)
{
    if (!options.paced)
        return "unpaced";
    std::string text = std::to_string(options.baud) + ' ';
    text += static_cast<char>('0' + options.dataBits);
    text += ParityLetter(options.parity);
    text += static_cast<char>('0' + options.stopBits);
    return text;
}

std::string UsageText()
{
    return R"(usage: quillon-vbus [options]

Makes a multi-drop serial line out of pseudo-terminals: every byte that any peer
writes reaches every other peer, in order, as on a two-wire RS-485 bus. Peers
attach by opening their device; a peer that is not open misses what passes.
The peer device names are printed on standard output, one per line.

  -n, --peers N      number of peers, 2 to 32 (default 3)
  -b, --baud B       pace the line at B baud (default 38400)
  -f, --format DPS   character format, e.g. 8N1, 8E1, 7O2 (default 8E1)
      --data D       data bits, 5 to 8
      --parity P     parity, N, E or O
      --stop S       stop bits, 1 or 2
  -u, --unpaced      carry bytes as fast as they come
      --names FILE   also write the device names to FILE (it appears complete)
      --links DIR    make links DIR/peer0, DIR/peer1, ... to the devices
  -v, --verbose      report peers attaching and detaching on standard error
      --stats        report bytes carried per peer on standard error at the end
  -h, --help         show this text

A paced line lets a character leave every (1 + data + parity + stop) / baud
seconds. SIGINT or SIGTERM stop the line and remove the names file and links.
)";
}

} // namespace quillon::vbus
