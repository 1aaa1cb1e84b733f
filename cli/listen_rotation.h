#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace quillon::cli {

class ListenOutput;
class ListenPcapFile;

// When a long listen starts its next capture file, and how many it keeps.
struct RotationLimits
{
    std::uint64_t frames = 0; // --rotate-frames N: N frames a file; 0 no limit
    std::uint64_t bytes = 0;  // --rotate-bytes B: a file ends once it holds B bytes; 0 no limit
    double seconds = 0;       // --rotate-seconds S: S seconds a file; 0 no limit
    std::size_t keep = 0;     // --keep N: the newest N files stay, older ones go; 0 all stay

    [[nodiscard]] bool Rotates() const { return frames > 0 || bytes > 0 || seconds > 0; }
};

// The files of one rotating output, named after the path given with a sequence number and the
// start time in UTC: capture.mlog becomes capture-000001-20261208T071815Z.mlog, ... Without a
// limit the path itself is the only file.
class RotatingName
{
public:
    RotatingName(std::string path, const RotationLimits& limits);

    [[nodiscard]] bool Rotates() const { return m_limits.Rotates(); }
    // The next file's name, started at `wallUs` (microseconds since the Unix epoch) and
    // `steadyUs` (a steady clock, for its age).
    [[nodiscard]] std::string
    Start(std::int64_t wallUs, std::int64_t steadyUs, std::uint64_t written);
    // One more frame in the current file; `written` is what the output has written in all.
    void Count(std::uint64_t written);
    // Whether the current file has reached a limit by now.
    [[nodiscard]] bool Due(std::int64_t steadyUs) const;
    // Files beyond --keep, oldest first; they are forgotten once handed out.
    [[nodiscard]] std::vector<std::string> Expired();

private:
    std::string m_path;
    RotationLimits m_limits;
    std::uint64_t m_sequence = 0;
    std::uint64_t m_frames = 0;
    std::uint64_t m_writtenAtStart = 0;
    std::uint64_t m_written = 0;
    std::int64_t m_startedUs = 0;
    std::deque<std::string> m_files; // oldest first, the current one last
};

// Starts the next file of `listen --save` and `--pcap` when one is due, and reopens them on
// SIGHUP; each file is closed whole before the next one opens.
class ListenRotation
{
public:
    ListenRotation(const std::string& saveFile,
                   const std::string& pcapFile,
                   const RotationLimits& limits,
                   ListenOutput& output,
                   ListenPcapFile& pcap);

    // The first files' names.
    [[nodiscard]] std::string FirstSave(std::int64_t wallUs, std::int64_t steadyUs);
    [[nodiscard]] std::string FirstPcap(std::int64_t wallUs, std::int64_t steadyUs);
    // After each frame: counts it and starts the next files that are due. False, with the
    // reason in Error(), when a file cannot be closed or opened.
    [[nodiscard]] bool AfterFrame(std::int64_t wallUs, std::int64_t steadyUs);
    // On each pass: starts the files whose time is up, even on a quiet line.
    [[nodiscard]] bool OnPass(std::int64_t wallUs, std::int64_t steadyUs);
    // SIGHUP: a rotating output starts its next file; another reopens its path, appending (the
    // log rotation tool has moved the old one away).
    [[nodiscard]] bool Reopen(std::int64_t wallUs, std::int64_t steadyUs);

    [[nodiscard]] const std::string& Error() const { return m_error; }

private:
    enum class Why
    {
        Due,
        Hangup,
    };
    bool Turn(Why why, std::int64_t wallUs, std::int64_t steadyUs);
    void Remove(std::vector<std::string> files);

    bool m_save;
    bool m_pcap;
    RotatingName m_saveNames;
    RotatingName m_pcapNames;
    ListenOutput& m_output;
    ListenPcapFile& m_pcapFile;
    std::string m_error;
};

} // namespace quillon::cli
