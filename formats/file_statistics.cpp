#include "formats/file_statistics.h"

#include <cstdio>

#include "formats/capture_stream.h"
#include "formats/log_file.h"

namespace quillon {

namespace {

// Counts each cut frame.
class StatisticsSink final : public FrameSink
{
public:
    explicit StatisticsSink(LineStatistics& statistics) : m_statistics(statistics) {}
    void Take(const CutFrame& frame) override { m_statistics.Add(frame.info); }

private:
    LineStatistics& m_statistics;
};

} // namespace

FileStatistics
CountCaptureFile(const std::string& path, FrameModelKind frames, LineStatistics& statistics)
{
    FileStatistics outcome;
    const LogFile file = OpenLogFileForReading(path);
    if (!file)
        return outcome;
    outcome.opened = true;
    FrameCutter cutter(frames);
    StatisticsSink sink(statistics);
    cutter.Subscribe(sink);
    const StreamOutcome read = StreamCaptureFile(file.get(), cutter);
    outcome.damagedLines = static_cast<std::int64_t>(read.damagedLines);
    outcome.cutTail = read.cutTail;
    if (read.status == StreamOutcome::Status::ReadRefused)
        outcome.error = read.readError;
    else if (std::ferror(file.get()) != 0)
        outcome.error = "the file could not be read through";
    return outcome;
}

} // namespace quillon
