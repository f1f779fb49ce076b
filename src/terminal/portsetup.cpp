#include "terminal/portsetup.h"

#include <algorithm>

#include "platform/inifile.h"
#include "platform/programdir.h"

namespace kelmor::terminal {

using namespace kelmor::serial;

PortSetup::PortSetup(std::string iniPath) : iniPath_(std::move(iniPath)) {}

std::string PortSetup::IniPath() const {
    return iniPath_.empty() ? platform::SettingsPath() : iniPath_;
}

platform::Prompter& PortSetup::Prompter() const {
    return prompter_ ? *prompter_ : platform::DefaultPrompter();
}

TerminalPortSettings PortSetup::FromTerminal(const TerminalCore& t) {
    const TCommPort& port = t.Port();
    const TerminalOptions& o = t.Options();
    TerminalPortSettings s;
    s.serialPort = port.Portin_nro();
    s.baudrate = std::min<int>(port.Baudrate(), kBaudRateItems - 1);
    s.databits = port.Databits() >= db_7_Seven ? port.Databits() - 3 : 0;
    s.parity = port.pariteetti();
    s.stopbits = port.Stopbits() == sbTwo ? 1 : 0;
    s.handshake = HandshakeIndex(o.rtsControl, port.RTSmode(), port.Kattely());
    s.localEcho = o.localEcho;
    s.mirror = o.mirror;
    s.crLf = o.crLf;
    s.timeStamp = o.timeStamp;
    s.packetInterval = t.CrInterval() / 1000;
    s.crInterval = s.packetInterval != 0;
    s.viewType = t.Display().ViewType();
    s.scrollBack = t.Display().ScrollBackMaximum() / 1024;
    return s;
}

TerminalPortSettings PortSetup::Begin(TerminalCore& terminal, bool newTerminal) {
    terminal_ = &terminal;
    newTerminal_ = newTerminal;
    TerminalPortSettings s;
    if (newTerminal) {
        s = ReadTerminalPortSettings(platform::IniFile(IniPath()));
        s.serialPort = inUse_.Propose(s.serialPort, lastSelection_);
    } else {
        s = FromTerminal(terminal);
        shownPort_ = s.serialPort;
        terminal.StopCrTimer();
    }
    lastSelection_ = s.serialPort;
    return s;
}

void PortSetup::ClickBaudrate(int index) {
    if (terminal_ && index >= 0 && index < kBaudRateItems)
        terminal_->Port().SetBaudrate(static_cast<TBaudRate>(index));
}

void PortSetup::ClickDatabits(int index) {
    if (terminal_ && (index == 0 || index == 1))
        terminal_->Port().SetDatabits(static_cast<TDataBits>(index + 3));
}

void PortSetup::ClickParity(int index) {
    if (terminal_ && index >= 0 && index <= 4)
        terminal_->Port().Setpariteetti(static_cast<TParityBits>(index));
}

void PortSetup::ClickStopbits(int index) {
    if (terminal_ && (index == 0 || index == 1))
        terminal_->Port().SetStopbits(index == 1 ? sbTwo : sbOne);
}

void PortSetup::ClickHandshake(int index) {
    if (!terminal_ || index < 0 || index > 2) return;
    TCommPort& port = terminal_->Port();
    port.SetRTSmode(index == 1 ? rtsHANDSHAKE : rtsDISABLE);
    port.SetKattely(index == 2 ? fcXONXOFF : fcNone);
}

void PortSetup::Accept(const TerminalPortSettings& s) {
    if (!terminal_) return;
    TerminalCore& t = *terminal_;
    TCommPort& port = t.Port();
    int selected = s.serialPort >= 0 && s.serialPort < kPortCount ? s.serialPort : 0;
    lastSelection_ = selected;
    if (newTerminal_) {
        port.SetPortin_nro(static_cast<TPortnro>(selected));
    } else if (selected != shownPort_) {
        if (t.markedPort == shownPort_) {
            inUse_.Release(shownPort_);
            t.markedPort = -1;
        }
        // Through the terminal, so its sending state follows the port.
        t.MovePort(static_cast<TPortnro>(selected));
    }
    if (t.markedPort != selected) {
        inUse_.Release(t.markedPort);
        inUse_.Mark(selected);
        t.markedPort = selected;
    }

    port.SetBaudrate(static_cast<TBaudRate>(std::clamp(s.baudrate, 0, kBaudRateItems - 1)));
    port.SetDatabits(s.databits == 0 ? db_7_Seven : db_8_Eight);
    port.Setpariteetti(static_cast<TParityBits>(std::clamp(s.parity, 0, 4)));
    port.SetStopbits(s.stopbits == 1 ? sbTwo : sbOne);
    TerminalOptions& o = t.Options();
    o.rtsControl = false;
    port.SetRTSmode(s.handshake == 1 ? rtsHANDSHAKE : rtsDISABLE);
    port.SetKattely(s.handshake == 2 ? fcXONXOFF : fcNone);
    if (s.handshake == 3) o.rtsControl = true;
    o.localEcho = s.localEcho;
    o.mirror = s.mirror;
    o.crLf = s.crLf;
    o.timeStamp = s.timeStamp;
    int seconds = std::clamp(s.packetInterval, 0, kMaxPacketInterval);
    t.SetCrInterval(seconds * 1000, seconds != 0);
    t.Display().SetViewType(std::clamp(s.viewType, 0, 2));
    t.Display().SetScrollBackMaximum(std::clamp(s.scrollBack, kMinScrollBack, kMaxScrollBack) *
                                     1024);

    if (newTerminal_) t.OpenPort(PortChange::User);

    TerminalPortSettings stored = s;
    stored.serialPort = selected;
    stored.packetInterval = seconds;
    stored.crInterval = seconds != 0;
    platform::IniFile ini(IniPath());
    if (FileReadOnly(ini.Path()) || !WriteTerminalPortSettings(ini, stored))
        Prompter().Message(platform::kIniWriteFailed);
}

void PortSetup::Release(TerminalCore& terminal) {
    if (terminal.markedPort >= 0) inUse_.Release(terminal.markedPort);
    terminal.markedPort = -1;
}

}  // namespace kelmor::terminal
