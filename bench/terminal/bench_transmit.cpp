// Transmit window and TX test timing over ptys.
// BM_ContinuousGap: continuous sending through a terminal with a delay, 200 packets, while a
// second terminal receives a full-rate stream; the gap from the last byte of one packet to the
// first byte of the next, as the far end of the line sees it, against the set delay.
// BM_TxTestBusy: the TX test writer against a reader that takes bytes at 115200 bit/s (10 bits
// a byte); the share of the reader's time it found a byte waiting.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/prompter.h"
#include "ptypair.h"
#include "terminal/display.h"
#include "terminal/terminalcore.h"
#include "terminal/transmit.h"
#include "terminal/txtest.h"

using namespace kelmor;
using namespace kelmor::terminal;
using kelmor::testing::PtyPair;

namespace {

int64_t NowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

class CoreTarget : public TransmitTarget {
  public:
    explicit CoreTarget(TerminalCore& core) : core_(core) {}
    void SendBlock(std::vector<uint8_t> bytes) override { core_.SendBlock(std::move(bytes)); }
    void DiscardPendingSend() override {}

  private:
    TerminalCore& core_;
};

class QuietPrompter : public platform::Prompter {
  public:
    platform::Answer Ask(const platform::Prompt& p) override { return p.defaultButton; }
};

struct Terminal {
    explicit Terminal(const std::string& path) : display(area), core(display) {
        core.Port().SetPrompter(&prompter);
        core.Port().SetDevicePath(path);
    }
    MemoryTextArea area;
    TerminalDisplay display;
    TerminalCore core;
    QuietPrompter prompter;
};

// Reads the far end of the sending terminal's line and notes when each packet began and ended.
class PacketClock {
  public:
    PacketClock(int fd, size_t packetSize) : fd_(fd), packetSize_(packetSize) {
        thread_ = std::thread([this] { Run(); });
    }
    ~PacketClock() {
        stop_ = true;
        thread_.join();
    }
    size_t Packets() const { return packets_; }
    // Gaps in microseconds between the end of packet i and the start of packet i + 1.
    std::vector<int64_t> Gaps() {
        std::lock_guard lock(mutex_);
        std::vector<int64_t> gaps;
        for (size_t i = 1; i < starts_.size() && i <= ends_.size(); ++i)
            gaps.push_back(starts_[i] - ends_[i - 1]);
        return gaps;
    }

  private:
    void Run() {
        uint8_t buf[4096];
        size_t inPacket = 0;
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            const int64_t at = NowUs();
            ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n <= 0) continue;
            std::lock_guard lock(mutex_);
            for (ssize_t i = 0; i < n; ++i) {
                if (inPacket == 0) starts_.push_back(at);
                if (++inPacket == packetSize_) {
                    ends_.push_back(at);
                    inPacket = 0;
                    ++packets_;
                }
            }
        }
    }

    int fd_;
    size_t packetSize_;
    std::atomic<bool> stop_{false};
    std::atomic<size_t> packets_{0};
    std::mutex mutex_;
    std::vector<int64_t> starts_, ends_;
    std::thread thread_;
};

// A modem that never stops talking to the second terminal: at a line's full rate of
// `bitsPerSecond` (10 bits a byte), or as fast as the pty takes bytes when 0.
class Streamer {
  public:
    Streamer(PtyPair& pty, int bitsPerSecond) : pty_(pty) {
        thread_ = std::thread([this, bitsPerSecond] {
            std::vector<uint8_t> chunk(4096);
            for (size_t i = 0; i < chunk.size(); ++i)
                chunk[i] = static_cast<uint8_t>(i % 61 == 0 ? 13 : 'A' + i % 26);
            const int64_t start = NowUs();
            while (!stop_) {
                size_t want = chunk.size();
                if (bitsPerSecond > 0) {
                    const int64_t due = (NowUs() - start) * (bitsPerSecond / 10) / 1000000;
                    if (due <= static_cast<int64_t>(bytes_)) {
                        std::this_thread::sleep_for(std::chrono::milliseconds(2));
                        continue;
                    }
                    want = std::min<size_t>(want, static_cast<size_t>(due - bytes_));
                }
                pollfd p{pty_.MasterFd(), POLLOUT, 0};
                if (::poll(&p, 1, 20) <= 0) continue;
                ssize_t n = ::write(pty_.MasterFd(), chunk.data(), want);
                if (n > 0) bytes_ += static_cast<uint64_t>(n);
            }
        });
    }
    ~Streamer() {
        stop_ = true;
        thread_.join();
    }
    uint64_t Bytes() const { return bytes_; }

  private:
    PtyPair& pty_;
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> bytes_{0};
    std::thread thread_;
};

void BM_ContinuousGap(benchmark::State& state) {
    const int delayMs = static_cast<int>(state.range(0));
    const int packets = static_cast<int>(state.range(1));
    const size_t packetSize = 100;
    for (auto _ : state) {
        PtyPair line, other;
        Terminal sending(line.SlavePath()), receiving(other.SlavePath());
        receiving.core.Port().SetPortin_nro(serial::COM2);
        if (!sending.core.OpenPort() || !receiving.core.OpenPort()) {
            state.SkipWithError("ports did not open");
            return;
        }
        Streamer stream(other, static_cast<int>(state.range(2)));
        QuietPrompter prompter;
        CoreTarget target(sending.core);
        TransmitSender sender(target, prompter);
        TransmitRequest request;
        request.text = std::string(packetSize - 5, 'x');
        request.options.counter = true;
        request.continuous = true;
        request.delay = std::to_string(delayMs / 1000) + "." + std::to_string(delayMs % 1000 / 100);
        sender.request = [&] { return request; };
        sending.core.transmitWindowOpen = true;
        sending.core.onTransmitMessage = [&](TransmitMessage m) { sender.Notice(m); };

        PacketClock clock(line.MasterFd(), packetSize);
        QElapsedTimer elapsed;
        elapsed.start();
        sender.Send(true);
        QEventLoop loop;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, &loop, [&] {
            if (clock.Packets() >= static_cast<size_t>(packets) ||
                elapsed.elapsed() > static_cast<int64_t>(packets) * (delayMs + 500))
                loop.quit();
        });
        check.start(20);
        loop.exec();
        sender.Cancel();
        const double seconds = static_cast<double>(elapsed.nsecsElapsed()) / 1e9;
        state.SetIterationTime(seconds);

        std::vector<int64_t> gaps = clock.Gaps();
        if (gaps.empty()) {
            state.SkipWithError("no packets");
            return;
        }
        double sum = 0, worst = 0;
        int64_t lo = gaps[0], hi = gaps[0];
        int within = 0;
        for (int64_t g : gaps) {
            const double off = static_cast<double>(g) / 1000.0 - delayMs;
            sum += off;
            worst = std::max(worst, std::fabs(off));
            lo = std::min(lo, g);
            hi = std::max(hi, g);
            if (std::fabs(off) <= 20.0) ++within;
        }
        state.counters["packets"] = static_cast<double>(clock.Packets());
        state.counters["gap_min_ms"] = static_cast<double>(lo) / 1000.0;
        state.counters["gap_max_ms"] = static_cast<double>(hi) / 1000.0;
        state.counters["mean_off_ms"] = sum / static_cast<double>(gaps.size());
        state.counters["worst_off_ms"] = worst;
        state.counters["within_20ms_pct"] = 100.0 * within / static_cast<double>(gaps.size());
        state.counters["other_rx_MB"] = static_cast<double>(stream.Bytes()) / 1e6;
        state.counters["other_shown_MB"] =
            static_cast<double>(receiving.area.CharacterCount()) / 1e6;
    }
}
BENCHMARK(BM_ContinuousGap)
    ->ArgNames({"delay_ms", "packets", "other_bps"})
    ->Args({200, 200, 115200})
    ->Args({1000, 200, 115200})
    ->Args({200, 200, 0})
    ->Args({1000, 200, 0})
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

void BM_TxTestBusy(benchmark::State& state) {
    const int seconds = static_cast<int>(state.range(0));
    constexpr double kByteUs = 1e6 * 10 / 115200;  // 86.8 us a byte on the line
    for (auto _ : state) {
        PtyPair pty;
        setenv("KELMOR_COM1", pty.SlavePath().c_str(), 1);
        QuietPrompter prompter;
        TxTestSession session;
        session.Port().SetPrompter(&prompter);
        session.releasePauseMs = 0;
        session.Start({0, 9, 0, 0, 1, 0}, "U");
        QElapsedTimer wait;
        wait.start();
        while (!session.Port().IsOpen() && wait.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);

        // The paced reader: one byte per 86.8 us slot; a slot with no byte waiting is idle.
        const int64_t start = NowUs();
        const int64_t end = start + seconds * 1000000LL;
        double lineUs = 0;  // time the line was busy with bytes the reader took
        int64_t taken = 0;
        uint8_t buf[512];
        double next = static_cast<double>(start);  // when the next slot begins
        while (NowUs() < end) {
            const int64_t now = NowUs();
            if (static_cast<double>(now) < next) {
                std::this_thread::sleep_for(
                    std::chrono::microseconds(static_cast<int64_t>(next) - now));
                continue;
            }
            // Slots due since `next`: take up to that many bytes, at most a buffer's worth.
            const int64_t due =
                std::min<int64_t>(static_cast<int64_t>((now - next) / kByteUs) + 1, sizeof buf);
            ssize_t n = ::read(pty.MasterFd(), buf, static_cast<size_t>(due));
            if (n > 0) {
                taken += n;
                lineUs += static_cast<double>(n) * kByteUs;
                next += static_cast<double>(n) * kByteUs;
            } else {
                next = static_cast<double>(now) + kByteUs;  // an idle slot
            }
        }
        // The last read may have taken slots that end after now.
        const double total = std::max(static_cast<double>(NowUs()), next) - start;
        const uint64_t written = session.BytesWritten();
        session.Stop();
        while (session.Busy()) {
            char sink[4096];
            while (::read(pty.MasterFd(), sink, sizeof sink) > 0) {
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        unsetenv("KELMOR_COM1");
        state.SetIterationTime(total / 1e6);
        state.counters["busy_pct"] = 100.0 * lineUs / total;
        state.counters["bytes"] = static_cast<double>(taken);
        state.counters["writer_bytes"] = static_cast<double>(written);
    }
}
BENCHMARK(BM_TxTestBusy)->Arg(5)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    if (!getenv("KELMOR_HOME")) {
        char tmpl[] = "/tmp/kelmor-bench-XXXXXX";
        if (char* dir = mkdtemp(tmpl)) setenv("KELMOR_HOME", dir, 1);
    }
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
