#include "capture/summary_line.h"

#include <array>
#include <charconv>

#include "capture/function_names.h"

namespace quillon {

namespace {

void AppendHexUpper(std::string& text, unsigned value)
{
    std::array<char, 8> digits{};
    std::size_t n = 0;
    do {
        digits[n++] = "0123456789ABCDEF"[value % 16];
        value /= 16;
    } while (value != 0 && n < digits.size());
    while (n > 0)
        text.push_back(digits[--n]);
}

} // namespace

void AppendDecimal(std::string& text, unsigned value)
{
    // Every line of a capture appends several numbers: one append of the whole number.
    std::array<char, 12> digits;
    const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
    text.append(digits.data(), end);
}

void BuildSummaryLine(const FrameInfo& frame, std::string_view timestamp, std::string& line)
{
    line.assign(timestamp);
    const unsigned bytes = frame.length;
    if (ListedAsCrcError(frame)) {
        // A damaged frame is not named; only an unknown code shows its length.
        line.append("(U)  CRC Error ");
        if (!frame.recognised) {
            line.append(": Bytes = ");
            AppendDecimal(line, bytes);
        }
        return;
    }
    switch (TagOf(frame)) {
    case FrameTag::Query:
        line.append("(Q) ");
        break;
    case FrameTag::Response:
        line.append("(R) ");
        break;
    case FrameTag::Unknown:
        line.append("(U) ");
        break;
    }
    if (frame.recognised) {
        line.append(frame.name);
    } else {
        line.push_back('[');
        AppendDecimal(line, frame.functionByte);
        line.append("] Code Unknown");
    }
    line.append(": Node = ");
    AppendDecimal(line, frame.node);
    if (frame.hasRegisters) {
        line.append(" : Address = ");
        AppendDecimal(line, frame.registerAddress);
        line.append(" : Registers ");
        AppendDecimal(line, frame.registersShown);
    }
    line.append(" : Bytes = ");
    AppendDecimal(line, bytes);
    if (frame.exceptionCode != 0) {
        line.append(" (Error ");
        AppendDecimal(line, frame.exceptionCode);
        line.push_back(')');
    }
}

void BuildComboText(std::uint8_t code, std::uint8_t exceptionCode, std::string& text)
{
    text.assign("Code ");
    AppendDecimal(text, code);
    text.append(" (0x");
    AppendHexUpper(text, code);
    text.append("h) ");
    if (exceptionCode != 0) {
        text.append("Error ");
        AppendDecimal(text, exceptionCode);
        text.push_back(' ');
    }
    text.append(CodeName(code));
    if (text.size() > kComboTextMax)
        text.resize(kComboTextMax);
}

} // namespace quillon
