#pragma once
// Helpers both flashing runs share.
#include <cstdint>
#include <string>
#include <string_view>

#include "flash/directserial.h"
#include "platform/clock.h"

namespace kelmor::flash::detail {

// Reads and throws away what the modem sends, pausing between reads, while bytes come. A modem
// that never stops talking ends the drain after maxRounds reads instead of holding the run.
inline void Drain(CDirectSerial& serial, platform::Clock& clock, int chunk, int pauseMs,
                  int maxRounds = 1000) {
    uint8_t buffer[2048];
    if (chunk > static_cast<int>(sizeof buffer)) chunk = sizeof buffer;
    for (int round = 0; round < maxRounds && serial.Read(buffer, chunk) > 0; ++round)
        clock.Sleep(pauseMs);
}

inline int WriteText(CDirectSerial& serial, std::string_view text) {
    return serial.Write(reinterpret_cast<const uint8_t*>(text.data()),
                        static_cast<int>(text.size()));
}

// The reply read as text up to its first zero byte.
inline std::string ReplyText(const uint8_t* reply, size_t length) {
    size_t n = 0;
    while (n < length && reply[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(reply), n);
}

}  // namespace kelmor::flash::detail
