#include "platform/clock.h"

#include <thread>

namespace kelmor::platform {

int64_t RealClock::Now() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void RealClock::Sleep(int64_t ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

RealClock& RealClock::Instance() {
    static RealClock clock;
    return clock;
}

}  // namespace kelmor::platform
