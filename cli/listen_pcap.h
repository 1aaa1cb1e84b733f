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
    // Opens the file, creating it when missing, and leaves what it holds until Start. False,
    // with the reason in Error().
    [[nodiscard]] bool Open(const std::string& path, OpenMode mode = OpenMode::Keep);
    // Empties the file once every output has opened, and writes its header; a file opened to
    // append that holds packets already is continued as it is. False, with the reason in
    // Error(); true when no file was opened.
    [[nodiscard]] bool Start();
    [[nodiscard]] bool IsOpen() const { return m_file.IsOpen(); }
    // One listed frame as a packet, at the frame's time.
    [[nodiscard]] bool Write(std::span<const std::uint8_t> frame, const FrameInfo& info);
    // Closes the file; false, with the reason in Error(), when it failed.
    [[nodiscard]] bool Close();

    [[nodiscard]] bool Failed() const { return !m_error.empty(); }
    [[nodiscard]] const std::string& Error() const { return m_error; }
    // Bytes written to pcap files in all.
    [[nodiscard]] std::uint64_t Written() const { return m_written; }
    // Whether the writes failed because the pipe's reader has gone.
    [[nodiscard]] bool ReaderGone() const { return m_readerGone; }

private:
    void Fail();

    RecordFile m_file;
    std::string m_path;
    std::unique_ptr<FrameExportWriter> m_writer;
    std::string m_error;
    std::uint64_t m_written = 0;
    bool m_readerGone = false;
    bool m_continues = false;
};

} // namespace quillon::cli
