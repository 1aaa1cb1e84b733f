#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "analysis/register_image.h"
#include "capture/cmodbus.h"
#include "formats/capture_stream.h"

namespace {

using namespace quillon;
using Bytes = std::vector<std::uint8_t>;

constexpr long kFrames = 1'000'000;

Bytes WithCrc(Bytes body)
{
    const std::uint16_t w = Crc16(body);
    body.push_back(static_cast<std::uint8_t>(w & 0xFFU));
    body.push_back(static_cast<std::uint8_t>(w >> 8));
    return body;
}

// A capture log file of a master polling eight slaves for ten registers each, 20 ms a
// transaction: every 37th answer an exception, every 11th slave silent for a round, and a
// damaged CRC now and then.
std::filesystem::path WriteMillionFrameFile()
{
    const auto path = std::filesystem::temp_directory_path() /
                      ("quillon-bench-stats-" + std::to_string(::getpid()) + ".mlog");
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    if (file == nullptr)
        return {};
    long written = 0;
    long transaction = 0;
    std::string line;
    const auto write = [&](const Bytes& frame, long ms) {
        line.clear();
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X,", static_cast<unsigned>(frame.size() >> 8));
        line += pair;
        std::snprintf(pair, sizeof pair, "%02X,", static_cast<unsigned>(frame.size() & 0xFF));
        line += pair;
        for (const std::uint8_t byte : frame) {
            std::snprintf(pair, sizeof pair, "%02X,", byte);
            line += pair;
        }
        char stamp[40];
        std::snprintf(stamp, sizeof stamp, "Mar 05 2012 %02ld:%02ld:%02ld.%03ld  \r\n",
                      ms / 3'600'000 % 24, ms / 60'000 % 60, ms / 1000 % 60, ms % 1000);
        line += stamp;
        std::fwrite(line.data(), 1, line.size(), file);
        ++written;
    };
    while (written < kFrames) {
        const auto node = static_cast<std::uint8_t>(1 + transaction % 8);
        const long ms = transaction * 20;
        ++transaction;
        Bytes query = WithCrc({node, 3, 0, 0, 0, 10});
        if (transaction % 101 == 0)
            query.back() ^= 0x5A;
        write(query, ms);
        if (written >= kFrames || transaction % 11 == 0)
            continue;
        if (transaction % 37 == 0) {
            write(WithCrc({node, 0x83, 2}), ms + 5);
            continue;
        }
        Bytes answer{node, 3, 20};
        for (int i = 0; i < 20; ++i)
            answer.push_back(static_cast<std::uint8_t>(transaction + i));
        write(WithCrc(answer), ms + 5);
    }
    std::fclose(file);
    return path;
}

const std::filesystem::path& MillionFrameFile()
{
    static const std::filesystem::path path = WriteMillionFrameFile();
    return path;
}

// A whole `quillon-cli` process over a file of a million frames: frames per second of wall
// time, and the process's peak resident size.
void RunCliOverMillionFrames(benchmark::State& state, const char* command)
{
    const std::filesystem::path& path = MillionFrameFile();
    if (path.empty()) {
        state.SkipWithError("cannot write the capture file");
        return;
    }
    double seconds = 0;
    long maxRssKb = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const pid_t child = ::fork();
        if (child == 0) {
            std::freopen("/dev/null", "w", stdout);
            ::execl(QUILLON_CLI_PATH, QUILLON_CLI_PATH, command, path.string().c_str(), "--json",
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        int status = 0;
        rusage usage{};
        if (child < 0 || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0) {
            state.SkipWithError("quillon-cli failed");
            break;
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        maxRssKb = std::max(maxRssKb, usage.ru_maxrss);
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    if (seconds > 0)
        state.counters["frames_per_s"] =
            static_cast<double>(kFrames) * static_cast<double>(state.iterations()) / seconds;
    state.counters["max_rss_MB"] = static_cast<double>(maxRssKb) / 1024.0;
}

void BM_StatsCommandMillionFrames(benchmark::State& state)
{
    RunCliOverMillionFrames(state, "stats");
}
BENCHMARK(BM_StatsCommandMillionFrames)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_ValuesCommandMillionFrames(benchmark::State& state)
{
    RunCliOverMillionFrames(state, "values");
}
BENCHMARK(BM_ValuesCommandMillionFrames)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// The core pass over the same million frames in this process, handing every frame to nothing
// (0) or to the register image (1): the image's share of the cost is the difference.
void BM_CorePassWithAndWithoutImage(benchmark::State& state)
{
    const std::filesystem::path& path = MillionFrameFile();
    const bool withImage = state.range(0) != 0;
    std::uint64_t frames = 0;
    for (auto _ : state) {
        std::FILE* in = std::fopen(path.string().c_str(), "rb");
        if (in == nullptr) {
            state.SkipWithError("cannot read the capture file");
            return;
        }
        RegisterImage image;
        // Counts what is handed on, so that both runs do the same work but the image's.
        struct Counter : FrameSink
        {
            std::uint64_t seen = 0;
            void Take(const CutFrame&) override { ++seen; }
        } counter;
        FrameCutter cutter(FrameModelKind::Device);
        cutter.Subscribe(counter);
        if (withImage)
            cutter.Subscribe(image);
        const StreamOutcome outcome = StreamCaptureFile(in, cutter);
        const std::uint64_t seen = counter.seen;
        std::fclose(in);
        benchmark::DoNotOptimize(image.Size());
        if (outcome.status != StreamOutcome::Status::Done)
            state.SkipWithError("the stream stopped");
        frames += seen;
    }
    state.counters["frames_per_s"] =
        benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CorePassWithAndWithoutImage)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::temp_directory_path())) {
        if (entry.path().filename().string().starts_with("quillon-bench-stats-" +
                                                         std::to_string(::getpid())))
            std::filesystem::remove(entry.path());
    }
    return 0;
}
