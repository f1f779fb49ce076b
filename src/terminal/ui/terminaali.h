#pragma once
// A terminal window: an MDI child on one serial port. It wires the text area, its menus and
// the settings dialog to TerminalCore, which does the traffic.
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

#include "shell/terminalregistry.h"
#include "terminal/display.h"
#include "terminal/terminalcore.h"
#include "terminal/ui/terminalhost.h"
#include "terminal/ui/terminaltextedit.h"

class QAction;
class QLabel;
class QMenu;

namespace kelmor::terminal {

class TLahetys;
class TransmitTarget;

class Tterminaali : public QWidget, public shell::ShellTerminal {
    Q_OBJECT
  public:
    explicit Tterminaali(TerminalHost& host, QWidget* parent = nullptr);
    ~Tterminaali() override;

    TerminalCore& Core() { return *core_; }
    TerminalDisplay& Display() { return *display_; }
    TerminalTextEdit& TextArea() { return *text_; }
    serial::TCommPort& Port() { return core_->Port(); }

    // The menus the main window shows while this terminal is active.
    QMenu* ModeMenu() const { return modeMenu_; }
    QMenu* EditMenu() const { return editMenu_; }
    QMenu* PopupMenu() const { return popup_; }
    QAction* Action(const QString& objectName) const;

    // Caption as the Window menu knows it (the programming-mode caption is not registered).
    QString RegisteredCaption() const { return registeredCaption_; }

    // Commands of the menus and the main window's tool buttons.
    void Settings(bool firstShow = false);
    void ToggleProgrammingMode();
    void Copy();
    void Paste();
    void Print();
    void ClearArea();
    void SelectAll();
    void ClosePortCommand();
    void OpenPortCommand();
    void LogFileCommand();
    // Commands that open other windows; each is filled in by the window it opens.
    void TransmitCommand();
    void ScriptSetupCommand();
    void MultiFlashCommand();
    void RadioTestCommand();
    // Shift+F1 … F12: script text n (1 … 12) of the script texts dialog.
    void ScriptKey(int n);
    // Starts the log on a path without the save dialog.
    bool StartLog(const QString& path);

    // A typed character; fromMirror for characters another terminal forwarded.
    void TypedCharacter(uint8_t ch, bool fromMirror = false);
    void SendBlock(std::vector<uint8_t> bytes, bool fromMirror = false);

    // Focus as the display sees it; the main window sets it on (de)activation.
    void SetFocused(bool focused) { focused_ = focused; }
    bool Focused() const { return focused_; }

    // The grey text area while the port is held closed.
    void SetGrey(bool grey);
    bool Grey() const { return grey_; }
    bool ClosePortVisible() const;

    // The main window's registry and port broker (shell::ShellTerminal).
    int PortIndex() const override;
    bool Mirroring() const override;
    void MirrorCharacter(uint8_t ch) override;
    void MirrorBytes(const std::vector<uint8_t>& bytes) override;
    void ClosePortFor(shell::PortHandOver why) override;
    void ReopenPortAfter(shell::PortHandOver why) override;
    bool ClosedByShell() const override;
    bool SettingsPending() const override { return settingsPending_; }
    void BringToFront() override;

    // Replaces the save dialog of the log command (tests).
    std::function<QString()> logFileChooser;

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void BuildMenus();
    QAction* AddAction(QMenu* menu, const QString& name, const QString& caption,
                       const QString& hint, std::function<void()> command);
    void UpdateCaption(bool rename);
    void UpdateProgramEntry();
    void ShowLogIndicator(bool on, uint64_t total);
    void PortChanged();
    void DeviceLost();
    void Shutdown();

    TerminalHost& host_;
    TerminalTextEdit* text_ = nullptr;
    std::unique_ptr<QtTextArea> area_;
    std::unique_ptr<TerminalDisplay> display_;
    std::unique_ptr<TerminalCore> core_;
    QLabel* logIndicator_ = nullptr;
    QMenu* modeMenu_ = nullptr;
    QMenu* editMenu_ = nullptr;
    QMenu* popup_ = nullptr;
    QAction* logAction_ = nullptr;
    QString registeredCaption_;
    bool focused_ = false;
    bool grey_ = false;
    bool shown_ = false;
    bool settingsPending_ = true;  // until the first settings dialog has closed
    bool registered_ = false;
    bool closed_ = false;
    // The transmit window while it is open, and the way it sends through this terminal.
    QPointer<TLahetys> transmit_;
    std::unique_ptr<TransmitTarget> transmitTarget_;
};

}  // namespace kelmor::terminal
