#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "capture/frame_info.h"
#include "formats/capture_export.h"
#include "io/record_file.h"

namespace quillon::cli {

// The live pcap file of `listen --pcap`: its header is written when it is opened, and every
// listed frame is one packet, written at once, so the file reads whole whenever the capture
// stops; a packet whose write fails is cut off again. After the first failure nothing more is
// written.
class ListenPcapFile
{
public:
    // Creates or empties the file and writes its header; appending, the header is written only
    // to an empty file. False, with the reason in Error().
    [[nodiscard]] bool Open(const std::string& path, OpenMode mode = OpenMode::Truncate);
    [[nodiscard]] bool IsOpen() const { return m_file.IsOpen(); }
    // One listed frame as a packet, at the frame's time.
    [[nodiscard]] bool Write(std::span<const std::uint8_t> frame, const FrameInfo& info);
    // Closes the file; false, with the reason in Error(), when it failed.
    [[nodiscard]] bool Close();

    [[nodiscard]] bool Failed() const { return !m_error.empty(); }
    [[nodiscard]] const std::string& Error() const { return m_error; }
    // Bytes written to pcap files in all.
    [[nodiscard]] std::uint64_t Written() const { return m_written; }

private:
    void Fail();

    RecordFile m_file;
    std::string m_path;
    std::unique_ptr<FrameExportWriter> m_writer;
    std::string m_error;
    std::uint64_t m_written = 0;
};

} // namespace quillon::cli
