#pragma once
// One serial device as the operating system offers it: open, configure, move bytes, modem lines,
// line-error counters. The termios backend is the real one; tests plug in fakes (or use ptys).
// A device that lacks an ioctl (a pty has no modem lines) reports "no such event", never a
// failure of the open.
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kelmor::platform {

enum class Parity { None, Odd, Even, Mark, Space };

struct LineSettings {
    int baudRate = 9600;  // any of 300 … 256000; non-standard rates through termios2 BOTHER
    int dataBits = 8;     // 5 … 8 (4 is refused)
    Parity parity = Parity::None;
    int stopBits = 1;     // 1 or 2 (1.5 is taken as 2)
    bool xonXoff = false;
    char xonChar = 17;
    char xoffChar = 19;
    bool rtsCts = false;  // hardware output flow on CTS
};

// Modem status bits (ModemStatus()).
enum ModemLine : uint32_t { kLineCts = 0x1, kLineDsr = 0x2, kLineRi = 0x4, kLineCd = 0x8 };

// Cumulative counters since the device was opened (TIOCGICOUNT).
struct LineErrorCounts {
    uint32_t parity = 0, overrun = 0, framing = 0, brk = 0;
};

enum class OpenResult { Ok, NotFound, Busy, Failed };

class SerialDevice {
public:
    virtual ~SerialDevice() = default;

    virtual OpenResult Open(const std::string& path) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // false when the device refuses the settings (e.g. 4 data bits); nothing is changed then.
    virtual bool Configure(const LineSettings& settings) = 0;

    // Non-blocking. > 0: bytes read; 0: nothing queued; -1: error or hang-up (see HungUp()).
    virtual ssize_t Read(uint8_t* buffer, size_t max) = 0;
    // Non-blocking. Bytes accepted by the driver (maybe fewer than asked); -1 on error.
    virtual ssize_t Write(const uint8_t* buffer, size_t count) = 0;
    // Blocks up to timeoutMs until bytes can be read (true) or the time is up (false).
    virtual bool WaitReadable(int timeoutMs) = 0;
    // Blocks up to timeoutMs until the driver takes more bytes.
    virtual bool WaitWritable(int timeoutMs) = 0;

    // Bytes waiting in the driver's input / output queue; -1 when the device cannot tell.
    virtual int InputQueue() = 0;
    virtual int OutputQueue() = 0;
    virtual bool PurgeInput() = 0;
    virtual bool PurgeOutput() = 0;

    virtual bool SetDtr(bool on) = 0;
    virtual bool SetRts(bool on) = 0;
    // ModemLine bits, or nothing when the device has no modem lines.
    virtual std::optional<uint32_t> ModemStatus() = 0;
    virtual std::optional<LineErrorCounts> ErrorCounts() = 0;

    // The other end went away (POLLHUP, EIO, or a read of 0 on a readable fd).
    virtual bool HungUp() const = 0;
    // The system's text for the last error.
    virtual std::string LastError() const = 0;
};

// The termios backend: exclusive open (TIOCEXCL), raw mode, low-latency where the driver allows.
std::unique_ptr<SerialDevice> MakePosixSerialDevice();

// How components create their devices; tests replace it to hand out fakes.
using SerialDeviceFactory = std::function<std::unique_ptr<SerialDevice>()>;
SerialDeviceFactory& DefaultSerialDeviceFactory();

}  // namespace kelmor::platform
