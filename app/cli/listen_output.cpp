#include "app/cli/listen_output.h"

#include <cerrno>
#include <cstring>

namespace quillon::cli {

namespace {

// A live timestamp text ends in two blanks, and the tag follows them.
constexpr std::string_view kTimestampEnd = "  ";

std::string Reason()
{
    return errno != 0 ? std::string(std::strerror(errno)) : std::string("write failed");
}

bool WriteAll(std::FILE* file, std::string_view text)
{
    return std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

} // namespace

void ListedTally::Count(std::string_view line)
{
    ++lines;
    const std::size_t end = line.find(kTimestampEnd);
    const std::string_view tag =
        end == std::string_view::npos ? std::string_view() : line.substr(end + 2, 4);
    if (tag == "(Q) ")
        ++queries;
    else if (tag == "(R) ")
        ++responses;
    else
        ++unknown;
    if (line.find(" CRC Error ") != std::string_view::npos)
        ++crcErrors;
}

bool ListenOutput::OpenCaptureFile(const std::string& path)
{
    errno = 0;
    m_path = path;
    m_wholeLength = 0;
    if (m_file.Open(path, OpenMode::Truncate, PipeOpen::WaitForReader) != OpenStatus::Opened) {
        Fail("cannot create " + path);
        return false;
    }
    return true;
}

bool ListenOutput::Write(const std::string& line, const CaptureRecord* record)
{
    if (Failed())
        return false;
    m_tally.Count(line);
    errno = 0;
    if (!WriteAll(m_out, line) || !WriteAll(m_out, "\n") || std::fflush(m_out) != 0) {
        Fail("cannot write the output");
        return false;
    }
    if (!m_file.IsOpen())
        return true;
    if (record == nullptr) {
        m_error = "a listed line has no record to save";
        return false;
    }
    m_logLine = FormatLogLine(*record);
    errno = 0;
    if (!m_file.WriteAll(m_logLine)) {
        // Whatever part of the line got in goes again (pipes and devices cannot be cut).
        const int reason = errno;
        (void)m_file.CutTo(m_wholeLength);
        errno = reason;
        Fail("cannot write " + m_path);
        return false;
    }
    m_wholeLength += m_logLine.size();
    return true;
}

bool ListenOutput::Close()
{
    if (!m_file.IsOpen())
        return !Failed();
    errno = 0;
    const bool closed = m_file.Close();
    if (!closed && !Failed())
        Fail("cannot write " + m_path);
    return closed && !Failed();
}

void ListenOutput::Fail(const std::string& what)
{
    if (m_error.empty())
        m_error = what + ": " + Reason();
}

} // namespace quillon::cli
