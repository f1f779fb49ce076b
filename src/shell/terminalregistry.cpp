#include "shell/terminalregistry.h"

#include <QTimer>
#include <algorithm>

namespace kelmor::shell {

TerminalRegistry::TerminalRegistry(Scheduler scheduler) : scheduler_(std::move(scheduler)) {
    if (!scheduler_) {
        scheduler_ = [](int delayMs, std::function<void()> callback) {
            QTimer::singleShot(delayMs, std::move(callback));
        };
    }
}

TerminalRegistry::~TerminalRegistry() { *self_ = nullptr; }

void TerminalRegistry::TerminalOpened(ShellTerminal* terminal) {
    if (terminal && !IsOpen(terminal)) open_.push_back(terminal);
}

void TerminalRegistry::TerminalClosed(ShellTerminal* terminal) {
    open_.erase(std::remove(open_.begin(), open_.end(), terminal), open_.end());
    resumeQueue_.erase(std::remove(resumeQueue_.begin(), resumeQueue_.end(), terminal),
                       resumeQueue_.end());
}

bool TerminalRegistry::IsOpen(ShellTerminal* terminal) const {
    return std::find(open_.begin(), open_.end(), terminal) != open_.end();
}

// ---- Window menu and slots ----

void TerminalRegistry::RegisterTerminal(ShellTerminal* terminal, const std::string& caption) {
    entries_.push_back({terminal, caption});
    // The first empty slot; an eleventh terminal gets none and does not mirror.
    for (auto& slot : slots_) {
        if (slot == nullptr) {
            slot = terminal;
            break;
        }
    }
    if (onEntriesChanged) onEntriesChanged();
}

bool TerminalRegistry::UnregisterTerminal(ShellTerminal* terminal) {
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [terminal](const WindowEntry& e) { return e.terminal == terminal; });
    if (it == entries_.end()) return false;
    entries_.erase(it);
    for (auto& slot : slots_)
        if (slot == terminal) slot = nullptr;
    if (onEntriesChanged) onEntriesChanged();
    return true;
}

bool TerminalRegistry::RenameTerminal(const std::string& oldCaption,
                                      const std::string& newCaption) {
    for (WindowEntry& e : entries_) {
        if (e.caption == oldCaption) {
            e.caption = newCaption;
            if (onEntriesChanged) onEntriesChanged();
            return true;
        }
    }
    return false;
}

// ---- mirroring ----

void TerminalRegistry::MirrorKey(ShellTerminal* source, uint8_t ch) {
    for (ShellTerminal* t : slots_)
        if (t && t != source && t->Mirroring()) t->MirrorCharacter(ch);
}

void TerminalRegistry::MirrorBlock(ShellTerminal* source, const std::vector<uint8_t>& bytes) {
    // A copy of the slots: a send may show a message whose event loop changes them.
    const auto targets = slots_;
    for (ShellTerminal* t : targets)
        if (t && t != source && IsOpen(t) && t->Mirroring()) t->MirrorBytes(bytes);
}

// ---- port hand-over ----

void TerminalRegistry::ReleasePort(int portIndex, int childWindows) {
    if (childWindows < 2) return;
    const auto terminals = open_;
    for (ShellTerminal* t : terminals)
        if (IsOpen(t) && t->PortIndex() == portIndex && !t->SettingsPending())
            t->ClosePortFor(PortHandOver::Release);
}

void TerminalRegistry::ReacquirePort(int portIndex, int childWindows) {
    if (childWindows < 2) return;
    const auto terminals = open_;
    for (ShellTerminal* t : terminals)
        if (IsOpen(t) && t->PortIndex() == portIndex && t->ClosedByShell())
            t->ReopenPortAfter(PortHandOver::Release);
}

void TerminalRegistry::SuspendPorts() {
    ++resumeRun_;
    resumeQueue_.clear();
    const auto terminals = open_;
    for (ShellTerminal* t : terminals)
        if (IsOpen(t) && !t->SettingsPending()) t->ClosePortFor(PortHandOver::Suspend);
}

void TerminalRegistry::ResumePorts() {
    ++resumeRun_;
    resumeQueue_.assign(open_.begin(), open_.end());
    ScheduleResumeStep();
}

void TerminalRegistry::ScheduleResumeStep() {
    if (resumeQueue_.empty()) return;
    std::weak_ptr<TerminalRegistry*> self = self_;
    const uint64_t run = resumeRun_;
    scheduler_(kResumeDelayMs, [self, run] {
        auto owner = self.lock();
        if (!owner || *owner == nullptr || (*owner)->resumeRun_ != run) return;
        (*owner)->ResumeStep();
    });
}

// One terminal per step: adapters need a moment after resume before they accept an open.
void TerminalRegistry::ResumeStep() {
    while (!resumeQueue_.empty()) {
        ShellTerminal* t = resumeQueue_.front();
        resumeQueue_.pop_front();
        // Still in its first settings dialog (the port is not chosen yet), or closed by the
        // user or a lost device: not ours to open.
        if (!IsOpen(t) || t->SettingsPending() || !t->ClosedByShell()) continue;
        t->ReopenPortAfter(PortHandOver::Suspend);
        break;
    }
    ScheduleResumeStep();
}

}  // namespace kelmor::shell
