#pragma once
// Whether each tool button of the main window is enabled: the rules the terminals switch
// (a terminal activated or closed) combined with the locks other windows hold. A locked button
// stays disabled whatever the rules say, and gets the rules' state back with its last lock.
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "shell/shellservices.h"

namespace kelmor::shell {

class ToolButtonStates {
  public:
    // changed: called after every change, so the owner can refresh its buttons.
    explicit ToolButtonStates(std::function<void()> changed = {});

    bool Enabled(ToolButton button) const;
    // The state the rules give, before locks.
    bool RuleEnabled(ToolButton button) const { return rule_[Index(button)]; }

    // A terminal became active: Setup and Program on, Drawing, Single modem and Flash off.
    void TerminalActivated();
    // A terminal closed, leaving terminalCount open: Setup and Program off, MultiFlash on, and
    // with none left Drawing, Single modem and Flash on.
    void TerminalClosed(int terminalCount);

    [[nodiscard]] std::unique_ptr<ToolButtonLock> Lock(std::vector<ToolButton> buttons) {
        return locks_.Lock(std::move(buttons));
    }
    const ToolButtonLocks& Locks() const { return locks_; }

  private:
    static int Index(ToolButton b) { return static_cast<int>(b); }
    void Set(ToolButton b, bool enabled) { rule_[Index(b)] = enabled; }
    void Changed() {
        if (changed_) changed_();
    }

    std::function<void()> changed_;
    std::array<bool, kToolButtonCount> rule_{};
    ToolButtonLocks locks_;
};

}  // namespace kelmor::shell
