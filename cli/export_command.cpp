#include "cli/export_command.h"

#include <string>

#include "cli/command.h"
#include "formats/capture_export.h"
#include "formats/log_file.h"
#include "io/file_writer.h"
#include "monitor/messages.h"

namespace quillon::cli {

// Analyses a whole capture file, however long, and writes every listed frame as pcap or CSV.
// OUT is written the safe way Save writes it, or to standard output for "-".
int RunExport(const ExportOptions& options)
{
    const LogFile in = OpenLogFileForReading(options.input);
    if (!in) {
        Print(stderr, std::string(kCantOpenFile) + "\n");
        return kExitFailed;
    }
    const bool toStdout = options.output == "-";
    AtomicFileWriter file;
    if (!toStdout && file.Open(options.output) != FileOutcome::Ok) {
        Print(stderr, std::string(kCantOpenCreateFile) + "\n");
        if (!file.Refusal().empty())
            Print(stderr, "quillon-cli: " + file.Refusal() + "\n");
        return kExitFailed;
    }
    FrameExportWriter writer(options.format, [&](std::string_view bytes) {
        if (toStdout)
            return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
        return file.Write(bytes);
    });
    const ExportOutcome outcome = ExportCaptureFile(in.get(), options.frames, writer);
    if (outcome.damagedLines > 0)
        Print(stderr,
              std::string(kDamagedLinesSkipped) + std::to_string(outcome.damagedLines) + "\n");
    ReportCutTail(options.input, outcome.cutTail);
    if (outcome.untimedLines > 0)
        Print(stderr, "quillon-cli: lines whose timestamp is not a time, given the time "
                      "before them: " +
                          std::to_string(outcome.untimedLines) + "\n");
    if (writer.UnheldTimes() > 0)
        Print(stderr, "quillon-cli: frames whose time a pcap file cannot hold (before 1970 or "
                      "after 2106), given the time before them: " +
                          std::to_string(writer.UnheldTimes()) + "\n");
    if (outcome.status == ExportOutcome::Status::ReadRefused) {
        file.Abandon();
        Print(stderr, "quillon-cli: " + options.input + ": " + outcome.readError + "\n");
        return kExitFailed;
    }
    const bool written = outcome.status == ExportOutcome::Status::Done &&
                         (toStdout ? std::fflush(stdout) == 0 && std::ferror(stdout) == 0
                                   : file.Commit() == FileOutcome::Ok);
    if (!written) {
        file.Abandon();
        Print(stderr, std::string(kCantWriteFile) + "\n");
        return kExitFailed;
    }
    return kExitDone;
}

} // namespace quillon::cli
