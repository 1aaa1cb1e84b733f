#include "control/file_statistics.h"

#include <array>
#include <cstdio>
#include <limits>

#include "control/filter.h"
#include "control/frame_lister.h"
#include "control/log_file.h"
#include "seams/controls.h"

namespace quillon {

namespace {

// The lister's store is emptied long before it fills, so that the frames one record can cut
// (at most one per byte of the assembly buffer) always find room.
constexpr int kRestartAt = kCaptureLimit - static_cast<int>(kAssemblyRoom) - 1;

// Whether the file begins as a pcap or pcapng capture rather than a log file.
bool LooksLikePacketCapture(std::FILE* file)
{
    std::array<unsigned char, 4> magic{};
    const std::size_t n = std::fread(magic.data(), 1, magic.size(), file);
    std::rewind(file);
    if (n < magic.size())
        return false;
    const std::uint32_t word = static_cast<std::uint32_t>(magic[0]) << 24 |
                               static_cast<std::uint32_t>(magic[1]) << 16 |
                               static_cast<std::uint32_t>(magic[2]) << 8 | magic[3];
    return word == 0xA1B2C3D4 || word == 0xD4C3B2A1 || word == 0xA1B23C4D || word == 0x4D3CB2A1 ||
           word == 0x0A0D0D0A;
}

// Lists nobody reads: lines are counted, not kept, so the lister's line indexes hold.
class CountingListBox : public ListBox
{
public:
    void Clear() override { m_count = 0; }
    int Add(const std::string& /*text*/) override { return m_count++; }
    [[nodiscard]] int Count() const override { return m_count; }
    [[nodiscard]] std::string Text(int /*index*/) const override { return {}; }
    [[nodiscard]] int Selection() const override { return -1; }
    void SetSelection(int /*index*/) override {}

private:
    int m_count = 0;
};

// Filter entries nobody chooses: every text reads as present, so none is added.
class SilentComboBox : public ComboBox
{
public:
    void Clear() override {}
    int Add(const std::string& /*text*/) override { return 0; }
    [[nodiscard]] int Count() const override { return 0; }
    [[nodiscard]] std::string Text(int /*index*/) const override { return {}; }
    [[nodiscard]] int Selection() const override { return -1; }
    void SetSelection(int /*index*/) override {}
    [[nodiscard]] int FindExact(const std::string& /*text*/) const override { return 0; }
};

class SilentButton : public Button
{
public:
    void Enable(bool /*enabled*/) override {}
    [[nodiscard]] bool IsEnabled() const override { return false; }
    void SetText(const std::string& /*text*/) override {}
    [[nodiscard]] std::string Text() const override { return {}; }
};

class SilentText : public StaticText
{
public:
    void SetText(const std::string& /*text*/) override {}
    [[nodiscard]] std::string Text() const override { return {}; }
};

// The controls of a load that nobody watches.
struct UnseenControls
{
    CountingListBox frameList;
    CountingListBox otherList;
    SilentComboBox combo;
    SilentButton button;
    SilentText text;

    [[nodiscard]] MonitorControls View()
    {
        return MonitorControls{frameList, combo,  combo,  button, text,  otherList, otherList,
                               button,    button, button, text,   combo, button,    button};
    }
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
    if (LooksLikePacketCapture(file.get())) {
        outcome.error = "pcap files cannot be read by this build";
        return outcome;
    }

    // The Load path itself, with controls nobody sees and the store emptied as it grows: frames
    // are cut, named and timed exactly as a Load would, without its 2000-line bound.
    CaptureData data;
    UnseenControls controls;
    Filter filter;
    FrameLister lister(data, controls.View(), filter);
    lister.UseModel(frames);
    int counted = 0;
    const auto countNewFrames = [&] {
        for (; counted < data.store.Count(); ++counted)
            statistics.Add(data.store.Info(counted));
    };
    const StreamLogResult read = StreamLogFile(
        file.get(),
        [&](const ParsedLogLine& line) {
            if (data.store.Count() >= kRestartAt) {
                data.store.Reset();
                data.lines.Reset();
                controls.frameList.Clear();
                counted = 0;
            }
            lister.SetRecordTimestamp(line.timestamp);
            (void)lister.AnalyseRecord(line.Frame());
            countNewFrames();
            return true;
        });
    lister.CutLoadRemainder();
    countNewFrames();
    outcome.damagedLines = read.damagedLines;
    if (std::ferror(file.get()) != 0)
        outcome.error = "the file could not be read through";
    return outcome;
}

} // namespace quillon
