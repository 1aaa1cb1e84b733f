#include "cli/listen_detect.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "native/native_serial.h"
#include "native/receive_queue.h"
#include "portsetup/line_search.h"

namespace quillon::cli {

namespace {

// A command line has nothing to show between reads: it naps, and only a signal ends it.
class NapPacer final : public LineSearchPacer
{
public:
    bool Trying(const LineCandidate&, std::size_t) override { return true; }
    bool Nap() override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return true;
    }
    [[nodiscard]] std::int64_t NowUs() const override { return SteadyMicroseconds(); }
};

void Say(const std::string& text)
{
    const std::string line = text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

} // namespace

bool DetectLineSettings(PortSettings& settings)
{
    NativeSerialDeviceLayer devices;
    NapPacer pacer;
    const LineSearchOutcome outcome = SearchLineSettings(settings, devices, pacer);
    // What the port refused comes first, then the verdict, then what it could not tell apart.
    const bool refusedFirst =
        !outcome.notes.empty() && outcome.notes.front().rfind("the port refused ", 0) == 0;
    if (refusedFirst)
        Say("quillon-cli: " + outcome.notes.front());
    Say("line settings: " + outcome.summary);
    for (std::size_t i = refusedFirst ? 1 : 0; i < outcome.notes.size(); ++i)
        Say("quillon-cli: " + outcome.notes[i]);
    if (!outcome.found)
        return false;
    settings = outcome.settings;
    return true;
}

} // namespace quillon::cli
