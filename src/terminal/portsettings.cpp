#include "terminal/portsettings.h"

#include <array>

namespace kelmor::terminal {

namespace {

int InRange(int value, int low, int high, int fallback) {
    return value >= low && value <= high ? value : fallback;
}

// A check box is set only by a stored 1.
bool IsOne(const platform::IniFile& ini, const char* key, int fallback) {
    return ini.ReadInteger(kTerminalPortSection, key, fallback) == 1;
}

}  // namespace

TerminalPortSettings ReadTerminalPortSettings(const platform::IniFile& ini) {
    const TerminalPortSettings d;
    TerminalPortSettings s;
    auto number = [&](const char* key, int fallback) {
        return ini.ReadInteger(kTerminalPortSection, key, fallback);
    };
    s.serialPort = InRange(number("Serial port", d.serialPort), 0, kPortCount - 1, d.serialPort);
    s.baudrate = InRange(number("Baudrate", d.baudrate), 0, kBaudRateItems - 1, d.baudrate);
    s.databits = InRange(number("Databits", d.databits), 0, 1, d.databits);
    s.parity = InRange(number("Parity", d.parity), 0, 4, d.parity);
    s.stopbits = InRange(number("Stopbits", d.stopbits), 0, 1, d.stopbits);
    s.handshake = InRange(number("Handshake", d.handshake), 0, 3, d.handshake);
    s.localEcho = IsOne(ini, "Local Echo", 1);
    s.mirror = IsOne(ini, "Mirror", 0);
    s.crLf = IsOne(ini, "CR LF", 1);
    s.timeStamp = IsOne(ini, "Time stamp", 0);
    s.crInterval = IsOne(ini, "CR interval", 0);
    s.packetInterval =
        InRange(number("Packet Interval", d.packetInterval), 0, kMaxPacketInterval, 0);
    s.viewType = InRange(number("View Type", d.viewType), 0, 2, d.viewType);
    s.scrollBack =
        InRange(number("ScrollBack", d.scrollBack), kMinScrollBack, kMaxScrollBack, d.scrollBack);
    return s;
}

bool WriteTerminalPortSettings(platform::IniFile& ini, const TerminalPortSettings& s) {
    auto n = [](int v) { return std::to_string(v); };
    auto b = [](bool v) { return std::string(v ? "1" : "0"); };
    return ini.WriteStrings(kTerminalPortSection, {
                                                      {"Serial port", n(s.serialPort)},
                                                      {"Baudrate", n(s.baudrate)},
                                                      {"Databits", n(s.databits)},
                                                      {"Parity", n(s.parity)},
                                                      {"Stopbits", n(s.stopbits)},
                                                      {"Handshake", n(s.handshake)},
                                                      {"Local Echo", b(s.localEcho)},
                                                      {"Mirror", b(s.mirror)},
                                                      {"CR LF", b(s.crLf)},
                                                      {"Time stamp", b(s.timeStamp)},
                                                      {"CR interval", b(s.crInterval)},
                                                      {"Packet Interval", n(s.packetInterval)},
                                                      {"View Type", n(s.viewType)},
                                                      {"ScrollBack", n(s.scrollBack)},
                                                  });
}

int HandshakeIndex(bool rtsControl, serial::TRts rtsMode, serial::TFlowControl kattely) {
    if (rtsControl) return 3;
    if (rtsMode != serial::rtsDISABLE) return 1;
    if (kattely == serial::fcXONXOFF) return 2;
    return 0;
}

std::string BaudRateText(serial::TBaudRate rate) {
    return std::to_string(serial::BaudRateValue(rate));
}

std::string ParityText(serial::TParityBits parity) {
    static const std::array<const char*, 5> texts{"None", "Odd", "Even", "Mark", "Space"};
    return parity < texts.size() ? texts[parity] : "None";
}

std::string HandshakeText(int index) {
    static const std::array<const char*, 4> texts{"None", "Hardware", "Software", "Q5X/Q6X"};
    return index >= 0 && index < 4 ? texts[static_cast<size_t>(index)] : "None";
}

std::string TerminalCaption(const serial::TCommPort& port, const CaptionOptions& o) {
    std::string caption =
        "COM" + std::to_string(static_cast<int>(port.Portin_nro()) + 1) + ": " +
        BaudRateText(port.Baudrate()) + " " + ParityText(port.pariteetti()) + " " +
        (port.Databits() == serial::db_8_Eight ? " 8" : " 7") +
        (port.Stopbits() == serial::sbTwo ? " 2 | " : " 1 | ") +
        HandshakeText(HandshakeIndex(o.rtsControl, port.RTSmode(), port.Kattely()));
    if (o.echo) caption += " | Echo";
    if (o.crLf) caption += " | CR -> CR/LF";
    if (o.mirror) caption += " | Mirror";
    return caption;
}

std::string ProgrammingModeCaption(serial::TPortnro port) {
    return "COM" + std::to_string(static_cast<int>(port) + 1) + ": Programming mode";
}

int RtsDropDelay(serial::TBaudRate rate) {
    static const std::array<int, 12> delays{220, 100, 60, 25, 12, 6, 3, 3, 1, 1, 0, 0};
    return rate < delays.size() ? delays[rate] : 0;
}

uint16_t PortsInUse::Bits() const {
    uint16_t bits = 0;
    for (int i = 0; i < kPortCount; ++i)
        if (counts_[i] > 0) bits |= static_cast<uint16_t>(1u << i);
    return bits;
}

int PortsInUse::Propose(int stored, int current) const {
    if (Empty()) return stored;
    for (int i = 0; i < kPortCount; ++i)
        if (!Contains(i)) return i;
    return current;
}

}  // namespace kelmor::terminal
