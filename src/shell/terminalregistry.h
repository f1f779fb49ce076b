#pragma once
// The main window's list of terminals and the port broker: the ten mirroring slots, the
// Window-menu entries in their order, mirroring of typed keys and sent blocks, port hand-over
// to other windows (release / reacquire) and power events (suspend / resume). Plain logic: the
// terminal windows are reached through ShellTerminal, time through a Scheduler.
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kelmor::shell {

// Why the shell closes a terminal's port.
enum class PortHandOver {
    Release,  // another window takes the port (ReleasePort)
    Suspend,  // the computer goes to sleep
};

// A terminal window as the registry sees it; the terminal window implements it.
class ShellTerminal {
  public:
    virtual ~ShellTerminal() = default;
    // TPortnro ordinal of its port (0 = COM1).
    virtual int PortIndex() const = 0;
    virtual bool Mirroring() const = 0;
    // A key another terminal forwarded: handled later, as if typed here.
    virtual void MirrorCharacter(uint8_t ch) = 0;
    // A block another terminal sent: goes to this terminal's send routine (not mirrored again).
    virtual void MirrorBytes(const std::vector<uint8_t>& bytes) = 0;
    // Close the port, grey the text area, tell the transmit window.
    virtual void ClosePortFor(PortHandOver why) = 0;
    // Open it again after ClosePortFor; restores the colour when the port opened.
    virtual void ReopenPortAfter(PortHandOver why) = 0;
    // The port is closed because the shell closed it (not the user, not a lost device).
    virtual bool ClosedByShell() const = 0;
    // The first settings dialog is still open: the port is not chosen yet.
    virtual bool SettingsPending() const = 0;
    // Restore if minimised and make it the active window.
    virtual void BringToFront() = 0;
};

// Runs a callback after a delay, from the event loop (never by sleeping).
using Scheduler = std::function<void(int delayMs, std::function<void()> callback)>;

class TerminalRegistry {
  public:
    static constexpr int kSlots = 10;
    static constexpr int kResumeDelayMs = 800;

    struct WindowEntry {
        ShellTerminal* terminal = nullptr;
        std::string caption;
    };

    // scheduler empty: a single-shot QTimer on the current thread's event loop.
    explicit TerminalRegistry(Scheduler scheduler = {});
    ~TerminalRegistry();
    TerminalRegistry(const TerminalRegistry&) = delete;
    TerminalRegistry& operator=(const TerminalRegistry&) = delete;

    // A terminal window was opened (raises TerminalCount) or has closed (lowers it).
    void TerminalOpened(ShellTerminal* terminal);
    void TerminalClosed(ShellTerminal* terminal);
    int TerminalCount() const { return static_cast<int>(open_.size()); }
    const std::vector<ShellTerminal*>& OpenTerminals() const { return open_; }

    // Window-menu entry and slot (a terminal registers when first shown).
    void RegisterTerminal(ShellTerminal* terminal, const std::string& caption);
    // Removes the terminal's entry and empties its slots; false when it had no entry.
    bool UnregisterTerminal(ShellTerminal* terminal);
    // Renames the first entry with the old caption; false when there is none.
    bool RenameTerminal(const std::string& oldCaption, const std::string& newCaption);
    const std::vector<WindowEntry>& Entries() const { return entries_; }
    const std::array<ShellTerminal*, kSlots>& Slots() const { return slots_; }
    // Called after every change of the entries (the main window rebuilds its menu).
    std::function<void()> onEntriesChanged;

    void MirrorKey(ShellTerminal* source, uint8_t ch);
    void MirrorBlock(ShellTerminal* source, const std::vector<uint8_t>& bytes);

    // Port hand-over; nothing happens unless at least two child windows are open.
    void ReleasePort(int portIndex, int childWindows);
    void ReacquirePort(int portIndex, int childWindows);

    // Power events. Resume reopens the suspended terminals one by one, kResumeDelayMs apart,
    // the first one kResumeDelayMs after the call; a terminal still in its first settings
    // dialog is skipped (its dialog opens the port).
    void SuspendPorts();
    void ResumePorts();
    bool Resuming() const { return !resumeQueue_.empty(); }

  private:
    void ScheduleResumeStep();
    void ResumeStep();
    bool IsOpen(ShellTerminal* terminal) const;

    Scheduler scheduler_;
    std::vector<ShellTerminal*> open_;
    std::vector<WindowEntry> entries_;
    std::array<ShellTerminal*, kSlots> slots_{};
    std::deque<ShellTerminal*> resumeQueue_;
    uint64_t resumeRun_ = 0;  // a new suspend or resume ends the chain in progress
    std::shared_ptr<TerminalRegistry*> self_ = std::make_shared<TerminalRegistry*>(this);
};

}  // namespace kelmor::shell
