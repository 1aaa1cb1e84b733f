#include "cli/listen_output.h"

#include <cerrno>
#include <cstring>

namespace quillon::cli {

namespace {

std::string Reason()
{
    return errno != 0 ? std::string(std::strerror(errno)) : std::string("write failed");
}

bool WriteAll(std::FILE* file, std::string_view text)
{
    return std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

} // namespace

void ListedTally::Count(const FrameInfo& info)
{
    ++lines;
    switch (info.tag) {
    case FrameTag::Query:
        ++queries;
        break;
    case FrameTag::Response:
        ++responses;
        break;
    case FrameTag::Unknown:
        ++unknown;
        break;
    }
    if (ListedAsCrcError(info))
        ++crcErrors;
}

bool ListenOutput::OpenCaptureFile(const std::string& path, OpenMode mode)
{
    errno = 0;
    m_path = path;
    if (m_file.Open(path, mode, PipeOpen::WaitForReader) != OpenStatus::Opened) {
        Fail("cannot create " + path);
        return false;
    }
    return true;
}

bool ListenOutput::Start()
{
    errno = 0;
    if (m_file.IsOpen() && !m_file.Empty()) {
        Fail("cannot empty " + m_path);
        return false;
    }
    return true;
}

bool ListenOutput::Write(std::string_view line, const FrameInfo& info, const CaptureRecord* record)
{
    if (Failed())
        return false;
    m_tally.Count(info);
    std::string_view shown = line;
    if (m_display == TextDisplay::Visible) {
        m_shown.clear();
        AppendVisible(m_shown, line);
        shown = m_shown;
    }
    errno = 0;
    if (m_out != nullptr &&
        (!WriteAll(m_out, shown) || !WriteAll(m_out, "\n") || std::fflush(m_out) != 0)) {
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
    if (!m_file.Write(m_logLine)) {
        Fail("cannot write " + m_path);
        return false;
    }
    m_written += m_logLine.size();
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
