#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "capture/cmodbus.h"
#include "formats/log_file.h"
#include "headless/memory_controls.h"
#include "monitor/frame_lister.h"
#include "monitor/monitor.h"
#include "support/fakes.h"

namespace {

using namespace quillon;
using Bytes = std::vector<std::uint8_t>;

Bytes WithCrc(Bytes body)
{
    const std::uint16_t w = Crc16(body);
    body.push_back(static_cast<std::uint8_t>(w & 0xFFU));
    body.push_back(static_cast<std::uint8_t>(w >> 8));
    return body;
}

// A master polling eight slaves in turn: a write of two registers, a read of holding registers
// and a read of input registers per slave, with an exception now and then and a damaged CRC
// more rarely. Each slave's turn starts with the write, whose 8-byte response the frame model
// can only tell from a following frame of the same slave.
std::vector<Bytes> PollingFrames(int count)
{
    std::vector<Bytes> frames;
    int n = 0;
    const auto data = [&n](int i) { return static_cast<std::uint8_t>(0x40 + ((n + i) & 0x3F)); };
    while (static_cast<int>(frames.size()) < count) {
        for (std::uint8_t node = 1; node <= 8; ++node) {
            ++n;
            Bytes write = WithCrc({node, 16, 0, 1, 0, 2, 4, data(0), data(1), data(2), data(3)});
            if (n % 53 == 0)
                write.back() ^= 0xFF;
            frames.push_back(write);
            frames.push_back(WithCrc({node, 16, 0, 1, 0, 2}));
            frames.push_back(WithCrc({node, 3, 0, 0, 0, 20}));
            if (n % 37 == 0) {
                frames.push_back(WithCrc({node, 0x83, 2}));
            } else {
                Bytes response{node, 3, 20};
                for (int i = 0; i < 20; ++i)
                    response.push_back(data(i));
                frames.push_back(WithCrc(response));
            }
            frames.push_back(WithCrc({node, 4, 0, 16, 0, 4}));
            frames.push_back(WithCrc({node, 4, 8, data(0), data(1), data(2), data(3), data(4),
                                      data(5), data(6), data(7)}));
        }
    }
    frames.resize(static_cast<std::size_t>(count));
    return frames;
}

Bytes Concatenate(const std::vector<Bytes>& frames)
{
    Bytes stream;
    for (const Bytes& frame : frames)
        stream.insert(stream.end(), frame.begin(), frame.end());
    return stream;
}

// Empties the lists at the capture limit, as the restart after the limit does, so the pass can
// go on listing.
struct RestartingListener : PassListener, FrameSink
{
    CaptureData* data = nullptr;
    MemoryMonitorControls* controls = nullptr;
    std::int64_t lines = 0;
    void Take(const CutFrame& /*frame*/) override { ++lines; }
    void CaptureLimitReached() override
    {
        data->store.Reset();
        data->filteredLines.Clear();
        controls->frameList.LinesReset();
        controls->filteredList.LinesReset();
    }
};

// Frames per second of the live pass over the polling stream, fed in reads of up to 512 bytes
// through the in-memory line and the in-memory controls, with a node filter routing lines.
void BM_AnalysePassPollingStream(benchmark::State& state)
{
    const Bytes stream = Concatenate(PollingFrames(4800));
    CaptureData data;
    MemoryMonitorControls controls;
    Filter filter;
    filter.Set(0, 3);
    FrameLister lister(data, controls.View(), filter);
    auto feed = std::make_shared<test::LineFeed>();
    test::MemorySerialLine line(feed);
    test::ManualClock clock;
    RestartingListener listener;
    listener.data = &data;
    listener.controls = &controls;
    data.cutter.Subscribe(listener);

    for (auto _ : state) {
        for (std::size_t at = 0; at < stream.size(); at += kReadRequestMax) {
            const std::size_t n = std::min(kReadRequestMax, stream.size() - at);
            feed->pending.insert(feed->pending.end(), stream.begin() + static_cast<long>(at),
                                 stream.begin() + static_cast<long>(at + n));
            lister.AnalyseTick(line, clock, listener);
        }
    }
    if (listener.lines != static_cast<std::int64_t>(state.iterations()) * 4800)
        state.SkipWithError("the stream was not cut frame by frame");
    state.SetItemsProcessed(listener.lines);
}
BENCHMARK(BM_AnalysePassPollingStream)->Unit(benchmark::kMillisecond);

// A Load of a 2000-line capture file from disk: reading, parsing and re-analysing every line.
void BM_LoadCaptureFile(benchmark::State& state)
{
    const std::vector<Bytes> frames = PollingFrames(kCaptureLimit);
    const auto path = std::filesystem::temp_directory_path() / "quillon-bench-load.mlog";
    {
        CaptureStore store;
        for (std::size_t i = 0; i < frames.size(); ++i) {
            char ts[32];
            std::snprintf(ts, sizeof ts, "Mar 05 2012 09:%02zu:%02zu.%03zu  ", i / 600 % 60,
                          i / 10 % 60, i * 100 % 1000);
            (void)store.StoreRecord(frames[i], ts);
        }
        const LogFile out(std::fopen(path.string().c_str(), "wb"));
        if (!out || !WriteLogLines(out.get(), store, 0, store.Count())) {
            state.SkipWithError("cannot write the capture file");
            return;
        }
    }
    MemoryMonitorControls controls;
    ScriptedPrompts prompts;
    test::ScriptedPortOpener portOpener;
    test::ManualTimer timer;
    test::ManualClock clock;
    test::MemorySettingsStore settings;
    Monitor monitor(
        MonitorDependencies{controls.View(), prompts, portOpener, timer, clock, settings});
    for (auto _ : state) {
        const LoadOutcome load = monitor.LoadFile(path.string());
        if (!load.opened || monitor.LineCount() != kCaptureLimit) {
            state.SkipWithError("the capture file did not load whole");
            break;
        }
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_LoadCaptureFile)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
