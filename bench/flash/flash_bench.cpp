// Wall time of an H8/3069 update-path run (256 KiB at 115200 bit/s, paced simulator on a pty)
// against the least time the protocol allows, and four such runs in parallel.
//
// The least time: every byte's line time on the critical path (10 bits a byte at the rate in
// use) plus the waits and time-outs the run itself always spends. Counters: wall_s, model_s and
// ratio (wall / model); the parallel case also reports ratio_to_single.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "flash/loaders.h"
#include "flash/massflash_3069.h"
#include "platform/prompter.h"
#include "sim/ptyrunner.h"
#include "sim/srecordwriter.h"

namespace {

using namespace kelmor;

constexpr uint32_t kImage = 256 * 1024;
constexpr int kRate = 115200;

double ByteMs(int rate) { return 10000.0 / rate; }

// The critical path of one update run as the run's own steps fix it.
double ModelSeconds() {
    double ms = 10 + 1800;                               // open, settle
    ms += 7 * ByteMs(9600) + 500 + 300 + 50 + 200 + 50;  // request, reply reads, pause
    ms += 3 + 2 * ByteMs(9600);                          // one sync byte answered
    ms += ByteMs(9600) + 10 + 2 + 10;                    // 0x55, its answer read out
    ms += 2 * ByteMs(9600) + 50 + 2 * ByteMs(9600);      // loader length (first read waits it out)
    for (int sent = 0; sent < 1748; sent += 32) {
        int n = std::min(32, 1748 - sent);
        ms += n * ByteMs(9600) + 50 + ByteMs(9600);  // chunk on the line, pause, last echo byte
    }
    ms += 100 + 2 * ByteMs(kRate) + 100;  // loader start, ENQ/ACK, pause before the CRC
    int blocks = 0;
    for (uint32_t erased = 0; erased < kImage; erased += flash::kH83069Blocks[blocks++]) {
    }
    // 0x48, the erase frames, the end-of-erase frame, 0x43: each answered by one ACK, 5 ms pause.
    ms += (1 + ByteMs(kRate) + 5) + blocks * (4 * ByteMs(kRate) + ByteMs(kRate) + 5) +
          (4 * ByteMs(kRate) + ByteMs(kRate) + 5) + (ByteMs(kRate) * 2 + 5);
    int frames = kImage / 128;
    ms += frames * (134 * ByteMs(kRate) + ByteMs(kRate) + 5);     // frame, ACK, pause
    ms += 6 * ByteMs(kRate) + ByteMs(kRate) + 5 + ByteMs(kRate);  // end frame, 0xFE
    return ms / 1000.0;
}

class QuietPrompter : public platform::Prompter {
  public:
    platform::Answer Ask(const platform::Prompt& p) override { return p.defaultButton; }
};

struct Modem {
    explicit Modem(const std::vector<uint8_t>&) : runner(Config()) {
        thread = std::thread([this] { runner.Run(stop); });
    }
    ~Modem() {
        stop = true;
        thread.join();
    }
    static sim::ModemConfig Config() {
        sim::ModemConfig c;
        c.chip = sim::Chip::H83069;
        c.mode = sim::Mode::Update;
        c.pacing = true;
        c.blockEraseMs = 0;
        return c;
    }
    sim::PtyRunner runner;
    std::atomic<bool> stop{false};
    std::thread thread;
};

double RunPorts(int ports, const std::vector<uint8_t>& image, bool& ok) {
    std::vector<std::unique_ptr<Modem>> modems;
    std::vector<std::unique_ptr<flash::CMassFlash_3069>> engines;
    QuietPrompter prompter;
    for (int i = 0; i < ports; ++i) {
        modems.push_back(std::make_unique<Modem>(image));
        auto e = std::make_unique<flash::CMassFlash_3069>();
        e->link.prompter = &prompter;
        e->link.devicePath = modems.back()->runner.DevicePath();
        e->update = true;
        e->speedMode = 1;
        e->image = image.data();
        e->imageSize = static_cast<uint32_t>(image.size());
        e->programSize = kImage;
        engines.push_back(std::move(e));
    }
    auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    for (auto& e : engines) threads.emplace_back([&e] { e->Run(); });
    for (auto& t : threads) t.join();
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ok = true;
    for (int i = 0; i < ports; ++i) {
        const auto& f = modems[static_cast<size_t>(i)]->runner.Modem().FlashContent();
        ok = ok && engines[static_cast<size_t>(i)]->result.load() == 0 &&
             std::equal(image.begin(), image.begin() + kImage, f.begin());
    }
    return s;
}

double singleSeconds = 0;

void BM_UpdatePath256KiBAt115200(benchmark::State& state) {
    auto image = sim::PatternImage(kImage);
    for (auto _ : state) {
        bool ok = false;
        double s = RunPorts(1, image, ok);
        if (!ok) state.SkipWithError("run failed or flash differs from the image");
        singleSeconds = s;
        state.counters["wall_s"] = s;
        state.counters["model_s"] = ModelSeconds();
        state.counters["ratio"] = s / ModelSeconds();
    }
}
BENCHMARK(BM_UpdatePath256KiBAt115200)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_FourPortsInParallel(benchmark::State& state) {
    auto image = sim::PatternImage(kImage);
    for (auto _ : state) {
        bool ok = false;
        double s = RunPorts(4, image, ok);
        if (!ok) state.SkipWithError("a run failed or a flash differs from the image");
        state.counters["wall_s"] = s;
        state.counters["ratio"] = s / ModelSeconds();
        if (singleSeconds > 0) state.counters["ratio_to_single"] = s / singleSeconds;
    }
}
BENCHMARK(BM_FourPortsInParallel)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
