#include "monitor/capture_export.h"

#include <algorithm>

#include "formats/pcap_writer.h"

namespace quillon {

FileOutcome ExportCapture(const std::string& path,
                          ExportFormat format,
                          const CaptureStore& store,
                          const ListBox& frameList,
                          int lineCount)
{
    CaptureFileWriter file;
    const FileOutcome opened = file.Open(path);
    if (opened != FileOutcome::Ok)
        return opened;
    FrameExportWriter writer(format, [&file](std::string_view bytes) { return file.Write(bytes); });
    bool written = writer.Begin();
    const int end = std::min({lineCount, store.Count(), frameList.Count()});
    std::int64_t lastTimeUs = 0;
    TimeSource lastTimeSource = TimeSource::None;
    for (int i = 0; i < end && written; ++i) {
        FrameInfo info = store.Info(i);
        if (info.timeSource == TimeSource::None) {
            info.timeUs = lastTimeUs;
            info.timeSource = lastTimeSource;
        }
        lastTimeUs = info.timeUs;
        lastTimeSource = info.timeSource;
        written = writer.Add(store.Record(i).Frame(), info, frameList.Text(i));
    }
    if (!writer.Flush()) {
        file.Abandon();
        return FileOutcome::WriteFailed;
    }
    return file.Commit();
}

ExportOutcome ExportCaptureFile(std::FILE* in, FrameModelKind model, FrameExportWriter& writer)
{
    if (!writer.Begin()) {
        ExportOutcome outcome;
        outcome.status = ExportOutcome::Status::WriteFailed;
        return outcome;
    }
    ExportOutcome outcome = StreamCaptureFile(
        in, model,
        [&writer](std::span<const std::uint8_t> frame, const FrameInfo& info,
                  std::string_view line) { return writer.Add(frame, info, line); });
    if (outcome.status == ExportOutcome::Status::Done && !writer.Flush())
        outcome.status = ExportOutcome::Status::WriteFailed;
    return outcome;
}

FrameExportWriter::FrameExportWriter(ExportFormat format, ExportWrite write, bool flushEachFrame)
    : m_format(format), m_write(std::move(write)), m_flushEachFrame(flushEachFrame)
{
    m_buffer.reserve(flushEachFrame ? 4096 : kBlock + 4096);
}

bool FrameExportWriter::Begin()
{
    if (m_format == ExportFormat::Pcap)
        AppendPcapFileHeader(m_buffer);
    else
        m_csv.AppendHeader(m_buffer);
    return m_flushEachFrame ? Flush() : !m_failed;
}

bool FrameExportWriter::Add(std::span<const std::uint8_t> frame,
                            const FrameInfo& info,
                            std::string_view summary)
{
    if (m_format == ExportFormat::Pcap)
        AppendPcapPacket(m_buffer, frame, info.timeUs);
    else
        m_csv.AppendRow(m_buffer, info, frame, summary);
    if (m_flushEachFrame || m_buffer.size() >= kBlock)
        return Flush();
    return !m_failed;
}

bool FrameExportWriter::Flush()
{
    if (!m_failed && !m_buffer.empty() && !m_write(m_buffer))
        m_failed = true;
    m_buffer.clear();
    return !m_failed;
}

} // namespace quillon
