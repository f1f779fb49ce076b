#pragma once
// The terminal's line settings as the settings dialog and the settings file hold them, and the
// texts and tables that follow from them.
#include <cstdint>
#include <string>

#include "platform/inifile.h"
#include "serial/commport.h"

namespace kelmor::terminal {

inline constexpr const char* kTerminalPortSection = "Terminal port";

// Values of the dialog's controls (indexes as the radio groups count them).
struct TerminalPortSettings {
    int serialPort = 0;  // 0..15 = COM1..COM16
    int baudrate = 5;    // 0..9 = 300..115200
    int databits = 1;    // 0 = 7, 1 = 8
    int parity = 0;      // 0..4
    int stopbits = 0;    // 0 = 1, 1 = 2
    int handshake = 0;   // 0 None, 1 Hardware, 2 Software, 3 Q5X/Q6X
    bool localEcho = true;
    bool mirror = false;
    bool crLf = true;
    bool timeStamp = false;
    bool crInterval = false;  // the CR interval timer is enabled
    int packetInterval = 0;   // seconds, 0..50000
    int viewType = 0;         // 0..2
    int scrollBack = 64;      // kilobytes, 10..128
    bool operator==(const TerminalPortSettings&) const = default;
};

inline constexpr int kPortCount = 16;
inline constexpr int kBaudRateItems = 10;
inline constexpr int kMaxPacketInterval = 50000;
inline constexpr int kMinScrollBack = 10, kMaxScrollBack = 128;

// Reads the section; missing keys give the defaults, values outside a control's range too
// (a radio group cannot show index 99), so a damaged file never yields an impossible setting.
TerminalPortSettings ReadTerminalPortSettings(const platform::IniFile& ini);
// Writes the fourteen keys in their fixed order; false when the file cannot be written.
bool WriteTerminalPortSettings(platform::IniFile& ini, const TerminalPortSettings& settings);

// Kept for callers of the terminal's settings; the test lives in platform.
using platform::FileReadOnly;

// The handshake index a port and the RTS control option stand for.
int HandshakeIndex(bool rtsControl, serial::TRts rtsMode, serial::TFlowControl kattely);

// "300" … "256000", "None" … "Space", "None" … "Q5X/Q6X".
std::string BaudRateText(serial::TBaudRate rate);
std::string ParityText(serial::TParityBits parity);
std::string HandshakeText(int index);

struct CaptionOptions {
    bool echo = false;
    bool crLf = false;
    bool mirror = false;
    bool rtsControl = false;
};
// The terminal's caption: "COM1: 9600 None  8 1 | None | Echo | CR -> CR/LF".
std::string TerminalCaption(const serial::TCommPort& port, const CaptionOptions& options);
std::string ProgrammingModeCaption(serial::TPortnro port);

// Milliseconds RTS stays up after a write has left, by bit rate.
int RtsDropDelay(serial::TBaudRate rate);

// Port numbers held by terminals. Counted, so a second terminal that tried a port another one
// holds, failed and closed cannot free it for the first.
class PortsInUse {
  public:
    bool Empty() const { return Bits() == 0; }
    bool Contains(int index) const { return Valid(index) && counts_[index] > 0; }
    void Mark(int index) {
        if (Valid(index)) ++counts_[index];
    }
    void Release(int index) {
        if (Valid(index) && counts_[index] > 0) --counts_[index];
    }
    // The port a new terminal gets: the lowest free one when any is in use, else the stored
    // one; with all sixteen in use, `current` stays.
    int Propose(int stored, int current) const;
    // Bit n set when COM n+1 is in use.
    uint16_t Bits() const;

  private:
    static bool Valid(int index) { return index >= 0 && index < kPortCount; }
    int counts_[kPortCount] = {};
};

}  // namespace kelmor::terminal
