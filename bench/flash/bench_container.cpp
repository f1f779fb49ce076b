// Deciphering, checking and parsing a 512 KiB firmware container, as the single flash window
// does before flashing.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "flash/firmwarefile.h"
#include "flash/firmwarepack.h"

namespace {

using namespace kelmor::flash;

class SilentPrompter : public kelmor::platform::Prompter {
  public:
    kelmor::platform::Answer Ask(const kelmor::platform::Prompt& p) override {
        return p.defaultButton;
    }
};

const FirmwareKey kKey = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 9, 10, 11, 12};

// S2 records of 32 data bytes until the container reaches 512 KiB.
std::string Container512K() {
    std::string text = "S0030000FC\r\n";
    char line[96];
    for (uint32_t address = 0; text.size() + 100 < 512 * 1024 - 12; address += 32) {
        unsigned sum = 36 + (address >> 16 & 0xFF) + (address >> 8 & 0xFF) + (address & 0xFF);
        int n = std::snprintf(line, sizeof line, "S224%06X", address);
        for (int i = 0; i < 32; ++i) {
            unsigned b = (address + i * 7) & 0xFF;
            sum += b;
            n += std::snprintf(line + n, sizeof line - n, "%02X", b);
        }
        std::snprintf(line + n, sizeof line - n, "%02X\r\n", ~sum & 0xFF);
        text += line;
    }
    text += "S804000000FB\r\n";
    return PackContainer(kMarkerFlash, text, kKey);
}

void BM_CheckContainer512K(benchmark::State& state) {
    std::string file = Container512K();
    SilentPrompter prompter;
    FlashImage image;
    for (auto _ : state) {
        ContainerCheck check = CheckContainerForImage(file, ".sf2", kKey, image, prompter);
        if (!check.ok) state.SkipWithError("container refused");
        benchmark::DoNotOptimize(check.programSize);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.size()));
    state.counters["container_bytes"] = static_cast<double>(file.size());
}
BENCHMARK(BM_CheckContainer512K)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
