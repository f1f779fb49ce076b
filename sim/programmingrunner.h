#pragma once
// The simulated modem with both of its faces on one pseudo-terminal, in real time: the running
// firmware answers programming-mode frames (ProgrammingModem) and the flash-mode request
// (SimulatedModem, whose flash side then takes over the line until the firmware runs again).
// Programming frames are understood only at the bit rate of the modem type's serial settings.
#include <atomic>
#include <memory>
#include <string>

#include "sim/programming.h"
#include "sim/simmodem.h"

namespace kelmor::sim {

class ProgrammingPtyRunner {
  public:
    ProgrammingPtyRunner(ModemConfig flashConfig, std::unique_ptr<ProgrammingModem> programming,
                         int programmingRate);
    ~ProgrammingPtyRunner();
    ProgrammingPtyRunner(const ProgrammingPtyRunner&) = delete;
    ProgrammingPtyRunner& operator=(const ProgrammingPtyRunner&) = delete;

    bool Ok() const { return master_ >= 0; }
    const std::string& DevicePath() const { return slavePath_; }
    // Serves the line until stop becomes true.
    void Run(const std::atomic<bool>& stop);
    SimulatedModem& Modem() { return modem_; }
    ProgrammingModem& Programming() { return *programming_; }

  private:
    int HostRate();
    // The byte goes to the programming side: it is inside a frame, in programming mode, or
    // starts a frame while the firmware runs.
    bool ForProgramming(uint8_t byte) const;

    SimulatedModem modem_;
    std::unique_ptr<ProgrammingModem> programming_;
    int programmingRate_;
    int master_ = -1;
    int slaveKeep_ = -1;
    std::string slavePath_;
    int lastRate_ = 9600;
};

}  // namespace kelmor::sim
