#pragma once
// Runs a SimulatedModem in real time on the master side of a pseudo-terminal. The host opens the
// slave like a serial port; its bit rate is read from the slave's line settings, so a host that
// switches to a rate the modem does not use loses the line, as on a cable.
#include <atomic>
#include <string>

#include "sim/simmodem.h"

namespace kelmor::sim {

class PtyRunner {
  public:
    explicit PtyRunner(ModemConfig config);
    ~PtyRunner();
    PtyRunner(const PtyRunner&) = delete;
    PtyRunner& operator=(const PtyRunner&) = delete;

    bool Ok() const { return master_ >= 0; }
    const std::string& DevicePath() const { return slavePath_; }
    // Serves the line until stop becomes true.
    void Run(const std::atomic<bool>& stop);
    SimulatedModem& Modem() { return modem_; }

  private:
    int HostRate();

    SimulatedModem modem_;
    int master_ = -1;
    int slaveKeep_ = -1;  // keeps the pty alive while no host has it open
    std::string slavePath_;
    int lastRate_ = 9600;
};

}  // namespace kelmor::sim
