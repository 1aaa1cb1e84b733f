#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "analysis/line_health.h"
#include "native/wait_set.h"
#include "seams/port_settings.h"
#include "seams/serial_device.h"

namespace quillon::cli {

// What the listening side learns of its line while the monitor holds it.
struct LineWatch
{
    std::uint64_t bytesRead = 0;
    bool vanished = false; // the device hung up (adapter pulled, other end closed)
    // The driver's receive errors, taken at every read (one read a pass), and frame timing.
    LineHealth health;
    LineTimingReport timing; // of the device as it opened
};

// The port opener of a headless capture: no dialog. The settings given on the command line
// stand where the user's choice in Port Setup would, and the device opens through the window's
// own path (exclusive open, queue sizes, mode string, reads that return at once) on the
// platform's serial device, which takes what arrives whenever the loop's wait set wakes.
class ListenPortOpener : public PortOpener
{
public:
    ListenPortOpener(PortSettings chosen, WaitSet& waits);

    [[nodiscard]] std::unique_ptr<SerialLine> OpenPort(PortSettings& settings) override;

    [[nodiscard]] const LineWatch& Watch() const { return *m_watch; }
    // The session hands it every frame.
    [[nodiscard]] LineHealth& Health() { return m_watch->health; }

private:
    PortSettings m_chosen;
    WaitSet& m_waits;
    std::shared_ptr<LineWatch> m_watch = std::make_shared<LineWatch>();
};

} // namespace quillon::cli
