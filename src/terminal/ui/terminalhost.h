#pragma once
// What a terminal window needs from the main window; the main window implements it.
#include <QPoint>
#include <QString>
#include <cstdint>
#include <vector>

class QPrinter;

namespace kelmor::terminal {

class Tterminaali;
class Tportinasetus;

class TerminalHost {
  public:
    virtual ~TerminalHost() = default;
    virtual void RegisterTerminal(Tterminaali* terminal, const QString& caption) = 0;
    virtual void UnregisterTerminal(Tterminaali* terminal, const QString& caption) = 0;
    virtual void RenameTerminal(const QString& oldCaption, const QString& newCaption) = 0;
    virtual void MirrorKey(Tterminaali* source, uint8_t ch) = 0;
    virtual void MirrorBlock(Tterminaali* source, const std::vector<uint8_t>& bytes) = 0;
    // The main window's commands a terminal's menu repeats.
    virtual void OpenTerminal() = 0;
    virtual void RequestExit() = 0;
    virtual void PrinterSetup() = 0;
    virtual QPrinter& Printer() = 0;
    // A window of a later build step: says so.
    virtual void NotAvailable() = 0;
    // The terminal has closed: count and tool buttons follow.
    virtual void TerminalClosed(Tterminaali* terminal) = 0;
    virtual Tportinasetus& PortSettingsDialog() = 0;
    virtual bool FactoryMode() const = 0;
    // The main window's position on the screen (dialogs are placed from it).
    virtual QPoint MainOrigin() const = 0;
};

}  // namespace kelmor::terminal
