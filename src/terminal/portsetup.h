#pragma once
// What the port settings dialog does, without its widgets: the values it proposes for a new or
// an existing terminal, the line settings applied at once on a click, and the accepted
// settings applied to the terminal and stored for the next new terminal.
#include <string>

#include "platform/prompter.h"
#include "terminal/portsettings.h"
#include "terminal/terminalcore.h"

namespace kelmor::terminal {

class PortSetup {
  public:
    // iniPath empty: the program's settings file.
    explicit PortSetup(std::string iniPath = {});

    // Binds the dialog to a terminal and gives the values its controls show.
    TerminalPortSettings Begin(TerminalCore& terminal, bool newTerminal);
    bool NewTerminal() const { return newTerminal_; }
    TerminalCore* Terminal() const { return terminal_; }

    // Clicks that take effect on the port at once (Cancel keeps them).
    void ClickBaudrate(int index);
    void ClickDatabits(int index);
    void ClickParity(int index);
    void ClickStopbits(int index);
    void ClickHandshake(int index);

    // OK: applies everything, opens the port of a new terminal and stores the values.
    void Accept(const TerminalPortSettings& settings);

    // A terminal closes: its port number is free again (only if it took one).
    void Release(TerminalCore& terminal);
    const PortsInUse& InUse() const { return inUse_; }

    // The values an existing terminal's settings show.
    static TerminalPortSettings FromTerminal(const TerminalCore& terminal);

    void SetPrompter(platform::Prompter* prompter) { prompter_ = prompter; }

  private:
    platform::Prompter& Prompter() const;
    std::string IniPath() const;

    std::string iniPath_;
    TerminalCore* terminal_ = nullptr;
    bool newTerminal_ = false;
    int shownPort_ = 0;
    int lastSelection_ = 0;
    PortsInUse inUse_;
    platform::Prompter* prompter_ = nullptr;
};

}  // namespace kelmor::terminal
