#pragma once
// The buffer settings dialog's values, put on a terminal's port through the port's setters, so
// that an open port works with them from its next read and write step on.
#include "serial/commport.h"

namespace kelmor::terminal {

inline constexpr int kMaxBufferLength = 10240;

struct BufferSettings {
    int rxLength = 0;
    int txLength = 0;
    int pollDelayMs = 0;
};

inline BufferSettings ReadBufferSettings(const serial::TCommPort& port) {
    return {port.RX_puskurin_koko(), port.TX_puskurin_koko(), port.valiaika()};
}

// RX size and RX notify follow the RX value, TX size the TX value, both poll threads the delay.
void ApplyBufferSettings(serial::TCommPort& port, const BufferSettings& settings);

}  // namespace kelmor::terminal
