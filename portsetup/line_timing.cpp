#include "portsetup/line_timing.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace quillon {

namespace {

// USB serial adapters hand bytes on at the earliest in the next 1 ms USB frame.
constexpr std::array<std::string_view, 5> kUsbDrivers = {"cp210x", "ch341", "pl2303", "cdc_acm",
                                                         "usb_serial_simple"};
constexpr int kFtdiDefaultTimerMs = 16;

} // namespace

LineTiming::LineTiming(SerialTuning& tuning) : m_tuning(&tuning)
{
    const std::string driver = tuning.DriverName();
    if (driver == "pty") {
        Describe(driver, std::nullopt, false);
        return;
    }
    bool lowLatency = false;
    const std::optional<bool> was = tuning.LowLatency();
    if (!was) {
        m_report.notes.push_back("low latency: the driver does not say (refused)");
    } else if (*was) {
        lowLatency = true;
    } else if (tuning.SetLowLatency(true)) {
        m_oldLowLatency = false;
        lowLatency = true;
    } else {
        m_report.notes.push_back("low latency: refused");
    }

    std::optional<int> timer;
    if (driver == "ftdi_sio") {
        timer = tuning.LatencyTimerMs();
        if (!timer) {
            m_report.notes.push_back("latency timer: cannot be read");
        } else if (*timer != kLowLatencyTimerMs) {
            if (tuning.SetLatencyTimerMs(kLowLatencyTimerMs)) {
                m_oldTimerMs = timer;
                timer = kLowLatencyTimerMs;
            } else {
                m_report.notes.push_back("latency timer: " + std::to_string(*timer) +
                                         " ms kept, 1 ms refused");
            }
        }
    }
    Describe(driver, timer, lowLatency);
}

LineTiming::~LineTiming()
{
    Restore();
}

void LineTiming::Restore()
{
    if (m_tuning == nullptr)
        return;
    if (m_oldTimerMs)
        (void)m_tuning->SetLatencyTimerMs(*m_oldTimerMs);
    if (m_oldLowLatency)
        (void)m_tuning->SetLowLatency(*m_oldLowLatency);
    m_tuning = nullptr;
}

void LineTiming::Describe(const std::string& driver, std::optional<int> timerMs, bool lowLatency)
{
    if (driver == "pty") {
        m_report.resolution = "µs, virtual line";
        m_report.resolutionUs = 1;
    } else if (driver == "ftdi_sio") {
        if (!timerMs) {
            m_report.resolution = "unknown, FTDI latency timer unread";
        } else {
            m_report.resolutionUs = std::int64_t{*timerMs} * 1000;
            m_report.resolution =
                std::to_string(*timerMs) + " ms, FTDI " +
                (*timerMs == kLowLatencyTimerMs    ? std::string("at low latency")
                 : *timerMs == kFtdiDefaultTimerMs ? std::string("default timer")
                                                   : std::string("latency timer"));
        }
    } else if (std::find(kUsbDrivers.begin(), kUsbDrivers.end(), driver) != kUsbDrivers.end()) {
        m_report.resolutionUs = 1000;
        m_report.resolution = "1 ms, USB adapter (" + driver + ")";
    } else if (!driver.empty()) {
        // An on-board UART hands bytes on at its FIFO's trigger level, or after a few quiet
        // character times; low latency keeps the kernel from adding its own delay.
        m_report.resolution = "a few characters, on-board UART (" + driver + ")" +
                              (lowLatency ? ", low latency" : "");
    } else {
        m_report.resolution = "unknown adapter";
    }
}

} // namespace quillon
