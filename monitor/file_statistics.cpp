#include "monitor/file_statistics.h"

#include <cstdio>

#include "formats/log_file.h"
#include "monitor/capture_stream.h"

namespace quillon {

FileStatistics
CountCaptureFile(const std::string& path, FrameModelKind frames, LineStatistics& statistics)
{
    FileStatistics outcome;
    const LogFile file = OpenLogFileForReading(path);
    if (!file)
        return outcome;
    outcome.opened = true;
    const StreamOutcome read =
        StreamCaptureFile(file.get(), frames,
                          [&statistics](std::span<const std::uint8_t> /*frame*/,
                                        const FrameInfo& info, std::string_view /*line*/) {
                              statistics.Add(info);
                              return true;
                          });
    outcome.damagedLines = static_cast<std::int64_t>(read.damagedLines);
    if (read.status == StreamOutcome::Status::ReadRefused)
        outcome.error = read.readError;
    else if (std::ferror(file.get()) != 0)
        outcome.error = "the file could not be read through";
    return outcome;
}

} // namespace quillon
