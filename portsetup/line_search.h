#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/line_detection.h"
#include "seams/port_settings.h"
#include "seams/serial_device.h"

namespace quillon {

// How a search for a line's settings waits and tells how it goes: the window keeps its events
// running and offers Cancel; a command line only naps.
class LineSearchPacer
{
public:
    virtual ~LineSearchPacer() = default;
    // Before listening at a candidate; false ends the search (the user cancelled).
    virtual bool Trying(const LineCandidate& candidate, std::size_t tried) = 0;
    // Between two reads: waits a little; false ends the search.
    virtual bool Nap() = 0;
    // A steady clock, microseconds.
    [[nodiscard]] virtual std::int64_t NowUs() const = 0;
};

// What a search found.
struct LineSearchOutcome
{
    bool found = false;
    bool cancelled = false;
    PortSettings settings;          // the given settings with the winner's rate and format
    std::string summary;            // "19200 8E1 (detected in 3.1 s)", or the closest
    std::vector<std::string> notes; // settings the port refused, formats heard alike
};

// Listens on the settings' port at each candidate in turn (never transmitting) until one
// clearly wins, the candidates run out or the pacer ends it.
[[nodiscard]] LineSearchOutcome SearchLineSettings(const PortSettings& settings,
                                                   SerialDeviceLayer& devices,
                                                   LineSearchPacer& pacer);

} // namespace quillon
