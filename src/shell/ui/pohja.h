#pragma once
// The main window: the MDI frame with menus, tool bar and status bar. It offers the shell
// services to every other window; the terminal list and port broker (TerminalRegistry) and the
// tool-button rules (ToolButtonStates) are logic it hosts.
#include <QMainWindow>
#include <QPointer>
#include <QPrinter>
#include <map>
#include <memory>
#include <vector>

#include "shell/shellservices.h"
#include "shell/shellsettings.h"
#include "shell/terminalregistry.h"
#include "shell/toolbuttonstates.h"
#include "terminal/ui/terminalhost.h"

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;

namespace kelmor::terminal {
class Tterminaali;
class Tportinasetus;
}  // namespace kelmor::terminal

namespace kelmor::flash::ui {
class TCSingleFlashDlg;
class TCMultiFlashDlg;
}  // namespace kelmor::flash::ui

namespace kelmor::designer::ui {
class Tpiirtopohja;
}  // namespace kelmor::designer::ui

namespace kelmor::shell {

class TPohjafrm : public QMainWindow, public terminal::TerminalHost, public ShellServices {
    Q_OBJECT
  public:
    static constexpr int kTerminalSlots = TerminalRegistry::kSlots;

    // arguments: the command line without the program name. Creates the start-up windows
    // (singleinstances.cpp) after itself.
    explicit TPohjafrm(std::vector<std::string> arguments = {}, QWidget* parent = nullptr);
    ~TPohjafrm() override;

    // ---- ShellServices ----
    bool FactoryMode() const override { return factoryMode_; }
    bool DsrOption() const override { return dsrOption_; }
    int TerminalCount() const override { return registry_.TerminalCount(); }
    void ReleasePort(int portIndex) override;
    void ReacquirePort(int portIndex) override;
    void OpenTerminal() override { OpenTerminalWindow(); }
    void OpenMultiFlash(MultiFlashKind kind) override { MultiFlashCommand(kind); }
    [[nodiscard]] std::unique_ptr<ToolButtonLock> LockToolButtons(
        std::vector<ToolButton> buttons) override;
    QPrinter& Printer() override { return printer_; }
    void PrinterSetup() override;
    StatusLog& Status() override;
    platform::Prompter& Prompter() override;

    // ---- TerminalHost ----
    void RegisterTerminal(terminal::Tterminaali* terminal, const QString& caption) override;
    void UnregisterTerminal(terminal::Tterminaali* terminal, const QString& caption) override;
    void RenameTerminal(const QString& oldCaption, const QString& newCaption) override;
    void MirrorKey(terminal::Tterminaali* source, uint8_t ch) override;
    void MirrorBlock(terminal::Tterminaali* source, const std::vector<uint8_t>& bytes) override;
    void RequestExit() override;
    void NotAvailable() override;
    void TerminalClosed(terminal::Tterminaali* terminal) override;
    terminal::Tportinasetus& PortSettingsDialog() override;
    terminal::SingleInstances& Instances() override { return instances_; }
    ShellServices& Services() override { return *this; }
    QPoint MainOrigin() const override { return pos(); }
    QRect MainGeometry() const override { return frameGeometry(); }

    // ---- state and parts, for the program and tests ----
    const std::string& LoaderPath() const { return loaderPath_; }
    TerminalRegistry& Registry() { return registry_; }
    const TerminalRegistry& Registry() const { return registry_; }
    const ToolButtonStates& ButtonStates() const { return buttonStates_; }
    // Tool buttons and menu entries by object name ("OpenBtn", "Cascade", ...).
    QAction* Button(const QString& name) const;
    QAction* Button(ToolButton button) const { return Button(ToolButtonName(button)); }
    QAction* MenuEntry(const QString& name) const;
    QMenu* WindowMenu() const { return windowMenu_; }
    QMenu* ModeMenu() const { return modeMenu_; }
    QToolBar* ToolBar() const { return toolBar_; }
    QLabel* FactoryLabel() const { return factoryLabel_; }
    QMdiArea* MdiArea() const { return mdi_; }
    // The pop-up menu the client area shows now (rebuilt for the open children).
    QMenu* ClientPopup();
    terminal::Tterminaali* ActiveTerminal() const;

    terminal::Tterminaali* OpenTerminalWindow();
    // Power events: close every terminal's port; reopen them one by one, 800 ms apart.
    void SuspendPorts() { registry_.SuspendPorts(); }
    void ResumePorts() { registry_.ResumePorts(); }
    // The settings file is written as on closing.
    bool SaveSettings();
    // The program's exit code: set by a remote flash start (0 when every channel succeeded).
    int ExitCode() const { return exitCode_; }
    flash::ui::TCSingleFlashDlg* SingleFlashWindow() const;
    flash::ui::TCMultiFlashDlg* MultiFlashWindow(MultiFlashKind kind) const;

  private slots:
    void PrepareForSleep(bool start);

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildMenus();
    void BuildToolBar();
    QAction* AddEntry(QMenu* menu, const QString& name, const QString& caption, const QString& hint,
                      void (TPohjafrm::*command)());
    QAction* AddButton(const QString& name, const QString& icon, const QString& hint,
                       void (TPohjafrm::*command)());
    void FormCreate();
    void ApplyCommandLine();
    void RemoteFlash();
    void SubWindowActivated(QMdiSubWindow* window);
    void UseMenusOf(terminal::Tterminaali* terminal);
    void ConnectPowerEvents();
    void RefreshButtons();
    void RebuildWindowEntries();
    // The active child when it is not a terminal (the designer, a flash window).
    QWidget* ActiveOtherChild() const;

    // ---- commands: one function each ----
    void OpenTerminalCommand() { OpenTerminalWindow(); }
    void RoutingSetupCommand();
    void SingleModemCommand();
    void FlashUpdateCommand();
    void MultiFlashCommand(MultiFlashKind kind);
    void MultiFlash1Command() { MultiFlashCommand(MultiFlashKind::MultiFlash); }
    void MultiFlash2Command() { MultiFlashCommand(MultiFlashKind::MultiFlash2); }
    void RemoteFlashCommand(const RemoteFlashRequest& request);
    void MakeSmfCommand();
    void LoaderToHexCommand();
    void ExitCommand();
    void CascadeCommand();
    void TileCommand();
    void RedrawCommand();
    void AboutCommand();
    void SetupCommand();
    void ProgramCommand();
    void CopyCommand();
    void PasteCommand();
    void PrintCommand();
    void DesignerCopyCommand();
    void DesignerPrintCommand();
    void BufferSettingsCommand(terminal::Tterminaali* terminal);
    void ApplicationActivated();

    std::vector<std::string> arguments_;
    QMdiArea* mdi_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QMenu* modeMenu_ = nullptr;
    QMenu* windowMenu_ = nullptr;
    QMenu* helpMenu_ = nullptr;
    QMenu* clientPopup_ = nullptr;
    QLabel* factoryLabel_ = nullptr;
    std::map<QString, QAction*> buttons_;
    std::map<QString, QAction*> entries_;
    QList<QPointer<QAction>> terminalEntries_;
    QPointer<terminal::Tterminaali> activeTerminal_;
    QList<QPointer<QAction>> childMenuActions_;
    bool factoryMode_ = false;
    bool dsrOption_ = false;
    std::string loaderPath_ = kNoLoader;
    QPrinter printer_;
    TerminalRegistry registry_;
    ToolButtonStates buttonStates_;
    terminal::SingleInstances instances_;
    NullStatusLog noStatus_;
    bool closing_ = false;
    // The flash dialogs while they are open.
    QPointer<flash::ui::TCSingleFlashDlg> singleFlash_;
    QPointer<flash::ui::TCMultiFlashDlg> multiFlash_[2];
    // The designer window while it is open; one at a time.
    QPointer<designer::ui::Tpiirtopohja> designer_;
    void OpenDesigner(bool singleMode);
    int exitCode_ = 0;
};

}  // namespace kelmor::shell
