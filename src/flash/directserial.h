#pragma once
// CDirectSerial: the flashing engines' serial link. One TCommPort in direct mode, used from the
// engine's worker thread only, with a read that waits up to a time-out measured on the link's
// clock.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/prompter.h"
#include "platform/serialdevice.h"

namespace kelmor::serial {
class TCommPort;
}

namespace kelmor::flash {

// The seams of a link: where time, messages and the device come from. Empty fields take the
// program's own (real clock, default prompter, the COM port's device).
struct DirectSerialSetup {
    platform::Clock* clock = nullptr;
    platform::Prompter* prompter = nullptr;
    platform::SerialDeviceFactory deviceFactory;
    std::string devicePath;  // overrides the COM port mapping

    platform::Clock& ClockOrReal() const;
    platform::Prompter& PrompterOrDefault() const;
};

inline constexpr const char* kDirectSerialDidNotOpen = "Direct serial port did not open";

class CDirectSerial {
  public:
    CDirectSerial();
    explicit CDirectSerial(DirectSerialSetup setup);
    virtual ~CDirectSerial();
    CDirectSerial(const CDirectSerial&) = delete;
    CDirectSerial& operator=(const CDirectSerial&) = delete;

    // port 1..16; rate 9600, 38400 or 115200 (others keep the component's); bits 8 or 7;
    // handshake type 0 (none), 1 (RTS handshake), 2 (XON/XOFF). False when already open or the
    // port does not open.
    bool Open(int port, int rate, int bits, int type);
    // 9600, 38400 or 115200; any other rate changes nothing. Always true.
    bool SetBitRate(int rate);
    // Purges both directions and closes the port; the component stays. Always true.
    bool Close();
    int Write(const uint8_t* bytes, int count);
    // The bytes waiting now, at most limit; 0 when none, when closed or when limit is 0.
    int Read(uint8_t* destination, int limit);
    // Collects up to wanted bytes until all are there or timeoutMs has passed (0: one Read).
    int ReadTimed(uint8_t* destination, int wanted, int timeoutMs);
    bool DsrOn();

    bool IsOpen() const { return open_; }
    serial::TCommPort* Port() const { return port_.get(); }

  private:
    DirectSerialSetup setup_;
    bool open_ = false;
    std::unique_ptr<serial::TCommPort> port_;
};

}  // namespace kelmor::flash
