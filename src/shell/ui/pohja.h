#pragma once
// The main window: the MDI frame with menus, tool bar and status bar, the list of open
// terminals, port hand-over between windows and power events.
#include <QMainWindow>
#include <QPointer>
#include <QPrinter>
#include <array>
#include <map>
#include <memory>
#include <vector>

#include "platform/clock.h"
#include "shell/shellsettings.h"
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

namespace kelmor::shell {

class Taboutfrm;

class TPohjafrm : public QMainWindow, public terminal::TerminalHost {
    Q_OBJECT
  public:
    static constexpr int kTerminalSlots = 10;

    // arguments: the command line without the program name.
    explicit TPohjafrm(std::vector<std::string> arguments = {}, QWidget* parent = nullptr);
    ~TPohjafrm() override;

    // The application-wide dialogs, created after the main window.
    void SetAboutBox(Taboutfrm* about) { about_ = about; }
    void SetPortSettingsDialog(terminal::Tportinasetus* dialog) { portSettings_ = dialog; }

    // State read by other windows.
    bool FactoryMode() const override { return factoryMode_; }
    bool DsrOption() const { return dsrOption_; }
    int TerminalCount() const { return terminalCount_; }
    const std::string& LoaderPath() const { return loaderPath_; }
    const std::array<QPointer<terminal::Tterminaali>, kTerminalSlots>& Terminals() const {
        return terminals_;
    }

    // Tool buttons and menu entries by object name ("OpenBtn", "&Cascade" entries by name).
    QAction* Button(const QString& name) const;
    QAction* MenuEntry(const QString& name) const;
    QMenu* WindowMenu() const { return windowMenu_; }
    QMenu* ModeMenu() const { return modeMenu_; }
    QLabel* FactoryLabel() const { return factoryLabel_; }
    QMdiArea* MdiArea() const { return mdi_; }
    // The pop-up menu the client area shows now (rebuilt for the open children).
    QMenu* ClientPopup();

    // Operations for other windows.
    void RegisterTerminal(terminal::Tterminaali* terminal, const QString& caption) override;
    void UnregisterTerminal(terminal::Tterminaali* terminal, const QString& caption) override;
    void RenameTerminal(const QString& oldCaption, const QString& newCaption) override;
    void MirrorKey(terminal::Tterminaali* source, uint8_t ch) override;
    void MirrorBlock(terminal::Tterminaali* source, const std::vector<uint8_t>& bytes) override;
    void ReleasePort(int portIndex);
    void ReacquirePort(int portIndex);
    void SuspendPorts();
    void ResumePorts();

    // Commands.
    terminal::Tterminaali* OpenTerminalWindow();
    void OpenTerminal() override { OpenTerminalWindow(); }
    void RequestExit() override;
    void PrinterSetup() override;
    QPrinter& Printer() override { return printer_; }
    void NotAvailable() override;
    void TerminalClosed(terminal::Tterminaali* terminal) override;
    terminal::Tportinasetus& PortSettingsDialog() override;
    QPoint MainOrigin() const override { return pos(); }

    terminal::Tterminaali* ActiveTerminal() const;
    void SetClock(platform::Clock* clock) { clock_ = clock; }
    // The settings file is written as on closing.
    bool SaveSettings();

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

    void SetupCommand();
    void ProgramCommand();
    void CopyCommand();
    void PasteCommand();
    void PrintCommand();
    void AboutCommand();
    void MakeSmfCommand();
    void LoaderToHexCommand();
    void CascadeCommand();
    void TileCommand();
    void ExitCommand();
    void OpenTerminalCommand() { OpenTerminalWindow(); }

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
    std::array<QPointer<terminal::Tterminaali>, kTerminalSlots> terminals_;
    QPointer<terminal::Tterminaali> activeTerminal_;
    QList<QPointer<QAction>> childMenuActions_;
    int terminalCount_ = 0;
    bool factoryMode_ = false;
    bool dsrOption_ = false;
    std::string loaderPath_ = kNoLoader;
    QPrinter printer_;
    Taboutfrm* about_ = nullptr;
    terminal::Tportinasetus* portSettings_ = nullptr;
    std::unique_ptr<terminal::Tportinasetus> ownPortSettings_;
    platform::Clock* clock_ = &platform::RealClock::Instance();
    bool closing_ = false;
};

}  // namespace kelmor::shell
