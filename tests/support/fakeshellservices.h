#pragma once
// Shell services for window tests: records hand-overs and opened windows; tool-button locks are
// counted as the main window counts them. Link kelmor_shell to use it.
#include <QPrinter>
#include <string>
#include <vector>

#include "fakeprompter.h"
#include "shell/shellservices.h"

namespace kelmor::testing {

class FakeStatusLog : public shell::StatusLog {
  public:
    void SetStatusButtons(const std::string& caption, bool enabled) override {
        this->caption = caption;
        buttonsEnabled = enabled;
    }
    void AddStatusLine(const std::string& line) override { lines.push_back(line); }
    void AddStatusBytes(const std::vector<uint8_t>& bytes, bool sent) override {
        frames.push_back({bytes, sent});
    }
    void ShowStatus() override { ++shown; }

    std::string caption;
    bool buttonsEnabled = true;
    std::vector<std::string> lines;
    std::vector<std::pair<std::vector<uint8_t>, bool>> frames;
    int shown = 0;
};

class FakeShellServices : public shell::ShellServices {
  public:
    bool FactoryMode() const override { return factoryMode; }
    bool DsrOption() const override { return dsrOption; }
    int TerminalCount() const override { return terminalCount; }
    void ReleasePort(int portIndex) override { released.push_back(portIndex); }
    void ReacquirePort(int portIndex) override { reacquired.push_back(portIndex); }
    void OpenTerminal() override { ++terminalsOpened; }
    void OpenMultiFlash(shell::MultiFlashKind kind) override { multiFlashOpened.push_back(kind); }
    std::unique_ptr<shell::ToolButtonLock> LockToolButtons(
        std::vector<shell::ToolButton> buttons) override {
        return locks.Lock(std::move(buttons));
    }
    QPrinter& Printer() override { return printer; }
    void PrinterSetup() override { ++printerSetups; }
    shell::StatusLog& Status() override { return status; }
    platform::Prompter& Prompter() override { return prompter; }

    bool factoryMode = false;
    bool dsrOption = false;
    int terminalCount = 0;
    std::vector<int> released;
    std::vector<int> reacquired;
    int terminalsOpened = 0;
    std::vector<shell::MultiFlashKind> multiFlashOpened;
    int printerSetups = 0;
    shell::ToolButtonLocks locks;
    QPrinter printer;
    FakeStatusLog status;
    FakePrompter prompter;
};

}  // namespace kelmor::testing
