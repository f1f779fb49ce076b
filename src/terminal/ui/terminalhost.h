#pragma once
// What a terminal window needs from the main window; the main window implements it.
#include <QPoint>
#include <QRect>
#include <QString>
#include <cstdint>
#include <vector>

class QDialog;

namespace kelmor::shell {
class ShellServices;
class StatusLog;
}  // namespace kelmor::shell

namespace kelmor::terminal {

class Tterminaali;
class Tportinasetus;
class Tpuskuriensaato;
class TScriptSetup;

// The application-wide windows created once at start-up, in this order, right after the main
// window (which creates them, in its singleinstances.cpp). A slot stays null until its window
// exists in the build.
struct SingleInstances {
    Tpuskuriensaato* bufferSettings = nullptr;  // buffer settings dialog
    TScriptSetup* scriptSetup = nullptr;        // script texts dialog
    shell::StatusLog* status = nullptr;         // communication status window (Tinfo)
    QDialog* about = nullptr;                   // About box
    Tportinasetus* portSettings = nullptr;      // terminal port settings dialog
};

class TerminalHost {
  public:
    virtual ~TerminalHost() = default;
    virtual void RegisterTerminal(Tterminaali* terminal, const QString& caption) = 0;
    virtual void UnregisterTerminal(Tterminaali* terminal, const QString& caption) = 0;
    virtual void RenameTerminal(const QString& oldCaption, const QString& newCaption) = 0;
    virtual void MirrorKey(Tterminaali* source, uint8_t ch) = 0;
    virtual void MirrorBlock(Tterminaali* source, const std::vector<uint8_t>& bytes) = 0;
    // A terminal's "E&xit": close the main window (later, from the event loop).
    virtual void RequestExit() = 0;
    // A window of a later build step: says so.
    virtual void NotAvailable() = 0;
    // The terminal has closed: count and tool buttons follow.
    virtual void TerminalClosed(Tterminaali* terminal) = 0;
    virtual Tportinasetus& PortSettingsDialog() = 0;
    // The start-up windows (script texts, buffer settings, status window, ...).
    virtual SingleInstances& Instances() = 0;
    // Factory mode, port hand-over, printer, opening other windows, tool-button locks.
    virtual shell::ShellServices& Services() = 0;
    // The main window's position on the screen (dialogs are placed from it).
    virtual QPoint MainOrigin() const = 0;
    // The main window's frame on the screen (windows are centred on it).
    virtual QRect MainGeometry() const = 0;
};

}  // namespace kelmor::terminal
