#pragma once

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "headless/memory_controls.h"
#include "monitor/frame_lister.h"
#include "support/fakes.h"

namespace quillon::test {

// Bytes joined end to end.
inline Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

// A pass listener that counts the frames handed on and the capture limits a live pass reported.
struct CountingListener : PassListener, FrameSink
{
    int lines = 0;
    int limits = 0;
    void Take(const CutFrame& /*frame*/) override { ++lines; }
    void CaptureLimitReached() override { ++limits; }
};

// The capture data, controls and filter of one monitor, with the lister that fills them and a
// line and clock to drive live passes.
struct CaptureRig
{
    CaptureData data;
    MemoryMonitorControls controls;
    Filter filter;
    FrameLister lister{data, controls.View(), filter};
    std::shared_ptr<LineFeed> feed = std::make_shared<LineFeed>();
    MemorySerialLine line{feed};
    ManualClock clock;
    CountingListener listener;
    CaptureRig() { data.cutter.Subscribe(listener); }

    // Delivers the bytes to the line and runs one live pass.
    void Pass(const Bytes& bytes)
    {
        feed->Push(bytes);
        lister.AnalyseTick(line, clock, listener);
    }
    // Analyses one loaded record with its timestamp text.
    std::size_t Record(const Bytes& bytes, const std::string& timestamp = "T  ")
    {
        (void)data.cutter.StampRecord(timestamp);
        return data.cutter.CutRecord(bytes);
    }
    [[nodiscard]] std::vector<std::string> Lines() const { return controls.frameList.Lines(); }
};

// A folder of its own under the system's temporary folder, removed at the end of the test.
class TempDir
{
public:
    TempDir()
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_path = std::filesystem::temp_directory_path() /
                 ("quillon-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
                  std::to_string(::getpid()));
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    [[nodiscard]] std::string File(const std::string& name) const
    {
        return (m_path / name).string();
    }
    // Writes the bytes exactly as given (no line-end translation) and returns the path.
    std::string Write(const std::string& name, const std::string& content) const
    {
        std::ofstream out(File(name), std::ios::binary);
        out << content;
        return File(name);
    }

private:
    std::filesystem::path m_path;
};

inline std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace quillon::test
