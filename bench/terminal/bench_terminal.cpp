// How fast the terminal display takes received bytes: ShowData per view into a full 64 kB
// scroll-back that is being trimmed (in the real text widget and in memory), and a pty peer
// streaming 2 MB into a terminal in hexadecimal view, every byte checked in the log.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPrinter>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "fakeshellservices.h"
#include "platform/programdir.h"
#include "ptypair.h"
#include "shell/terminalregistry.h"
#include "terminal/display.h"
#include "terminal/ui/portinasetus.h"
#include "terminal/ui/terminaali.h"
#include "terminal/ui/terminaltextedit.h"

using namespace kelmor;
using namespace kelmor::terminal;

namespace {

// Line data with a CR now and then, as a modem talks; the bytes cover all 256 values.
std::vector<uint8_t> Traffic(size_t size) {
    std::mt19937 rng(7);
    std::vector<uint8_t> bytes(size);
    for (auto& b : bytes) {
        uint32_t r = rng();
        b = (r % 61 == 0) ? 13 : static_cast<uint8_t>(r >> 8);
    }
    return bytes;
}

// Plain text lines ending in CR LF, as a modem's console prints them.
std::vector<uint8_t> TextTraffic(size_t size) {
    std::mt19937 rng(11);
    std::vector<uint8_t> bytes;
    bytes.reserve(size);
    while (bytes.size() < size) {
        size_t line = 20 + rng() % 60;
        for (size_t i = 0; i < line && bytes.size() < size; ++i)
            bytes.push_back(static_cast<uint8_t>(' ' + rng() % 95));
        bytes.push_back(13);
        bytes.push_back(10);
    }
    bytes.resize(size);
    return bytes;
}

constexpr size_t kChunk = 2048;  // RX_notify of a terminal

void Fill(TerminalDisplay& display, const std::vector<uint8_t>& data) {
    // Scroll-back full before timing starts.
    for (size_t i = 0; i < 64; ++i)
        display.ShowData(data.data() + (i * kChunk) % (data.size() - kChunk), kChunk);
}

// range(0) view, range(1) log on, range(2) 0 random bytes / 1 text lines.
void BM_ShowDataWidget(benchmark::State& state) {
    int view = static_cast<int>(state.range(0));
    TerminalTextEdit edit;
    edit.resize(550, 306);
    edit.show();
    bool focused = false;
    QtTextArea area(edit, focused);
    TerminalDisplay display(area);
    display.SetViewType(view);
    std::vector<uint8_t> data = state.range(2) ? TextTraffic(1 << 20) : Traffic(1 << 20);
    std::string log = platform::ProgramDir() + "/bench-showdata.txt";
    if (state.range(1)) display.StartLog(log);
    Fill(display, data);
    size_t offset = 0;
    for (auto _ : state) {
        display.ShowData(data.data() + offset, kChunk);
        offset = (offset + kChunk) % (data.size() - kChunk);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kChunk));
    state.counters["chars_held"] = static_cast<double>(area.CharacterCount());
    display.StopLog();
    std::remove(log.c_str());
}
BENCHMARK(BM_ShowDataWidget)
    ->ArgsProduct({{kViewText, kViewHex, kViewMixed}, {0, 1}, {0, 1}})
    ->ArgNames({"view", "log", "text"});

void BM_ShowDataMemory(benchmark::State& state) {
    MemoryTextArea area;
    TerminalDisplay display(area);
    display.SetViewType(static_cast<int>(state.range(0)));
    std::vector<uint8_t> data = Traffic(1 << 20);
    Fill(display, data);
    size_t offset = 0;
    for (auto _ : state) {
        display.ShowData(data.data() + offset, kChunk);
        offset = (offset + kChunk) % (data.size() - kChunk);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kChunk));
}
BENCHMARK(BM_ShowDataMemory)->Arg(kViewText)->Arg(kViewHex)->Arg(kViewMixed)->ArgName("view");

class BenchHost : public TerminalHost {
  public:
    BenchHost() { instances.portSettings = &dialog; }
    void RegisterTerminal(Tterminaali*, const QString&) override {}
    void UnregisterTerminal(Tterminaali*, const QString&) override {}
    void RenameTerminal(const QString&, const QString&) override {}
    void MirrorKey(Tterminaali*, uint8_t) override {}
    void MirrorBlock(Tterminaali*, const std::vector<uint8_t>&) override {}
    void RequestExit() override {}
    void NotAvailable() override {}
    void TerminalClosed(Tterminaali*) override {}
    Tportinasetus& PortSettingsDialog() override { return dialog; }
    SingleInstances& Instances() override { return instances; }
    shell::ShellServices& Services() override { return services; }
    QPoint MainOrigin() const override { return {}; }
    QRect MainGeometry() const override { return {0, 0, 800, 600}; }
    kelmor::testing::FakeShellServices services;
    Tportinasetus dialog;
    SingleInstances instances;
};

// A pty peer writes 2 MB as fast as the pty takes it; the terminal shows it in hex view and logs
// it. The log must equal the hex conversion of every byte sent.
void BM_PtyStreamHexView(benchmark::State& state) {
    const std::vector<uint8_t> data = Traffic(2 << 20);
    std::string expected;
    {
        DisplayConverter converter;
        converter.Convert(data.data(), data.size(), kViewHex);
        expected = converter.Text();
    }
    bool allExact = true;
    for (auto _ : state) {
        testing::PtyPair pty;
        setenv("KELMOR_COM1", pty.SlavePath().c_str(), 1);
        BenchHost host;
        host.dialog.runner = [](Tportinasetus& d) {
            TerminalPortSettings s = d.Values();
            s.serialPort = 0;
            s.viewType = kViewHex;
            s.localEcho = false;
            d.SetValues(s);
            d.OKClick();
            return static_cast<int>(QDialog::Accepted);
        };
        Tterminaali terminal(host);
        terminal.show();
        QElapsedTimer wait;
        wait.start();
        while (!terminal.Port().IsOpen() && wait.elapsed() < 3000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::string log = platform::ProgramDir() + "/bench-stream.txt";
        terminal.StartLog(QString::fromStdString(log));

        QElapsedTimer timer;
        timer.start();
        std::thread writer([&] { pty.Write(data); });
        while (terminal.Display().LogTotal() < expected.size() && timer.elapsed() < 120000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        writer.join();
        state.SetIterationTime(seconds);
        terminal.Display().StopLog();
        std::ifstream in(log, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        allExact = allExact && ss.str() == expected;
        state.counters["MB_per_s"] = static_cast<double>(data.size()) / seconds / 1e6;
        state.counters["seconds"] = seconds;
        terminal.close();
        std::remove(log.c_str());
    }
    state.counters["log_exact"] = allExact ? 1 : 0;
    if (!allExact) state.SkipWithError("log differs from the bytes sent");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_PtyStreamHexView)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// Ten terminals on ten ptys: suspend closes every port in one call, resume reopens them one per
// timer step. The figures are the longest time the GUI thread spends in one of those calls (the
// 800 ms pauses between steps are event-loop time and are shortened to 1 ms here).
void BM_ResumeTenTerminals(benchmark::State& state) {
    constexpr int kTerminals = 10;
    std::vector<std::unique_ptr<testing::PtyPair>> ptys;
    for (int n = 1; n <= kTerminals; ++n) {
        ptys.push_back(std::make_unique<testing::PtyPair>());
        setenv(("KELMOR_COM" + std::to_string(n)).c_str(), ptys.back()->SlavePath().c_str(), 1);
    }
    BenchHost host;
    std::vector<std::unique_ptr<Tterminaali>> terminals;
    for (int n = 0; n < kTerminals; ++n) {
        host.dialog.runner = [n](Tportinasetus& d) {
            TerminalPortSettings s = d.Values();
            s.serialPort = n;
            d.SetValues(s);
            d.OKClick();
            return static_cast<int>(QDialog::Accepted);
        };
        terminals.push_back(std::make_unique<Tterminaali>(host));
        terminals.back()->show();
        QElapsedTimer wait;
        wait.start();
        while (!terminals.back()->Port().IsOpen() && wait.elapsed() < 3000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    double longestStepMs = 0, suspendMs = 0;
    int steps = 0;
    shell::TerminalRegistry registry([&](int, std::function<void()> step) {
        QTimer::singleShot(1, [&, step = std::move(step)] {
            QElapsedTimer t;
            t.start();
            step();
            longestStepMs = std::max(longestStepMs, t.nsecsElapsed() / 1e6);
            ++steps;
        });
    });
    for (auto& t : terminals) registry.TerminalOpened(t.get());
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        registry.SuspendPorts();
        suspendMs = std::max(suspendMs, t.nsecsElapsed() / 1e6);
        registry.ResumePorts();
        while (registry.Resuming()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::processEvents();
        int open = 0;
        for (auto& terminal : terminals) open += terminal->Port().IsOpen() ? 1 : 0;
        if (open != kTerminals) state.SkipWithError("a port did not reopen");
    }
    state.counters["longest_resume_step_ms"] = longestStepMs;
    state.counters["suspend_ten_ms"] = suspendMs;
    state.counters["steps"] = steps;
    for (auto& t : terminals) t->close();
    terminals.clear();
    for (int n = 1; n <= kTerminals; ++n) unsetenv(("KELMOR_COM" + std::to_string(n)).c_str());
}
BENCHMARK(BM_ResumeTenTerminals)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (!getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!getenv("KELMOR_HOME")) {
        char tmpl[] = "/tmp/kelmor-bench-XXXXXX";
        if (char* dir = mkdtemp(tmpl)) setenv("KELMOR_HOME", dir, 1);
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
