#include "formats/csv_writer.h"

#include <array>
#include <cstdio>
#include <ctime>

#include "capture/summary_line.h"
#include "formats/capture_formats.h"

namespace quillon {

namespace {

constexpr std::string_view kHeader =
    "time,tag,node,function,name,exception,address,quantity,length,crc_ok,summary,hex,"
    "gap_before_us,longest_pause_us\r\n";

// Whether a field must be quoted: it holds a comma, a quote or a line end.
bool NeedsQuotes(std::string_view text)
{
    for (const char c : text) {
        if (c == ',' || c == '"' || c == '\r' || c == '\n')
            return true;
    }
    return false;
}

// Whether a spreadsheet would take the text for a formula: it starts with = + - or @, or with a
// tab or carriage return in front of one (the usual CSV-injection rule).
bool LooksLikeFormula(std::string_view text)
{
    return !text.empty() &&
           std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
}

void AppendField(std::string& out, std::string_view text)
{
    // A text from a capture file is data: a leading quote keeps a spreadsheet from running it.
    const bool formula = LooksLikeFormula(text);
    if (!formula && !NeedsQuotes(text)) {
        out.append(text);
        return;
    }
    out.push_back('"');
    if (formula)
        out.push_back('\'');
    for (const char c : text) {
        if (c == '"')
            out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
}

void AppendNumberIf(std::string& out, bool applies, unsigned value)
{
    if (applies)
        AppendDecimal(out, value);
    out.push_back(',');
}

char TagLetter(FrameTag tag)
{
    switch (tag) {
    case FrameTag::Query:
        return 'Q';
    case FrameTag::Response:
        return 'R';
    case FrameTag::Unknown:
        break;
    }
    return 'U';
}

} // namespace

void CsvWriter::AppendHeader(std::string& out) const
{
    out.append(kHeader);
}

void CsvWriter::AppendTime(std::string& out, std::int64_t timeUs)
{
    // Floor division, so a time before the epoch keeps its milliseconds positive.
    std::int64_t second = timeUs / 1000000;
    std::int64_t micro = timeUs % 1000000;
    if (micro < 0) {
        micro += 1000000;
        --second;
    }
    if (second != m_lastSecond) {
        const auto seconds = static_cast<std::time_t>(second);
        std::tm local{};
        long offset = 0;
#ifdef _WIN32
        std::tm utc{};
        if (localtime_s(&local, &seconds) != 0 || gmtime_s(&utc, &seconds) != 0)
            return;
        utc.tm_isdst = local.tm_isdst;
        offset = static_cast<long>(seconds - std::mktime(&utc));
#else
        if (localtime_r(&seconds, &local) == nullptr)
            return;
        offset = local.tm_gmtoff;
#endif
        std::array<char, 48> text{};
        std::snprintf(text.data(), text.size(), "%04d-%02d-%02dT%02d:%02d:%02d",
                      local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                      local.tm_min, local.tm_sec);
        m_secondText = text.data();
        const char sign = offset < 0 ? '-' : '+';
        const long minutes = (offset < 0 ? -offset : offset) / 60;
        std::snprintf(text.data(), text.size(), "%c%02ld:%02ld", sign, minutes / 60, minutes % 60);
        m_offsetText = text.data();
        m_lastSecond = second;
    }
    const auto millisecond = static_cast<unsigned>(micro / 1000);
    out.append(m_secondText);
    out.push_back('.');
    out.push_back(static_cast<char>('0' + millisecond / 100));
    out.push_back(static_cast<char>('0' + millisecond / 10 % 10));
    out.push_back(static_cast<char>('0' + millisecond % 10));
    out.append(m_offsetText);
}

void CsvWriter::AppendRow(std::string& out,
                          const FrameInfo& info,
                          std::span<const std::uint8_t> frame,
                          std::string_view summary)
{
    if (info.timeSource != TimeSource::None)
        AppendTime(out, info.timeUs);
    out.push_back(',');
    out.push_back(TagLetter(info.tag));
    out.push_back(',');
    AppendNumberIf(out, !frame.empty(), info.node);
    AppendNumberIf(out, frame.size() >= 2, info.functionCode);
    if (info.recognised)
        AppendField(out, info.name);
    out.push_back(',');
    AppendNumberIf(out, info.exception, info.exceptionCode);
    AppendNumberIf(out, info.registerAddress != kNoField, info.registerAddress);
    AppendNumberIf(out, info.quantityField != kNoField, info.quantityField);
    AppendNumberIf(out, true, info.length);
    out.push_back(info.crcCorrect ? '1' : '0');
    out.push_back(',');
    AppendField(out, summary);
    out.push_back(',');
    // Each byte as two digits and a blank, the last one's blank replaced by the comma.
    const std::size_t at = out.size();
    out.resize(at + 3 * frame.size() + (frame.empty() ? 1 : 0));
    char* hex = out.data() + at;
    for (const std::uint8_t byte : frame) {
        *hex++ = "0123456789ABCDEF"[byte >> 4];
        *hex++ = "0123456789ABCDEF"[byte & 0x0FU];
        *hex++ = ' ';
    }
    if (!frame.empty())
        --hex;
    *hex = ',';
    // The silences where arrival stamps measured them; empty cells where nothing did.
    AppendNumberIf(out, info.silenceBeforeUs >= 0, static_cast<unsigned>(info.silenceBeforeUs));
    if (info.longestInsideUs >= 0)
        AppendDecimal(out, static_cast<unsigned>(info.longestInsideUs));
    out.append("\r\n");
}

} // namespace quillon

namespace quillon {

namespace {

class CsvFormatter final : public FrameFormatter
{
public:
    void AppendHeader(std::string& out) override { m_csv.AppendHeader(out); }
    void AppendFrame(std::string& out,
                     std::span<const std::uint8_t> frame,
                     const FrameInfo& info,
                     std::string_view summary) override
    {
        m_csv.AppendRow(out, info, frame, summary);
    }

private:
    CsvWriter m_csv;
};

} // namespace

std::unique_ptr<FrameFormatter> MakeCsvFormatter()
{
    return std::make_unique<CsvFormatter>();
}

} // namespace quillon
