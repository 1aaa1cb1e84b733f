#pragma once

#include <string>

#include "capture/capture_store.h"
#include "io/file_writer.h"

namespace quillon {

// Writes the log lines of records 0 to `lineCount` - 1 into the file at `path`. The capture
// lands in the file whole or not at all: a failed save leaves an earlier file as it was.
// OpenFailed when the file cannot be opened or created, WriteFailed when anything after that
// fails (a write, the flush to the disk, the close or the final rename).
[[nodiscard]] FileOutcome
SaveCapture(const std::string& path, const CaptureStore& store, int lineCount);

} // namespace quillon
