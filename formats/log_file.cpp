#include "formats/log_file.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <limits>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "decode/register_decoder.h"
#include "io/utf8_path.h"

namespace quillon {

namespace {

// The value of each character as a hexadecimal digit, either case; -1 for any other character.
constexpr std::array<std::int8_t, 256> MakeHexDigits()
{
    std::array<std::int8_t, 256> digits{};
    for (int c = 0; c < 256; ++c) {
        if (c >= '0' && c <= '9')
            digits[static_cast<std::size_t>(c)] = static_cast<std::int8_t>(c - '0');
        else if (c >= 'A' && c <= 'F')
            digits[static_cast<std::size_t>(c)] = static_cast<std::int8_t>(c - 'A' + 10);
        else if (c >= 'a' && c <= 'f')
            digits[static_cast<std::size_t>(c)] = static_cast<std::int8_t>(c - 'a' + 10);
        else
            digits[static_cast<std::size_t>(c)] = -1;
    }
    return digits;
}

constexpr std::array<std::int8_t, 256> kHexDigits = MakeHexDigits();

int HexDigit(char c)
{
    return kHexDigits[static_cast<unsigned char>(c)];
}

// The byte written as two digits at `at`; -1 when either is not a hexadecimal digit.
int HexByte(std::string_view line, std::size_t at)
{
    const int high = HexDigit(line[at]);
    const int low = HexDigit(line[at + 1]);
    return (high < 0 || low < 0) ? -1 : high * 16 + low;
}

// Splits a file into lines: a line feed ends a line and a carriage return directly before it is
// dropped. A line longer than the longest valid line is only measured, never held whole.
class LineReader
{
public:
    explicit LineReader(std::FILE* file) : m_file(file), m_buffer(kChunk) {}

    // The next line, or false at the end of the file. `overlong` tells a line that was too long
    // to be a log line; its text is then not kept.
    [[nodiscard]] bool Next(std::string& line, bool& overlong)
    {
        line.clear();
        overlong = false;
        bool tookAny = false;
        while (m_position < m_filled || Fill()) {
            tookAny = true;
            const char* start = m_buffer.data() + m_position;
            const std::size_t available = m_filled - m_position;
            const auto* feed = static_cast<const char*>(std::memchr(start, '\n', available));
            const std::size_t chunk =
                feed != nullptr ? static_cast<std::size_t>(feed - start) : available;
            // One character more than a log line may be its carriage return.
            if (!overlong && line.size() + chunk > kLogLineMax + 1) {
                overlong = true;
                line.clear();
            }
            if (!overlong)
                line.append(start, chunk);
            m_position += chunk;
            if (feed != nullptr) {
                ++m_position;
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                return true;
            }
        }
        return tookAny;
    }

private:
    static constexpr std::size_t kChunk = 64 * 1024;

    bool Fill()
    {
        m_position = 0;
        m_filled = m_file != nullptr ? std::fread(m_buffer.data(), 1, m_buffer.size(), m_file) : 0;
        return m_filled > 0;
    }

    std::FILE* m_file;
    std::vector<char> m_buffer;
    std::size_t m_position = 0;
    std::size_t m_filled = 0;
};

} // namespace

#ifndef _WIN32

LogFile OpenLogFileForReading(const std::string& path)
{
    if (path.empty())
        return nullptr;
    // The open does not wait: a pipe with no writer would otherwise hold the caller until one
    // came. Only a regular file is read; a pipe or a device (a terminal, /dev/zero) may never
    // end, and a folder holds no lines.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat info
    {
    };
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flags < 0 ||
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        (void)::close(fd);
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr)
        (void)::close(fd);
    return LogFile(file);
}

#else

LogFile OpenLogFileForReading(const std::string& path)
{
    std::error_code error;
    if (path.empty() || !std::filesystem::is_regular_file(Utf8Path(path), error))
        return nullptr;
    return LogFile(_wfopen(Utf8Path(path).c_str(), L"rb"));
}

#endif

std::string FormatLogLine(const CaptureRecord& record)
{
    // Every byte, the last frame byte included, is followed by a comma, so the timestamp text
    // starts right behind one.
    std::string line = HexText(record.LengthAndFrame(), '\0', ',');
    line.append(record.Timestamp());
    line.append("\r\n");
    return line;
}

void AppendLogLines(std::string& text, const CaptureStore& store, int first, int lineCount)
{
    const int end = std::min(lineCount, store.Count());
    for (int i = std::max(first, 0); i < end; ++i)
        text.append(FormatLogLine(store.Record(i)));
}

bool WriteLogLines(std::FILE* file, const CaptureStore& store, int first, int lineCount)
{
    const int end = std::min(lineCount, store.Count());
    for (int i = std::max(first, 0); i < end; ++i) {
        const std::string line = FormatLogLine(store.Record(i));
        if (std::fwrite(line.data(), 1, line.size(), file) != line.size())
            return false;
    }
    return true;
}

namespace {

// ParseLogLine into a line kept by the caller, so that reading a file neither clears nor copies
// a whole frame's room per line.
bool ParseInto(std::string_view line, ParsedLogLine& parsed)
{
    if (line.size() < 5)
        return false;
    const int high = HexByte(line, 0);
    const int low = HexByte(line, 3);
    if (high < 0 || low < 0)
        return false;
    const auto n = static_cast<std::size_t>(high * 256 + low);
    if (n == 0 || n > kMaxFrameLength || 6 + 3 * n > line.size())
        return false;

    // Any digit that is not one makes `invalid` negative; checked once after the loop.
    int invalid = 0;
    const char* pair = line.data() + 6;
    for (std::size_t k = 0; k < n; ++k, pair += 3) {
        const int digitHigh = HexDigit(pair[0]);
        const int digitLow = HexDigit(pair[1]);
        invalid |= digitHigh | digitLow;
        parsed.bytes[k] = static_cast<std::uint8_t>(digitHigh * 16 + digitLow);
    }
    if (invalid < 0)
        return false;
    parsed.length = n;
    std::string_view timestamp = line.substr(6 + 3 * n);
    timestamp = timestamp.substr(0, timestamp.find('\0'));
    parsed.timestamp = timestamp.substr(0, kTimestampMax);
    return true;
}

} // namespace

std::optional<ParsedLogLine> ParseLogLine(std::string_view line)
{
    ParsedLogLine parsed;
    if (!ParseInto(line, parsed))
        return std::nullopt;
    return parsed;
}

namespace {

// Hands each parsed line to `sink` until `lineLimit` lines were read, the file ends or the sink
// returns false. Counts the lines read and the damaged ones skipped.
template <typename Count>
void ReadLines(std::FILE* file,
               const std::function<bool(const ParsedLogLine&)>& sink,
               Count lineLimit,
               Count& linesRead,
               Count& damagedLines)
{
    LineReader reader(file);
    std::string line;
    ParsedLogLine parsed;
    bool overlong = false;
    while (linesRead < lineLimit && reader.Next(line, overlong)) {
        ++linesRead;
        if (overlong || line.size() > kLogLineMax) {
            ++damagedLines;
            continue;
        }
        if (line.empty())
            continue;
        if (!ParseInto(line, parsed)) {
            ++damagedLines;
            continue;
        }
        if (!sink(parsed))
            break;
    }
}

} // namespace

ReadLogResult ReadLogFile(std::FILE* file, const std::function<bool(const ParsedLogLine&)>& sink)
{
    ReadLogResult result;
    ReadLines(file, sink, kLoadLineLimit, result.linesRead, result.damagedLines);
    return result;
}

StreamLogResult StreamLogFile(std::FILE* file,
                              const std::function<bool(const ParsedLogLine&)>& sink,
                              std::uint64_t lineLimit)
{
    StreamLogResult result;
    ReadLines(file, sink, lineLimit, result.linesRead, result.damagedLines);
    return result;
}

} // namespace quillon
