#pragma once
// What both pty front ends of the simulator need to pace a line in real time.
#include <termios.h>

#include <chrono>
#include <cstdint>

namespace kelmor::sim {

inline int64_t NowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

// The bit rate that a host set on the pty with a standard termios speed; 0 for any other.
inline int RateOf(speed_t s) {
    switch (s) {
        case B300: return 300;
        case B600: return 600;
        case B1200: return 1200;
        case B2400: return 2400;
        case B4800: return 4800;
        case B9600: return 9600;
        case B19200: return 19200;
        case B38400: return 38400;
        case B57600: return 57600;
        case B115200: return 115200;
        case B230400: return 230400;
        default: return 0;
    }
}

}  // namespace kelmor::sim
