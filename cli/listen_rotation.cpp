#include "cli/listen_rotation.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>

#include "cli/listen_output.h"
#include "cli/listen_pcap.h"

namespace quillon::cli {

namespace {

// "20261208T071815Z": sorts as it runs and holds no character a file system refuses.
std::string StartText(std::int64_t wallUs)
{
    // The civil calendar of the standard library: the same on every platform.
    const std::chrono::sys_seconds time{std::chrono::seconds(wallUs / 1'000'000)};
    const auto day = std::chrono::floor<std::chrono::days>(time);
    const std::chrono::year_month_day date{day};
    const std::chrono::hh_mm_ss clock{time - day};
    std::array<char, 48> text{};
    std::snprintf(text.data(), text.size(), "%04d%02u%02uT%02d%02d%02dZ",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<int>(clock.hours().count()),
                  static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()));
    return text.data();
}

} // namespace

RotatingName::RotatingName(std::string path, const RotationLimits& limits)
    : m_path(std::move(path)), m_limits(limits)
{
}

std::string RotatingName::Start(std::int64_t wallUs, std::int64_t steadyUs, std::uint64_t written)
{
    m_frames = 0;
    m_writtenAtStart = m_written = written;
    m_startedUs = steadyUs;
    if (!Rotates())
        return m_path;
    const std::filesystem::path path(m_path);
    char sequence[24];
    std::snprintf(sequence, sizeof sequence, "%06llu",
                  static_cast<unsigned long long>(++m_sequence));
    std::filesystem::path name = path;
    name.replace_filename(path.stem().string() + "-" + sequence + "-" + StartText(wallUs) +
                          path.extension().string());
    m_files.push_back(name.string());
    return m_files.back();
}

void RotatingName::Count(std::uint64_t written)
{
    ++m_frames;
    m_written = written;
}

bool RotatingName::Due(std::int64_t steadyUs) const
{
    if (m_limits.frames > 0 && m_frames >= m_limits.frames)
        return true;
    if (m_limits.bytes > 0 && m_written - m_writtenAtStart >= m_limits.bytes)
        return true;
    return m_limits.seconds > 0 &&
           static_cast<double>(steadyUs - m_startedUs) >= m_limits.seconds * 1e6;
}

std::vector<std::string> RotatingName::Expired()
{
    std::vector<std::string> expired;
    while (m_limits.keep > 0 && m_files.size() > m_limits.keep) {
        expired.push_back(std::move(m_files.front()));
        m_files.pop_front();
    }
    return expired;
}

ListenRotation::ListenRotation(const std::string& saveFile,
                               const std::string& pcapFile,
                               const RotationLimits& limits,
                               ListenOutput& output,
                               ListenPcapFile& pcap)
    : m_save(!saveFile.empty()), m_pcap(!pcapFile.empty()), m_saveNames(saveFile, limits),
      m_pcapNames(pcapFile, limits), m_output(output), m_pcapFile(pcap)
{
}

std::string ListenRotation::FirstSave(std::int64_t wallUs, std::int64_t steadyUs)
{
    return m_saveNames.Start(wallUs, steadyUs, m_output.Written());
}

std::string ListenRotation::FirstPcap(std::int64_t wallUs, std::int64_t steadyUs)
{
    return m_pcapNames.Start(wallUs, steadyUs, m_pcapFile.Written());
}

bool ListenRotation::AfterFrame(std::int64_t wallUs, std::int64_t steadyUs)
{
    if (m_save)
        m_saveNames.Count(m_output.Written());
    if (m_pcap)
        m_pcapNames.Count(m_pcapFile.Written());
    return Turn(Why::Due, wallUs, steadyUs);
}

bool ListenRotation::OnPass(std::int64_t wallUs, std::int64_t steadyUs)
{
    return Turn(Why::Due, wallUs, steadyUs);
}

bool ListenRotation::Reopen(std::int64_t wallUs, std::int64_t steadyUs)
{
    return Turn(Why::Hangup, wallUs, steadyUs);
}

bool ListenRotation::Turn(Why why, std::int64_t wallUs, std::int64_t steadyUs)
{
    if (!m_error.empty())
        return false;
    const auto wanted = [&](const RotatingName& names) {
        return why == Why::Hangup || (names.Rotates() && names.Due(steadyUs));
    };
    // Each file is closed whole before its successor opens: a pcap file gets its header again.
    if (m_save && wanted(m_saveNames)) {
        const bool next = m_saveNames.Rotates();
        const OpenMode mode = next ? OpenMode::Truncate : OpenMode::Append;
        if (!m_output.Close() ||
            !m_output.OpenCaptureFile(m_saveNames.Start(wallUs, steadyUs, m_output.Written()),
                                      mode) ||
            (next && !m_output.Start())) {
            m_error = m_output.Error();
            return false;
        }
        Remove(m_saveNames.Expired());
    }
    if (m_pcap && wanted(m_pcapNames)) {
        const bool next = m_pcapNames.Rotates();
        const OpenMode mode = next ? OpenMode::Truncate : OpenMode::Append;
        if (!m_pcapFile.Close() ||
            !m_pcapFile.Open(m_pcapNames.Start(wallUs, steadyUs, m_pcapFile.Written()), mode) ||
            !m_pcapFile.Start()) {
            m_error = m_pcapFile.Error();
            return false;
        }
        Remove(m_pcapNames.Expired());
    }
    return true;
}

void ListenRotation::Remove(std::vector<std::string> files)
{
    // A file already gone (moved away by hand) is no failure of the capture.
    for (const std::string& file : files) {
        std::error_code error;
        std::filesystem::remove(file, error);
    }
}

} // namespace quillon::cli
