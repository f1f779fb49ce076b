#include "terminal/buffersettings.h"

#include <algorithm>

namespace kelmor::terminal {

void ApplyBufferSettings(serial::TCommPort& port, const BufferSettings& settings) {
    const int rx = std::clamp(settings.rxLength, 0, kMaxBufferLength);
    const int tx = std::clamp(settings.txLength, 0, kMaxBufferLength);
    port.SetRX_puskurin_koko(rx);
    port.SetTX_puskurin_koko(tx);
    port.SetRX_notify(rx);
    port.Setvaliaika(std::max(settings.pollDelayMs, 0));
}

}  // namespace kelmor::terminal
