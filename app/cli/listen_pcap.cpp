#include "app/cli/listen_pcap.h"

#include <cerrno>
#include <cstring>

namespace quillon::cli {

bool ListenPcapFile::Open(const std::string& path)
{
    m_path = path;
    errno = 0;
    m_file.reset(std::fopen(path.c_str(), "wb"));
    if (!m_file) {
        m_error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    std::FILE* file = m_file.get();
    m_writer = std::make_unique<FrameExportWriter>(
        ExportFormat::Pcap,
        [file](std::string_view bytes) {
            return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() &&
                   std::fflush(file) == 0;
        },
        true);
    if (!m_writer->Begin()) {
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
    if (!m_file)
        return !Failed();
    errno = 0;
    if (std::fclose(m_file.release()) != 0)
        Fail();
    return !Failed();
}

void ListenPcapFile::Fail()
{
    if (m_error.empty())
        m_error = "cannot write " + m_path + ": " +
                  (errno != 0 ? std::string(std::strerror(errno)) : std::string("write failed"));
}

} // namespace quillon::cli
