#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

#include "portsetup/line_timing.h"

namespace quillon {
namespace {

// A device's timing knobs as a test sets them, with a log of every change asked for.
class FakeTuning : public SerialTuning
{
public:
    std::string driver;
    std::optional<bool> lowLatency;
    bool acceptLowLatency = true;
    std::optional<int> timerMs;
    bool acceptTimer = true;
    std::vector<std::string> log;

    std::string DriverName() const override { return driver; }
    std::optional<bool> LowLatency() const override { return lowLatency; }
    bool SetLowLatency(bool on) override
    {
        log.push_back(std::string("low latency ") + (on ? "on" : "off"));
        if (!acceptLowLatency || !lowLatency)
            return false;
        lowLatency = on;
        return true;
    }
    std::optional<int> LatencyTimerMs() const override { return timerMs; }
    bool SetLatencyTimerMs(int ms) override
    {
        log.push_back("timer " + std::to_string(ms));
        if (!acceptTimer)
            return false;
        timerMs = ms;
        return true;
    }
};

TEST(LineTiming, AsksForLowLatencyPutsItBackAndSaysWhatItGot)
{
    struct Case
    {
        const char* what;
        FakeTuning tuning;
        const char* resolution;
        std::int64_t resolutionUs;
        std::vector<std::string> notes;
        std::vector<std::string> log; // every change, the putting back at close included
    };
    FakeTuning ftdi;
    ftdi.driver = "ftdi_sio";
    ftdi.lowLatency = false;
    ftdi.timerMs = 16;
    FakeTuning ftdiTimerRefused = ftdi;
    ftdiTimerRefused.acceptTimer = false;
    FakeTuning ftdiAlreadyFast = ftdi;
    ftdiAlreadyFast.lowLatency = true;
    ftdiAlreadyFast.timerMs = 1;
    FakeTuning onboard;
    onboard.driver = "serial8250";
    onboard.lowLatency = false;
    onboard.acceptLowLatency = false;
    FakeTuning usb;
    usb.driver = "cp210x"; // TIOCGSERIAL refused
    FakeTuning pty;
    pty.driver = "pty";
    const std::vector<Case> cases = {
        {"FTDI",
         ftdi,
         "1 ms, FTDI at low latency",
         1000,
         {},
         {"low latency on", "timer 1", "timer 16", "low latency off"}},
        {"FTDI timer refused",
         ftdiTimerRefused,
         "16 ms, FTDI default timer",
         16000,
         {"latency timer: 16 ms kept, 1 ms refused"},
         {"low latency on", "timer 1", "low latency off"}},
        {"FTDI already fast", ftdiAlreadyFast, "1 ms, FTDI at low latency", 1000, {}, {}},
        {"on-board, refused",
         onboard,
         "a few characters, on-board UART (serial8250)",
         0,
         {"low latency: refused"},
         {"low latency on"}},
        {"USB, silent driver",
         usb,
         "1 ms, USB adapter (cp210x)",
         1000,
         {"low latency: the driver does not say (refused)"},
         {}},
        {"virtual line", pty, "µs, virtual line", 1, {}, {}},
    };
    for (auto c : cases) {
        {
            LineTiming timing(c.tuning);
            EXPECT_EQ(timing.Report().resolution, c.resolution) << c.what;
            EXPECT_EQ(timing.Report().resolutionUs, c.resolutionUs) << c.what;
            EXPECT_EQ(timing.Report().notes, c.notes) << c.what;
        }
        EXPECT_EQ(c.tuning.log, c.log) << c.what;
    }
}

TEST(LineTiming, AVanishedDeviceIsNotTouchedAgain)
{
    FakeTuning ftdi;
    ftdi.driver = "ftdi_sio";
    ftdi.lowLatency = false;
    ftdi.timerMs = 16;
    {
        LineTiming timing(ftdi);
        timing.Forget();
    }
    EXPECT_EQ(ftdi.log, (std::vector<std::string>{"low latency on", "timer 1"}));
}

} // namespace
} // namespace quillon
