#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "bus_options.h"
#include "virtual_bus.h"

namespace {

using quillon::vbus::BusOptions;
using quillon::vbus::Nanos;
using quillon::vbus::VirtualBus;

volatile std::sig_atomic_t g_stop = 0;

void OnStopSignal(int)
{
    g_stop = 1;
}

// Names and links this run made, removed again when it ends.
struct Outputs
{
    std::vector<std::string> links;
    std::string madeDir;
    std::string namesFile;

    ~Outputs()
    {
        for (const auto& link : links)
            unlink(link.c_str());
        if (!madeDir.empty())
            rmdir(madeDir.c_str());
        if (!namesFile.empty())
            unlink(namesFile.c_str());
    }
};

[[nodiscard]] bool
MakeLinks(const BusOptions& options, const VirtualBus& bus, Outputs& outputs, std::string& error)
{
    if (mkdir(options.linkDir.c_str(), 0755) == 0) {
        outputs.madeDir = options.linkDir;
    } else if (errno != EEXIST) {
        error = options.linkDir + ": " + std::strerror(errno);
        return false;
    }
    for (std::size_t i = 0; i < bus.PeerCount(); ++i) {
        const std::string link = options.linkDir + "/peer" + std::to_string(i);
        struct stat info
        {
        };
        if (lstat(link.c_str(), &info) == 0) {
            if (!S_ISLNK(info.st_mode)) {
                error = link + " exists and is not a link";
                return false;
            }
            unlink(link.c_str());
        }
        if (symlink(bus.Peer(i).DeviceName().c_str(), link.c_str()) != 0) {
            error = link + ": " + std::strerror(errno);
            return false;
        }
        outputs.links.push_back(link);
    }
    return true;
}

// Writes the names beside the file and renames it into place, so that a script waiting for
// the file never reads it half written.
[[nodiscard]] bool WriteNamesFile(const std::string& path,
                                  const std::string& names,
                                  Outputs& outputs,
                                  std::string& error)
{
    const std::string temporary = path + ".tmp" + std::to_string(getpid());
    std::FILE* file = std::fopen(temporary.c_str(), "w");
    if (file == nullptr) {
        error = temporary + ": " + std::strerror(errno);
        return false;
    }
    const bool written = std::fputs(names.c_str(), file) >= 0;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = path + ": " + std::strerror(errno);
        unlink(temporary.c_str());
        return false;
    }
    outputs.namesFile = path;
    return true;
}

void PrintStats(const VirtualBus& bus, Nanos elapsed)
{
    const double seconds = static_cast<double>(elapsed) / 1e9;
    std::uint64_t carried = 0;
    for (std::size_t i = 0; i < bus.PeerCount(); ++i)
        carried += bus.Stats(i).sent;
    std::fprintf(stderr, "quillon-vbus: %llu bytes carried in %.3f s (%.1f bytes/s)\n",
                 static_cast<unsigned long long>(carried), seconds,
                 seconds > 0 ? static_cast<double>(carried) / seconds : 0.0);
    for (std::size_t i = 0; i < bus.PeerCount(); ++i) {
        const auto& stats = bus.Stats(i);
        std::fprintf(stderr, "quillon-vbus: peer%zu %s sent %llu received %llu missed %llu\n", i,
                     bus.Peer(i).DeviceName().c_str(), static_cast<unsigned long long>(stats.sent),
                     static_cast<unsigned long long>(stats.received),
                     static_cast<unsigned long long>(stats.missed));
    }
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    const auto parsed = quillon::vbus::ParseBusOptions(args);
    if (!parsed.options) {
        std::fprintf(stderr, "quillon-vbus: %s (try --help)\n", parsed.error.c_str());
        return 2;
    }
    const BusOptions& options = *parsed.options;
    if (options.help) {
        std::fputs(quillon::vbus::UsageText().c_str(), stdout);
        return 0;
    }

    // The stop signals are held back except while the line waits, so a stop request breaks
    // the wait instead of landing between a check of the flag and the wait.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    sigset_t waitMask;
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);
    sigdelset(&waitMask, SIGHUP);
    struct sigaction action
    {
    };
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    VirtualBus bus(options);
    std::string error;
    Outputs outputs;
    if (!bus.Open(error) ||
        (!options.linkDir.empty() && !MakeLinks(options, bus, outputs, error))) {
        std::fprintf(stderr, "quillon-vbus: %s\n", error.c_str());
        return 1;
    }
    std::string names;
    for (std::size_t i = 0; i < bus.PeerCount(); ++i)
        names += bus.Peer(i).DeviceName() + '\n';
    if (!options.namesFile.empty() && !WriteNamesFile(options.namesFile, names, outputs, error)) {
        std::fprintf(stderr, "quillon-vbus: %s\n", error.c_str());
        return 1;
    }
    std::fputs(names.c_str(), stdout);
    std::fflush(stdout);

    if (options.verbose) {
        std::fprintf(stderr, "quillon-vbus: %d peers, %s\n", options.peers,
                     quillon::vbus::DescribeLine(options).c_str());
        bus.SetAttachSink([&bus](std::size_t peer, bool attached) {
            std::fprintf(stderr, "quillon-vbus: peer%zu %s %s\n", peer,
                         bus.Peer(peer).DeviceName().c_str(), attached ? "attached" : "detached");
        });
    }

    constexpr Nanos kLongestWait = 1'000'000'000;
    const Nanos started = VirtualBus::Now();
    while (g_stop == 0)
        bus.Step(kLongestWait, &waitMask);

    if (options.stats)
        PrintStats(bus, VirtualBus::Now() - started);
    return 0;
}
