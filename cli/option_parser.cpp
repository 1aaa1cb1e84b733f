#include "cli/option_parser.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "capture/frame_models.h"
#include "seams/port_settings.h"

namespace quillon::cli {

namespace {

bool IsHelp(std::string_view arg)
{
    return arg == "--help" || arg == "-h";
}

// Anything longer than "-" that starts with '-'; "-" alone names standard input or output.
bool IsOption(std::string_view arg)
{
    return arg.size() > 1 && arg.front() == '-';
}

ParseResult UsageError(std::string error)
{
    return ParseResult{ParseKind::UsageError, std::move(error)};
}

bool AllDigits(std::string_view text)
{
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

Verdict Verdict::Refused(std::string error)
{
    Verdict verdict(false);
    verdict.error = std::move(error);
    return verdict;
}

OptionSpec Flag(std::string_view name, std::function<void()> set)
{
    return OptionSpec{name, false, {}, [set = std::move(set)](std::string_view) {
                          set();
                          return Verdict(true);
                      }};
}

OptionSpec ValueOption(std::string_view name,
                       std::string_view accepts,
                       std::function<Verdict(std::string_view)> apply)
{
    return OptionSpec{name, true, accepts, std::move(apply)};
}

bool AsksForHelp(std::span<const std::string_view> args)
{
    return std::any_of(args.begin(), args.end(), IsHelp);
}

ParseResult ParseArguments(std::span<const std::string_view> args, const CommandSyntax& syntax)
{
    if (syntax.help == HelpRule::Anywhere && AsksForHelp(args))
        return ParseResult{ParseKind::Help, {}};
    bool haveOperand = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (IsHelp(arg))
            return ParseResult{ParseKind::Help, {}};
        if (!IsOption(arg)) {
            if (haveOperand)
                return UsageError(std::string(syntax.operand.tooMany));
            if (Verdict verdict = syntax.operand.apply(arg); !verdict.taken)
                return UsageError(std::move(verdict.error));
            haveOperand = true;
            continue;
        }
        // "--name value" or "--name=value"; a flag takes no value, so "--flag=..." names none.
        const std::size_t equals = arg.find('=');
        const std::string_view name = arg.substr(0, equals);
        const auto option =
            std::find_if(syntax.options.begin(), syntax.options.end(), [&](const OptionSpec& o) {
                return o.takesValue ? o.name == name : o.name == arg;
            });
        if (option == syntax.options.end())
            return UsageError("unknown option '" + std::string(arg) + "'");
        std::string_view value;
        if (option->takesValue) {
            if (equals != std::string_view::npos)
                value = arg.substr(equals + 1);
            else if (i + 1 < args.size())
                value = args[++i];
            else
                return UsageError("option " + std::string(name) + " needs a value");
        }
        Verdict verdict = option->apply(value);
        if (verdict.taken)
            continue;
        if (!verdict.error.empty())
            return UsageError(std::move(verdict.error));
        return UsageError("option " + std::string(name) + " takes " + std::string(option->accepts) +
                          ", not '" + std::string(value) + "'");
    }
    if (!haveOperand)
        return UsageError(std::string(syntax.operand.missing));
    return ParseResult{ParseKind::Run, {}};
}

std::optional<std::uint8_t> ParseByte(std::string_view text)
{
    if (!AllDigits(text) || text.size() > 3)
        return std::nullopt;
    unsigned value = 0;
    for (const char c : text)
        value = value * 10U + static_cast<unsigned>(c - '0');
    if (value > 255)
        return std::nullopt;
    return static_cast<std::uint8_t>(value);
}

std::optional<int> ParseIndex(std::string_view text)
{
    if (!AllDigits(text))
        return std::nullopt;
    long long value = 0;
    for (const char c : text)
        value = std::min<long long>(value * 10 + (c - '0'), std::numeric_limits<int>::max());
    return static_cast<int>(value);
}

std::optional<int> ParseFloatOrder(std::string_view text)
{
    if (text.size() != 1 || text[0] < '0' || text[0] > '3')
        return std::nullopt;
    return text[0] - '0';
}

std::optional<std::string> ParseFileName(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    return std::string(text);
}

std::optional<FrameModelKind> ParseFrameModelKind(std::string_view text)
{
    return FrameModelById(text);
}

std::string_view FrameModelValues()
{
    static const std::string values = [] {
        const auto rows = FrameModels();
        std::string text;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (i > 0)
                text += i + 1 == rows.size() ? " or " : ", ";
            text += rows[i].id;
        }
        return text;
    }();
    return values;
}

std::optional<std::string> ParseBaud(std::string_view text)
{
    if (!AllDigits(text) || text.size() > kSettingTextMax ||
        text.find_first_not_of('0') == std::string_view::npos)
        return std::nullopt;
    return std::string(text);
}

std::optional<std::string> ParseParity(std::string_view text)
{
    if (text.size() != 1)
        return std::nullopt;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    if (letter != 'N' && letter != 'O' && letter != 'E')
        return std::nullopt;
    return std::string(1, letter);
}

std::optional<std::string> ParseDataBits(std::string_view text)
{
    if (text != "5" && text != "6" && text != "7" && text != "8")
        return std::nullopt;
    return std::string(text);
}

std::optional<std::string> ParseStopBits(std::string_view text)
{
    if (text != "1" && text != "1.5" && text != "2")
        return std::nullopt;
    return std::string(text);
}

std::optional<double> ParseSeconds(std::string_view text)
{
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string_view::npos ||
        std::count(text.begin(), text.end(), '.') > 1 || text == ".")
        return std::nullopt;
    const double seconds = std::strtod(std::string(text).c_str(), nullptr);
    if (!(seconds >= kShortestPeriodSeconds) || !std::isfinite(seconds))
        return std::nullopt;
    return seconds;
}

std::optional<std::string> ParseListenAddress(std::string_view text)
{
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0)
        return std::nullopt;
    const std::string_view host = text.substr(0, colon);
    const std::string_view port = text.substr(colon + 1);
    // An IPv6 host comes in brackets, so that its own colons are not taken for the port's.
    const bool bracketed = host.front() == '[' && host.back() == ']' && host.size() > 2;
    if (!bracketed && host.find_first_of(":[]") != std::string_view::npos)
        return std::nullopt;
    if (port.empty() || port.size() > 5 ||
        port.find_first_not_of("0123456789") != std::string_view::npos ||
        std::stoi(std::string(port)) > 65535)
        return std::nullopt;
    return std::string(text);
}

std::optional<std::uint64_t> ParseCount(std::string_view text)
{
    if (text.empty() || text.size() > 15 ||
        text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    const std::uint64_t count = std::stoull(std::string(text));
    if (count == 0)
        return std::nullopt;
    return count;
}

} // namespace quillon::cli
