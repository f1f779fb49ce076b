#pragma once
// The worker threads of the flashing runs. Each runs one engine once and reports the end to its
// window as its very last action; the thread object does not free itself and is joined by its
// owner (destructor or WaitFor).
#include <atomic>
#include <functional>
#include <thread>

#include "flash/massflash.h"
#include "flash/massflash_3069.h"
#include "flash/massflashobserver.h"

namespace kelmor::flash {

// Starts a thread running body; throws std::system_error when no thread can be started. Empty:
// a plain std::thread.
using FlashThreadLauncher = std::function<std::thread(std::function<void()> body)>;

template <typename Engine>
class FlashThread {
  public:
    // channel < 0: a single-window thread (reports channel 0 at once); otherwise a multi-window
    // channel 0..n that waits channel x 50 + 20 ms before reporting, so runs ending together
    // report in channel order.
    FlashThread(FlashObserver* window, Engine& engine, int channel = -1)
        : window_(window), engine_(engine), channel_(channel) {}
    ~FlashThread() { WaitFor(); }
    FlashThread(const FlashThread&) = delete;
    FlashThread& operator=(const FlashThread&) = delete;

    // The threads are created suspended; Start lets them run. Elevated priority needs rights a
    // desktop user seldom has, so the run relies on its own waits instead.
    void Start(const FlashThreadLauncher& launcher = {}) {
        if (thread_.joinable()) return;
        if (launcher)
            thread_ = launcher([this] { Body(); });
        else
            thread_ = std::thread([this] { Body(); });
    }
    void WaitFor() {
        if (thread_.joinable()) thread_.join();
    }
    bool Started() const { return thread_.joinable(); }
    bool Ended() const { return ended_.load(); }
    int Channel() const { return channel_ < 0 ? 0 : channel_; }

  private:
    void Body() {
        int code = engine_.Run();
        engine_.result.store(code);
        if (channel_ >= 0) engine_.link.ClockOrReal().Sleep(int64_t{channel_} * 50 + 20);
        ended_.store(true);
        if (window_) window_->RunEnded(Channel());
    }

    FlashObserver* window_;
    Engine& engine_;
    int channel_;
    std::atomic<bool> ended_{false};
    std::thread thread_;
};

class TFlash_event : public FlashThread<CMassFlash> {
  public:
    TFlash_event(FlashObserver* window, CMassFlash& engine) : FlashThread(window, engine) {}
};

class TFlash_event_3069 : public FlashThread<CMassFlash_3069> {
  public:
    TFlash_event_3069(FlashObserver* window, CMassFlash_3069& engine)
        : FlashThread(window, engine) {}
};

class TMultiFlash_event : public FlashThread<CMassFlash> {
  public:
    TMultiFlash_event(FlashObserver* window, CMassFlash& engine, int channel)
        : FlashThread(window, engine, channel) {}
};

class TMultiFlash_event_3069 : public FlashThread<CMassFlash_3069> {
  public:
    TMultiFlash_event_3069(FlashObserver* window, CMassFlash_3069& engine, int channel)
        : FlashThread(window, engine, channel) {}
};

}  // namespace kelmor::flash
