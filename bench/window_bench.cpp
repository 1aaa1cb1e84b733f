// The window with a million frames, offscreen: Load from the choice of file to the last line
// shown, scrolling, selecting a line and filtering, and the resident memory they leave.
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <QApplication>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QScrollBar>

#include "app/quillon_dlg.h"
#include "capture/cmodbus.h"
#include "headless/scripted_prompts.h"
#include "support/fakes.h"

namespace {

using namespace quillon;
using Bytes = std::vector<std::uint8_t>;

constexpr int kFrames = 1000000;

Bytes WithCrc(Bytes body)
{
    const std::uint16_t w = Crc16(body);
    body.push_back(static_cast<std::uint8_t>(w & 0xFFU));
    body.push_back(static_cast<std::uint8_t>(w >> 8));
    return body;
}

// A log file of `count` frames: reads of holding registers and their answers from eight nodes,
// an exception and a damaged CRC now and then.
std::string WriteCapture(int count)
{
    const std::string path =
        (std::filesystem::temp_directory_path() / "quillon_window_bench.mlog").string();
    std::ofstream out(path, std::ios::binary);
    char text[8];
    for (int i = 0; i < count; ++i) {
        const auto node = static_cast<std::uint8_t>(1 + (i / 2) % 8);
        Bytes frame;
        if (i % 2 == 0) {
            frame = WithCrc({node, 3, 0, 0, 0, 4});
        } else if (i % 101 == 0) {
            frame = WithCrc({node, 0x83, 2});
        } else {
            frame = WithCrc({node, 3, 8, 0, 1, 0, 2, 0, 3, static_cast<std::uint8_t>(i), 4});
            if (i % 97 == 0)
                frame.back() ^= 0xFF;
        }
        std::snprintf(text, sizeof text, "%02X,%02X,", unsigned(frame.size() >> 8),
                      unsigned(frame.size() & 0xFF));
        out << text;
        for (const std::uint8_t byte : frame) {
            std::snprintf(text, sizeof text, "%02X,", byte);
            out << text;
        }
        out << "Feb 16 2012 13:30:42.075  \r\n";
    }
    return path;
}

long ProcStatusKb(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = -1;
    while (status >> key) {
        if (key == field) {
            status >> value;
            return value;
        }
        status.ignore(1 << 12, '\n');
    }
    return -1;
}

struct Window
{
    test::MemorySettingsStore settings;
    ScriptedPrompts prompts;
    test::ScriptedPortOpener opener;
    test::ManualClock clock;
    std::unique_ptr<CQuillonDlg> dialog;
    QListView* frameList = nullptr;
    QListView* filteredList = nullptr;

    Window()
    {
        // The capture limit the user chose in an earlier session.
        settings.values["CaptureLimit"] = Bytes{'1', '0', '0', '0', '0', '0', '0', 0, 0, 0};
        dialog = std::make_unique<CQuillonDlg>(
            QuillonDlgServices{&prompts, &opener, nullptr, {}, &settings, &clock, {}});
        dialog->show();
        frameList = dialog->findChild<QListView*>("frameList");
        filteredList = dialog->findChild<QListView*>("filteredList");
    }
};

Window* g_window = nullptr;
std::string g_capture;

void BM_WindowLoadMillionFrames(benchmark::State& state)
{
    Window& w = *g_window;
    for (auto _ : state) {
        w.dialog->OpenFile(QString::fromStdString(g_capture));
        // The last line is shown once the appended lines reached the view and it painted.
        while (w.frameList->model()->rowCount() < kFrames)
            QCoreApplication::processEvents();
        w.frameList->repaint();
    }
    if (w.frameList->model()->rowCount() != kFrames)
        state.SkipWithError("the Frame list does not show every frame");
    // Whether "Samples = 1000000" shows whole at the window's default size.
    const auto* samples = w.dialog->findChild<QLabel*>("samples");
    state.counters["samples_fit"] = samples->sizeHint().width() <= samples->width() ? 1 : 0;
    state.counters["resident_MB"] = static_cast<double>(ProcStatusKb("VmRSS:")) / 1024;
    state.counters["peak_MB"] = static_cast<double>(ProcStatusKb("VmHWM:")) / 1024;
}

void BM_WindowScrollMillionFrames(benchmark::State& state)
{
    Window& w = *g_window;
    QScrollBar* bar = w.frameList->verticalScrollBar();
    std::mt19937 random(7);
    for (auto _ : state) {
        bar->setValue(static_cast<int>(random() % static_cast<unsigned>(bar->maximum() + 1)));
        w.frameList->viewport()->repaint();
    }
}

void BM_WindowSelectMillionFrames(benchmark::State& state)
{
    Window& w = *g_window;
    auto* details = w.dialog->findChild<QListWidget*>("detailList");
    std::mt19937 random(11);
    for (auto _ : state) {
        const QModelIndex index =
            w.frameList->model()->index(static_cast<int>(random() % kFrames), 0);
        w.frameList->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        w.frameList->scrollTo(index);
        w.frameList->viewport()->repaint();
        details->repaint();
    }
}

void BM_WindowFilterMillionFrames(benchmark::State& state)
{
    Window& w = *g_window;
    std::uint8_t node = 0;
    for (auto _ : state) {
        node = static_cast<std::uint8_t>(node % 8 + 1);
        w.dialog->GetMonitor().ApplyFilter(3, node);
        w.filteredList->repaint();
    }
    state.counters["filtered_lines"] = w.filteredList->model()->rowCount();
    state.counters["resident_MB"] = static_cast<double>(ProcStatusKb("VmRSS:")) / 1024;
}

BENCHMARK(BM_WindowLoadMillionFrames)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowScrollMillionFrames)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowSelectMillionFrames)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowFilterMillionFrames)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    g_capture = WriteCapture(kFrames);
    Window window;
    g_window = &window;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_window = nullptr;
    std::filesystem::remove(g_capture);
    return 0;
}
