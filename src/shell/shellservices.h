#pragma once
// What the main window offers every other window. Windows receive a ShellServices& instead of
// the main window class, so no ui folder needs to include shell/ui; tests pass a fake.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QPrinter;

namespace kelmor::platform {
class Prompter;
}

namespace kelmor::shell {

// The main window's tool buttons, left to right.
enum class ToolButton : int {
    Open,          // OpenBtn
    Setup,         // SetupBtn
    Program,       // ProgramBtn
    Drawing,       // DrawingBtn
    SingleModem,   // SingleModemBtn
    Flash,         // FlashBtn
    MultiFlash,    // FlashmBtn
    MultiFlash2,   // Flashm2Btn
    Copy,          // CopyBtn
    Paste,         // PasteBtn
    Print,         // PrintBtn
    PrinterSetup,  // SpeedButton1
    About,         // TietojaBtn
};
inline constexpr int kToolButtonCount = 13;
const char* ToolButtonName(ToolButton button);  // "OpenBtn", ...

// A window's hold on some tool buttons: they stay disabled while any lock on them lives, and
// come back when the last one is destroyed, whatever path closed the window.
class ToolButtonLock {
  public:
    virtual ~ToolButtonLock() = default;
};

// Counts the locks per button. The main window (and the tests' fake) own one; `changed` is
// called after every lock or release so the owner can refresh its buttons.
class ToolButtonLocks {
  public:
    explicit ToolButtonLocks(std::function<void()> changed = {}) : changed_(std::move(changed)) {}
    [[nodiscard]] std::unique_ptr<ToolButtonLock> Lock(std::vector<ToolButton> buttons);
    bool Locked(ToolButton button) const { return counts_[static_cast<int>(button)] > 0; }
    int Count(ToolButton button) const { return counts_[static_cast<int>(button)]; }

  private:
    class Hold;
    void Release(const std::vector<ToolButton>& buttons);
    std::array<int, kToolButtonCount> counts_{};
    std::function<void()> changed_;
    // Holds outliving this object release nothing.
    std::shared_ptr<ToolButtonLocks*> self_ = std::make_shared<ToolButtonLocks*>(this);
};

// The communication status window, as the windows that write progress lines see it.
class StatusLog {
  public:
    virtual ~StatusLog() = default;
    // Caption and whether the Close / Save buttons are enabled while the exchange runs.
    virtual void SetStatusButtons(const std::string& caption, bool enabled) = 0;
    virtual void AddStatusLine(const std::string& line) = 0;
    // A frame in the factory-mode byte log; sent = true for bytes going to the modem.
    virtual void AddStatusBytes(const std::vector<uint8_t>& bytes, bool sent) = 0;
    virtual void ShowStatus() = 0;
};

enum class MultiFlashKind { MultiFlash = 1, MultiFlash2 = 2 };

class ShellServices {
  public:
    virtual ~ShellServices() = default;

    virtual bool FactoryMode() const = 0;
    virtual bool DsrOption() const = 0;
    virtual int TerminalCount() const = 0;

    // Port hand-over (portIndex: 0 = COM1 … 15 = COM16). Terminals on that port close it and
    // grey their text; reacquire reopens those whose port was open when released.
    virtual void ReleasePort(int portIndex) = 0;
    virtual void ReacquirePort(int portIndex) = 0;

    // Opening other windows.
    virtual void OpenTerminal() = 0;
    virtual void OpenMultiFlash(MultiFlashKind kind) = 0;

    [[nodiscard]] virtual std::unique_ptr<ToolButtonLock> LockToolButtons(
        std::vector<ToolButton> buttons) = 0;

    // The shared printer and its set-up dialog.
    virtual QPrinter& Printer() = 0;
    virtual void PrinterSetup() = 0;

    // The application-wide communication status window (never null once the shell is up).
    virtual StatusLog& Status() = 0;
    virtual platform::Prompter& Prompter() = 0;
};

// The status log used until the communication status window exists: takes every line and
// shows nothing.
class NullStatusLog : public StatusLog {
  public:
    void SetStatusButtons(const std::string&, bool) override {}
    void AddStatusLine(const std::string&) override {}
    void AddStatusBytes(const std::vector<uint8_t>&, bool) override {}
    void ShowStatus() override {}
};

}  // namespace kelmor::shell
