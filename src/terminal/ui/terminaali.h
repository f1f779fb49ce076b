#pragma once
// A terminal window: an MDI child on one serial port. It wires the text area, its menus and
// the settings dialog to TerminalCore, which does the traffic.
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

#include "terminal/display.h"
#include "terminal/terminalcore.h"
#include "terminal/ui/terminalhost.h"
#include "terminal/ui/terminaltextedit.h"

class QAction;
class QLabel;
class QMenu;

namespace kelmor::terminal {

class Tterminaali : public QWidget {
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
    // Starts the log on a path without the save dialog.
    bool StartLog(const QString& path);

    // A typed character; fromMirror for characters another terminal forwarded.
    void TypedCharacter(uint8_t ch, bool fromMirror = false);
    void SendBlock(std::vector<uint8_t> bytes, bool fromMirror = false);

    // Focus as the display sees it; the main window sets it on (de)activation.
    void SetFocused(bool focused) { focused_ = focused; }
    bool Focused() const { return focused_; }

    // Port closed or reopened by the main window (release, suspend) and the grey text area.
    void PortReleased();
    void PortReacquired();
    void SetGrey(bool grey);
    bool Grey() const { return grey_; }
    bool ClosePortVisible() const;

    // Replaces the save dialog of the log command (tests).
    std::function<QString()> logFileChooser;
    // Sends script text n (Shift+F1 … F12); given by the script window when it exists.
    std::function<void(int n, Tterminaali* terminal)> scriptSender;

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
    bool registered_ = false;
    bool closed_ = false;
};

}  // namespace kelmor::terminal
