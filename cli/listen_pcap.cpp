#include "cli/listen_pcap.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace quillon::cli {

bool ListenPcapFile::Open(const std::string& path, OpenMode mode)
{
    m_path = path;
    std::error_code sizeError;
    // A file reopened to append that holds packets already goes on without a second header.
    m_continues =
        mode == OpenMode::Append && std::filesystem::file_size(path, sizeError) > 0 && !sizeError;
    errno = 0;
    if (m_file.Open(path, mode, PipeOpen::WaitForReader) != OpenStatus::Opened) {
        m_error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool ListenPcapFile::Start()
{
    if (!m_file.IsOpen())
        return true;
    errno = 0;
    if (!m_continues && !m_file.Empty()) {
        Fail();
        return false;
    }
    // Every packet is one whole record of the file, written at once.
    m_writer = std::make_unique<FrameExportWriter>(
        ExportFormat::Pcap,
        [this](std::string_view bytes) {
            m_written += bytes.size();
            return m_file.Write(bytes);
        },
        Flushing::EachFrame);
    if (!m_continues && !m_writer->Begin()) {
        Fail();
        return false;
    }
    return true;
}

bool ListenPcapFile::Write(std::span<const std::uint8_t> frame, const FrameInfo& info)
{
    if (Failed() || !m_writer)
        return false;
    errno = 0;
    if (!m_writer->Add(frame, info, {})) {
        Fail();
        return false;
    }
    return true;
}

bool ListenPcapFile::Close()
{
    if (!m_file.IsOpen())
        return !Failed();
    errno = 0;
    if (!m_file.Close())
        Fail();
    return !Failed();
}

void ListenPcapFile::Fail()
{
    if (!m_error.empty())
        return;
    m_readerGone = errno == EPIPE;
    m_error = "cannot write " + m_path + ": " +
              (errno != 0 ? std::string(std::strerror(errno)) : std::string("write failed"));
}

} // namespace quillon::cli
