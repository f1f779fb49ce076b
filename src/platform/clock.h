#pragma once
// Time as the engines see it. Real time in the program; a virtual clock in tests, so waits of
// seconds run in microseconds and deterministically.
#include <atomic>
#include <chrono>
#include <cstdint>

namespace kelmor::platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary fixed origin, monotonic.
    virtual int64_t Now() = 0;
    virtual void Sleep(int64_t ms) = 0;
};

class RealClock : public Clock {
public:
    int64_t Now() override;
    void Sleep(int64_t ms) override;
    static RealClock& Instance();
};

// Time moves only when someone sleeps or calls Advance. Thread-safe; with several threads
// sleeping, each Sleep simply moves the shared time forward.
class VirtualClock : public Clock {
public:
    explicit VirtualClock(int64_t start = 0) : now_(start) {}
    int64_t Now() override { return now_.load(); }
    void Sleep(int64_t ms) override { Advance(ms); }
    void Advance(int64_t ms) {
        if (ms > 0) now_.fetch_add(ms);
    }

private:
    std::atomic<int64_t> now_;
};

}  // namespace kelmor::platform
