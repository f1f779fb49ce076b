// How quickly TCommPort hands over what arrives on a pty: the delay from the peer's write to
// tulleet_merkit at the tick intervals the windows use, the most a background port can take
// per second, and a direct-mode round trip as the flashing link makes them.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <chrono>
#include <thread>

#include "ptypair.h"
#include "serial/commport.h"

using kelmor::serial::TCommPort;
using kelmor::testing::PtyPair;
using Clock = std::chrono::steady_clock;

namespace {

template <class Done>
bool PumpUntil(Done done, int timeoutMs = 3000) {
    auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (Clock::now() > end) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
    }
    return true;
}

// One byte from the peer until tulleet_merkit has it; argument: valiaika in ms.
void BM_ReceiveLatency(benchmark::State& state) {
    PtyPair pty;
    TCommPort port;
    port.SetDevicePath(pty.SlavePath());
    port.Setvaliaika(static_cast<int>(state.range(0)));
    port.Settaustaajo(true);
    int received = 0;
    port.tulleet_merkit = [&](TCommPort* p) { received += p->ReceivedCount(); };
    port.SetOpen(true);
    for (auto _ : state) {
        const int before = received;
        auto start = Clock::now();
        pty.Write(std::string("x"));
        if (!PumpUntil([&] { return received > before; })) state.SkipWithError("no byte");
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
}
BENCHMARK(BM_ReceiveLatency)->Arg(5)->Arg(50)->UseManualTime()->Unit(benchmark::kMillisecond);

// 64 KiB streamed in by the peer, as the terminal window sets the port up (valiaika 50,
// RX_notify 2048): bytes per second a background port can take in.
void BM_BackgroundThroughput(benchmark::State& state) {
    PtyPair pty;
    TCommPort port;
    port.SetDevicePath(pty.SlavePath());
    port.Setvaliaika(50);
    port.SetRX_puskurin_koko(2048);
    port.SetRX_notify(2048);
    port.Settaustaajo(true);
    size_t received = 0;
    port.tulleet_merkit = [&](TCommPort* p) { received += p->TakeReceived().size(); };
    port.SetOpen(true);
    const std::vector<uint8_t> block(65536, 0x55);
    for (auto _ : state) {
        received = 0;
        std::thread peer([&] { pty.Write(block); });
        if (!PumpUntil([&] { return received >= block.size(); }, 20000))
            state.SkipWithError("bytes missing");
        peer.join();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * block.size()));
}
BENCHMARK(BM_BackgroundThroughput)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Direct mode: 16 bytes out, the peer echoes them, read back with DirectWaitReadable/DirectRead.
void BM_DirectRoundTrip(benchmark::State& state) {
    PtyPair pty;
    TCommPort port;
    port.SetDevicePath(pty.SlavePath());
    port.SetRX_notify(512);
    port.SetOpen(true);
    const std::vector<uint8_t> frame(16, 0xA5);
    for (auto _ : state) {
        port.DirectWrite(frame.data(), static_cast<int>(frame.size()));
        pty.Write(pty.Read(frame.size(), 1000));
        size_t got = 0;
        while (got < frame.size() && port.DirectWaitReadable(1000)) {
            int count = 0;
            got += port.DirectRead(count).size();
        }
        if (got != frame.size()) state.SkipWithError("echo missing");
    }
}
BENCHMARK(BM_DirectRoundTrip)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
