#pragma once
// A platform::SerialDevice whose far end is a SimulatedModem in the same process, on the
// caller's clock. With a VirtualClock the whole line runs in virtual time: waiting for bytes
// moves the clock to the moment the modem's answer arrives, so a run with long time-outs is fast
// and deterministic.
#include <memory>
#include <mutex>
#include <vector>

#include "platform/clock.h"
#include "platform/serialdevice.h"
#include "sim/simmodem.h"

namespace kelmor::sim {

// The line between one host device and one modem; shared by the device and the test.
class SimLine {
  public:
    SimLine(ModemConfig config, platform::Clock& clock);

    SimulatedModem& Modem() { return modem_; }
    platform::Clock& Clock() { return clock_; }
    std::mutex& Mutex() { return mutex_; }

    // Everything the host sent, in order (for tests that check the bytes on the line).
    std::vector<uint8_t> HostBytes() const;
    // Each bit rate the host configured, in order.
    std::vector<int> HostRates() const;

    // Host side, used by SimSerialDevice (caller holds no lock).
    void HostWrite(const uint8_t* bytes, size_t count);
    size_t HostRead(uint8_t* buffer, size_t max);
    bool HostWaitReadable(int timeoutMs);
    size_t HostQueued();
    void HostPurgeInput();
    void SetHostRate(int rate);
    int HostRate() const { return hostRate_; }

  private:
    struct InByte {
        int64_t atUs;
        uint8_t value;
        int rate;
    };
    int64_t NowUs() const { return clock_.Now() * 1000; }
    void PumpLocked(int64_t nowUs);
    std::optional<int64_t> NextEventLocked() const;

    SimulatedModem modem_;
    platform::Clock& clock_;
    mutable std::mutex mutex_;
    std::vector<InByte> pendingIn_;
    size_t pendingHead_ = 0;
    std::vector<uint8_t> arrived_;  // answered bytes the host has not read yet
    std::vector<uint8_t> hostBytes_;
    std::vector<int> hostRates_;
    int64_t hostTxFreeUs_ = 0;
    int hostRate_ = 9600;
};

class SimSerialDevice : public platform::SerialDevice {
  public:
    explicit SimSerialDevice(std::shared_ptr<SimLine> line) : line_(std::move(line)) {}

    platform::OpenResult Open(const std::string& path) override;
    void Close() override { open_ = false; }
    bool IsOpen() const override { return open_; }
    bool Configure(const platform::LineSettings& settings) override;
    ssize_t Read(uint8_t* buffer, size_t max) override;
    ssize_t Write(const uint8_t* buffer, size_t count) override;
    bool WaitReadable(int timeoutMs) override;
    bool WaitWritable(int) override { return open_; }
    int InputQueue() override;
    int OutputQueue() override { return 0; }
    bool PurgeInput() override;
    bool PurgeOutput() override { return true; }
    bool SetDtr(bool) override { return open_; }
    bool SetRts(bool) override { return open_; }
    std::optional<uint32_t> ModemStatus() override;
    std::optional<platform::LineErrorCounts> ErrorCounts() override { return std::nullopt; }
    bool HungUp() const override { return false; }
    std::string LastError() const override { return open_ ? "" : "not open"; }

    // Open fails with this result (tests of a port that does not open).
    void FailOpen(platform::OpenResult result) { failOpen_ = result; }

  private:
    std::shared_ptr<SimLine> line_;
    bool open_ = false;
    platform::OpenResult failOpen_ = platform::OpenResult::Ok;
};

}  // namespace kelmor::sim
