#include "formats/capture_export.h"

namespace quillon {

namespace {

// Hands each cut frame to an export writer; full once a write failed.
class ExportSink final : public FrameSink
{
public:
    explicit ExportSink(FrameExportWriter& writer) : m_writer(writer) {}
    void Take(const CutFrame& frame) override
    {
        if (!m_failed)
            m_failed = !m_writer.Add(frame.bytes, frame.info, frame.line);
    }
    [[nodiscard]] bool Full() const override { return m_failed; }

private:
    FrameExportWriter& m_writer;
    bool m_failed = false;
};

} // namespace

FileOutcome ExportCapture(const std::string& path, ExportFormat format, const CaptureStore& store)
{
    AtomicFileWriter file;
    const FileOutcome opened = file.Open(path);
    if (opened != FileOutcome::Ok)
        return opened;
    FrameExportWriter writer(format, [&file](std::string_view bytes) { return file.Write(bytes); });
    bool written = writer.Begin();
    for (int i = 0; i < store.Count() && written; ++i)
        written = writer.Add(store.Record(i).Frame(), store.Info(i), store.Line(i));
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
        outcome.status = ExportOutcome::Status::Stopped;
        return outcome;
    }
    FrameCutter cutter(model);
    ExportSink sink(writer);
    cutter.Subscribe(sink);
    ExportOutcome outcome = StreamCaptureFile(in, cutter);
    if (outcome.status == ExportOutcome::Status::Done && !writer.Flush())
        outcome.status = ExportOutcome::Status::Stopped;
    return outcome;
}

FrameExportWriter::FrameExportWriter(ExportFormat format, ExportWrite write, Flushing flushing)
    : m_formatter(CaptureFormatOf(format).makeFormatter()), m_write(std::move(write)),
      m_flushEachFrame(flushing == Flushing::EachFrame)
{
    m_buffer.reserve(m_flushEachFrame ? 4096 : kBlock + 4096);
}

bool FrameExportWriter::Begin()
{
    m_formatter->AppendHeader(m_buffer);
    return m_flushEachFrame ? Flush() : !m_failed;
}

bool FrameExportWriter::Add(std::span<const std::uint8_t> frame,
                            const FrameInfo& info,
                            std::string_view summary)
{
    m_formatter->AppendFrame(m_buffer, frame, info, summary);
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
