#include "formats/capture_saver.h"

#include <algorithm>

#include "formats/log_file.h"

namespace quillon {

namespace {

// Lines gathered into one write: few system calls, and a bounded buffer even for the longest
// lines.
constexpr int kLinesPerWrite = 256;

} // namespace

FileOutcome SaveCapture(const std::string& path, const CaptureStore& store, int lineCount)
{
    AtomicFileWriter writer;
    const FileOutcome opened = writer.Open(path);
    if (opened != FileOutcome::Ok)
        return opened;
    const int end = std::min(lineCount, store.Count());
    std::string batch;
    for (int first = 0; first < end; first += kLinesPerWrite) {
        batch.clear();
        AppendLogLines(batch, store, first, std::min(end, first + kLinesPerWrite));
        if (!writer.Write(batch))
            break;
    }
    return writer.Commit();
}

} // namespace quillon
