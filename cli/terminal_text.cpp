#include "cli/terminal_text.h"

#include <cstdint>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace quillon::cli {

namespace {

constexpr std::string_view kHexDigits = "0123456789ABCDEF";

void AppendHexByte(std::string& out, std::uint8_t byte)
{
    out.push_back(kHexDigits[byte >> 4]);
    out.push_back(kHexDigits[byte & 0x0FU]);
}

// The length of the well-formed UTF-8 sequence at the front of `text`, or 0 when there is none.
std::size_t Utf8Length(std::string_view text)
{
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    const std::uint8_t lead = byte(0);
    std::size_t length = 0;
    std::uint8_t low = 0x80;  // the bounds of the second byte, which rule out overlong forms,
    std::uint8_t high = 0xBF; // surrogates and code points above U+10FFFF
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    }
    return length;
}

} // namespace

TextDisplay DisplayFor(std::FILE* stream)
{
    if (stream == nullptr)
        return TextDisplay::AsIs;
#ifdef _WIN32
    const bool terminal = _isatty(_fileno(stream)) != 0;
#else
    const bool terminal = ::isatty(::fileno(stream)) != 0;
#endif
    return terminal ? TextDisplay::Visible : TextDisplay::AsIs;
}

void AppendVisible(std::string& out, std::string_view text)
{
    std::size_t at = 0;
    while (at < text.size()) {
        const auto byte = static_cast<std::uint8_t>(text[at]);
        if (byte < 0x20 || byte == 0x7F) {
            out.push_back('^');
            out.push_back(static_cast<char>(byte ^ 0x40));
            ++at;
        } else if (byte < 0x80) {
            out.push_back(static_cast<char>(byte));
            ++at;
        } else if (const std::size_t length = Utf8Length(text.substr(at)); length == 0) {
            out.push_back('<');
            AppendHexByte(out, byte);
            out.push_back('>');
            ++at;
        } else if (byte == 0xC2 && static_cast<std::uint8_t>(text[at + 1]) < 0xA0) {
            // U+0080 to U+009F: the C1 controls, which some terminals act on as ESC sequences.
            out.append("<U+00");
            AppendHexByte(out, static_cast<std::uint8_t>(text[at + 1]));
            out.push_back('>');
            at += length;
        } else {
            out.append(text.substr(at, length));
            at += length;
        }
    }
}

void PrintText(std::FILE* stream, std::string_view text, TextDisplay display)
{
    if (display == TextDisplay::AsIs) {
        std::fwrite(text.data(), 1, text.size(), stream);
        return;
    }
    std::string shown;
    AppendVisible(shown, text);
    std::fwrite(shown.data(), 1, shown.size(), stream);
}

} // namespace quillon::cli
