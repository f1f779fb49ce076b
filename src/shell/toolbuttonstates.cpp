#include "shell/toolbuttonstates.h"

namespace kelmor::shell {

ToolButtonStates::ToolButtonStates(std::function<void()> changed)
    : changed_(std::move(changed)), locks_([this] { Changed(); }) {
    rule_.fill(true);
    // Setup and Program act on the active terminal: none at start.
    Set(ToolButton::Setup, false);
    Set(ToolButton::Program, false);
}

bool ToolButtonStates::Enabled(ToolButton button) const {
    const int i = Index(button);
    return i >= 0 && i < kToolButtonCount && rule_[i] && !locks_.Locked(button);
}

void ToolButtonStates::TerminalActivated() {
    Set(ToolButton::Setup, true);
    Set(ToolButton::Program, true);
    Set(ToolButton::Drawing, false);
    Set(ToolButton::SingleModem, false);
    Set(ToolButton::Flash, false);
    Changed();
}

void ToolButtonStates::TerminalClosed(int terminalCount) {
    Set(ToolButton::Setup, false);
    Set(ToolButton::Program, false);
    Set(ToolButton::MultiFlash, true);
    if (terminalCount <= 0) {
        Set(ToolButton::Drawing, true);
        Set(ToolButton::SingleModem, true);
        Set(ToolButton::Flash, true);
    }
    Changed();
}

}  // namespace kelmor::shell
