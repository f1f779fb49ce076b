#pragma once
// A flashing run against the in-process simulated modem on a virtual clock.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fakeprompter.h"
#include "flash/directserial.h"
#include "flash/massflashobserver.h"
#include "platform/clock.h"
#include "sim/simdevice.h"

namespace kelmor::testing {

struct RecordingObserver : flash::FlashObserver {
    std::vector<int> loader, program;
    int begun = 0;
    std::function<void(int)> onLoader;
    void LoaderProgress(int p) override {
        loader.push_back(p);
        if (onLoader) onLoader(p);
    }
    void ProgramProgress(int p) override { program.push_back(p); }
    void FlashingBegun() override { ++begun; }
};

// A virtual clock that lets a test act when the run starts a wait of a given length (to set
// the abort flag at a chosen point of the protocol).
struct HookClock : platform::VirtualClock {
    std::function<void(int64_t)> onSleep;
    void Sleep(int64_t ms) override {
        if (onSleep) onSleep(ms);
        VirtualClock::Sleep(ms);
    }
};

struct FlashRig {
    explicit FlashRig(sim::ModemConfig config)
        : line(std::make_shared<sim::SimLine>(std::move(config), clock)) {}

    flash::DirectSerialSetup Setup() {
        auto l = line;
        return flash::DirectSerialSetup{&clock, &prompter,
                                        [l] { return std::make_unique<sim::SimSerialDevice>(l); },
                                        "/dev/simulated"};
    }
    const std::vector<uint8_t>& Flash() { return line->Modem().FlashContent(); }
    std::vector<uint8_t> Sent() { return line->HostBytes(); }
    // How often the byte sequence occurs in what the host sent.
    size_t SentCount(const std::vector<uint8_t>& needle) {
        auto hay = Sent();
        size_t n = 0;
        for (size_t i = 0; i + needle.size() <= hay.size(); ++i)
            if (std::equal(needle.begin(), needle.end(), hay.begin() + static_cast<long>(i))) ++n;
        return n;
    }

    HookClock clock;
    FakePrompter prompter;
    RecordingObserver observer;
    std::shared_ptr<sim::SimLine> line;
};

inline sim::Fault MakeFault(sim::FaultPoint point, sim::FaultKind kind, int after = 0,
                            int count = 1) {
    sim::Fault f;
    f.point = point;
    f.kind = kind;
    f.after = after;
    f.count = count;
    return f;
}

}  // namespace kelmor::testing
