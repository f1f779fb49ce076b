#include "terminal/ui/terminaali.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/ansi.h"
#include "platform/programdir.h"
#include "platform/prompter.h"
#include "shell/shellservices.h"
#include "terminal/ui/portinasetus.h"
#include "terminal/ui/scriptsetup.h"
#include "terminal/ui/transmitwindow.h"
#include "terminal/ui/txtestwindow.h"

namespace kelmor::terminal {

namespace {
const QColor kGrey(0x80, 0x80, 0x80);

// The transmit window's packets go through the terminal's SendBlock (chunks, echo, mirror).
class TerminalTransmitTarget : public TransmitTarget {
  public:
    explicit TerminalTransmitTarget(Tterminaali& terminal) : terminal_(terminal) {}
    void SendBlock(std::vector<uint8_t> bytes) override { terminal_.SendBlock(std::move(bytes)); }
    // Bytes already handed to the port finish; the rest of the packet is dropped.
    void DiscardPendingSend() override { terminal_.Core().DiscardPendingSend(); }

  private:
    Tterminaali& terminal_;
};
}  // namespace

Tterminaali::Tterminaali(TerminalHost& host, QWidget* parent) : QWidget(parent), host_(host) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowTitle("Terminal");
    resize(550, 306);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    text_ = new TerminalTextEdit(this);
    text_->setObjectName("TextArea");
    text_->setAccessibleName("Terminal");
    layout->addWidget(text_);
    area_ = std::make_unique<QtTextArea>(*text_, focused_);
    display_ = std::make_unique<TerminalDisplay>(*area_);
    core_ = std::make_unique<TerminalCore>(*display_);

    logIndicator_ = new QLabel(text_);
    logIndicator_->setObjectName("LogIndicator");
    logIndicator_->setAutoFillBackground(true);
    QPalette pal = logIndicator_->palette();
    pal.setColor(QPalette::Window, QColor(0, 255, 255));
    pal.setColor(QPalette::WindowText, Qt::black);
    logIndicator_->setPalette(pal);
    logIndicator_->move(8, 8);
    logIndicator_->hide();
    display_->onLogChanged = [this](bool on, uint64_t total) { ShowLogIndicator(on, total); };

    text_->onCharacter = [this](uint8_t ch) { TypedCharacter(ch); };
    text_->onScriptKey = [this](int n) { ScriptKey(n); };
    text_->onFocusChanged = [this](bool f) { focused_ = f; };
    text_->onPopup = [this](const QPoint& pos) { popup_->popup(pos); };
    core_->onMirrorBlock = [this](std::vector<uint8_t> bytes) { host_.MirrorBlock(this, bytes); };
    core_->onDeviceLost = [this] { DeviceLost(); };
    core_->onPortChanged = [this](PortChange) { PortChanged(); };
    BuildMenus();
}

Tterminaali::~Tterminaali() {
    if (!closed_) Shutdown();
    // The text area outlives this object by a moment (QWidget destroys children later) and
    // still gets focus events then.
    text_->onCharacter = nullptr;
    text_->onScriptKey = nullptr;
    text_->onFocusChanged = nullptr;
    text_->onPopup = nullptr;
    display_->onLogChanged = nullptr;
    core_->onPortChanged = nullptr;
    core_->onDeviceLost = nullptr;
    // The transmit window is a child too and goes after the core.
    core_->onTransmitMessage = nullptr;
    if (transmit_) transmit_->onTransmitWindowClosed = nullptr;
}

QAction* Tterminaali::AddAction(QMenu* menu, const QString& name, const QString& caption,
                                const QString& hint, std::function<void()> command) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    int bar = hint.indexOf('|');
    action->setToolTip(bar >= 0 ? hint.left(bar) : hint);
    action->setStatusTip(bar >= 0 ? hint.mid(bar + 1) : hint);
    connect(action, &QAction::triggered, this, [command = std::move(command)] { command(); });
    return action;
}

QAction* Tterminaali::Action(const QString& objectName) const {
    for (QMenu* menu : {modeMenu_, editMenu_, popup_})
        for (QAction* a : menu->actions())
            if (a->objectName() == objectName) return a;
    return nullptr;
}

void Tterminaali::BuildMenus() {
    modeMenu_ = new QMenu("&Mode", this);
    modeMenu_->menuAction()->setStatusTip(
        "New terminal, Settings, Close terminal, Transmit, Exit.");
    AddAction(modeMenu_, "OpenTerminal", "&Open terminal", "Opern new terminalwindow",
              [this] { host_.Services().OpenTerminal(); });
    AddAction(modeMenu_, "Settings", "&Settings", "Settings for serialport.",
              [this] { Settings(); });
    AddAction(modeMenu_, "Transmit", "&Transmit", "Open transmit window.",
              [this] { TransmitCommand(); });
    AddAction(modeMenu_, "ScriptSetup", "Scr&ipt setup",
              "You can define your own script text. Short cut to use these text is shift-F#.",
              [this] { ScriptSetupCommand(); });
    AddAction(modeMenu_, "MultiFlash", "MultiFlash", "Flash many modes at same time.",
              [this] { MultiFlashCommand(); });
    AddAction(modeMenu_, "RadioTest", "Radio test", "Start radio test by sendin continuous data.",
              [this] { RadioTestCommand(); });
    modeMenu_->addSeparator();
    logAction_ = AddAction(modeMenu_, "LogFile", "&Log file..", "Save received data to log file.",
                           [this] { LogFileCommand(); });
    logAction_->setCheckable(true);
    modeMenu_->addSeparator();
    AddAction(modeMenu_, "Print", "&Print..", "Print terminal window contents.",
              [this] { Print(); });
    AddAction(modeMenu_, "PrinterSetup", "P&rinter setup..", "Changes the printer setup.",
              [this] { host_.Services().PrinterSetup(); });
    modeMenu_->addSeparator();
    AddAction(modeMenu_, "CloseTerminal", "&Close terminal", "Close terminal window.", [this] {
        if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
            sub->close();
        else
            close();
    });
    AddAction(modeMenu_, "Exit", "E&xit", "Exit program.", [this] { host_.RequestExit(); });
    connect(modeMenu_, &QMenu::aboutToShow, this, [this] {
        bool factory = host_.Services().FactoryMode();
        for (const char* name : {"MultiFlash", "RadioTest"}) {
            Action(name)->setVisible(factory);
            Action(name)->setEnabled(factory);
        }
    });
    for (const char* name : {"MultiFlash", "RadioTest"}) Action(name)->setVisible(false);

    editMenu_ = new QMenu("&Edit", this);
    editMenu_->menuAction()->setStatusTip("Cut, Copy, Paste, Select all.");
    AddAction(editMenu_, "EditCopy", "&Copy    Ctrl+C", "", [this] { Copy(); });
    AddAction(editMenu_, "EditPaste", "&Paste   Ctrl+V", "", [this] { Paste(); });
    AddAction(editMenu_, "EditSelectAll", "&Select all", "", [this] { SelectAll(); });

    popup_ = new QMenu(this);
    AddAction(popup_, "PopupSettings", "Settings", "Settings for serialport.",
              [this] { Settings(); });
    AddAction(popup_, "PopupTransmit", "Transmit", "Open transmit window.",
              [this] { TransmitCommand(); });
    AddAction(popup_, "PopupScriptSetup", "Scr&ipt setup",
              "You can define your own script text. Short cut to use these text is shift-F#.",
              [this] { ScriptSetupCommand(); });
    AddAction(popup_, "Clear", "Clear", "Clear window buffer.", [this] { ClearArea(); });
    popup_->addSeparator();
    AddAction(popup_, "ProgSettings", "Prog settings",
              "Toggle between the Programing and the Normal mode|Toggle between Programing and "
              "Normal mode settings.",
              [this] { ToggleProgrammingMode(); });
    popup_->addSeparator();
    AddAction(popup_, "PopupCopy", "Copy", "", [this] { Copy(); });
    AddAction(popup_, "PopupPaste", "Paste", "", [this] { Paste(); });
    popup_->addSeparator();
    AddAction(popup_, "ClosePort", "Close port", "", [this] { ClosePortCommand(); });
    AddAction(popup_, "OpenPort", "Open port", "", [this] {
        OpenPortCommand();
    })->setVisible(false);
}

// ---- settings and caption ----

void Tterminaali::Settings(bool firstShow) {
    Tportinasetus& dialog = host_.PortSettingsDialog();
    QPoint own = parentWidget() ? parentWidget()->pos() : pos();
    dialog.move(host_.MainOrigin() + own + QPoint(8, 80));
    int result = dialog.ShowFor(*core_, firstShow);
    if (result == QDialog::Accepted) {
        core_->SettingsAccepted();
        UpdateCaption(!firstShow);
        UpdateProgramEntry();
    }
    if (!firstShow) return;
    settingsPending_ = false;
    if (result != QDialog::Accepted || !core_->Port().IsOpen()) {
        // A new terminal without its port is no terminal: close it again.
        QTimer::singleShot(0, this, [this] {
            if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
                sub->close();
            else
                close();
        });
        return;
    }
    registered_ = true;
    host_.RegisterTerminal(this, registeredCaption_);
}

void Tterminaali::UpdateCaption(bool rename) {
    QString caption = QString::fromStdString(platform::AnsiToUtf8(core_->NormalCaption()));
    if (rename && registered_) host_.RenameTerminal(registeredCaption_, caption);
    registeredCaption_ = caption;
    setWindowTitle(caption);
    text_->setAccessibleName(caption);
}

void Tterminaali::UpdateProgramEntry() {
    Action("ProgSettings")->setText(core_->ProgrammingMode() ? "Normal settings" : "Prog settings");
}

void Tterminaali::ToggleProgrammingMode() {
    if (core_->ProgrammingMode()) {
        core_->LeaveProgrammingMode();
        UpdateCaption(false);
    } else {
        core_->EnterProgrammingMode();
        setWindowTitle(QString::fromStdString(core_->Caption()));
    }
    UpdateProgramEntry();
}

// ---- typing and sending ----

void Tterminaali::TypedCharacter(uint8_t ch, bool fromMirror) {
    core_->TypeCharacter(ch);
    if (ch == 3) Copy();
    if (ch == 22) Paste();
    if (!fromMirror && core_->Options().mirror && focused_) host_.MirrorKey(this, ch);
    if (ch == 8) text_->ApplyBackspace();
}

void Tterminaali::SendBlock(std::vector<uint8_t> bytes, bool fromMirror) {
    core_->SendBlock(std::move(bytes), fromMirror);
}

void Tterminaali::Copy() { text_->copy(); }

void Tterminaali::Paste() {
    QString text = QApplication::clipboard()->text();
    if (text.isEmpty()) return;
    SendBlock(PasteBytes(platform::Utf8ToAnsi(text.toStdString())));
}

void Tterminaali::ClearArea() { text_->clear(); }

void Tterminaali::SelectAll() { text_->selectAll(); }

void Tterminaali::Print() {
    QPrinter& printer = host_.Services().Printer();
    QPrintDialog dialog(&printer, this);
    bool selection = text_->textCursor().hasSelection();
    dialog.setOption(QAbstractPrintDialog::PrintSelection, selection);
    if (selection) dialog.setPrintRange(QAbstractPrintDialog::Selection);
    if (dialog.exec() != QDialog::Accepted) return;
    printer.setDocName(windowTitle());
    if (selection && dialog.printRange() == QAbstractPrintDialog::Selection) {
        QTextDocument part;
        part.setDefaultFont(text_->font());
        part.setPlainText(text_->textCursor().selection().toPlainText());
        part.print(&printer);
    } else {
        text_->document()->print(&printer);
    }
}

// ---- log ----

void Tterminaali::LogFileCommand() {
    if (display_->LogOn()) {
        display_->StopLog();
        return;
    }
    QString path;
    if (logFileChooser) {
        path = logFileChooser();
    } else {
        QString start = QString::fromStdString(platform::ProgramDir()) + "/logifile.txt";
        path =
            QFileDialog::getSaveFileName(this, "Save file", start, "Text file (*.txt);;All (*.*)");
        if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty()) path += ".txt";
    }
    if (path.isEmpty()) {
        logAction_->setChecked(false);
        return;
    }
    StartLog(path);
}

bool Tterminaali::StartLog(const QString& path) { return display_->StartLog(path.toStdString()); }

void Tterminaali::ShowLogIndicator(bool on, uint64_t total) {
    logAction_->setChecked(on);
    logIndicator_->setVisible(on);
    if (on) {
        logIndicator_->setText(QString("Log file write in progress\n%1 Bytes\n \n ").arg(total));
        logIndicator_->adjustSize();
    }
}

// ---- port ----

void Tterminaali::SetGrey(bool grey) {
    grey_ = grey;
    QPalette pal = text_->palette();
    pal.setColor(QPalette::Base, grey ? kGrey : palette().color(QPalette::Base));
    text_->setPalette(pal);
}

bool Tterminaali::ClosePortVisible() const { return Action("ClosePort")->isVisible(); }

void Tterminaali::ClosePortCommand() { core_->ClosePort(PortChange::User); }

void Tterminaali::OpenPortCommand() { core_->OpenPort(PortChange::User); }

// Grey while the port is held closed; "Open port" offered while only the user can open it.
void Tterminaali::PortChanged() {
    SetGrey(!core_->Port().IsOpen());
    const bool userClosed = core_->UserClosed();
    Action("ClosePort")->setVisible(!userClosed);
    Action("OpenPort")->setVisible(userClosed);
}

int Tterminaali::PortIndex() const { return static_cast<int>(core_->Port().Portin_nro()); }

bool Tterminaali::Mirroring() const { return core_->Options().mirror; }

void Tterminaali::MirrorCharacter(uint8_t ch) {
    QPointer<Tterminaali> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, ch] {
            if (self) self->TypedCharacter(ch, true);
        },
        Qt::QueuedConnection);
}

void Tterminaali::MirrorBytes(const std::vector<uint8_t>& bytes) { SendBlock(bytes, true); }

void Tterminaali::ClosePortFor(shell::PortHandOver why) {
    core_->ClosePort(why == shell::PortHandOver::Suspend ? PortChange::Suspended
                                                         : PortChange::Released);
}

void Tterminaali::ReopenPortAfter(shell::PortHandOver why) {
    core_->OpenPort(why == shell::PortHandOver::Suspend ? PortChange::Resumed
                                                        : PortChange::Reacquired);
}

bool Tterminaali::ClosedByShell() const { return core_->ClosedBy() == PortClosedBy::Shell; }

void Tterminaali::BringToFront() {
    auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget());
    if (sub == nullptr) {
        raise();
        return;
    }
    if (sub->isMinimized()) sub->showNormal();
    if (QMdiArea* area = sub->mdiArea()) area->setActiveSubWindow(sub);
}

// ---- other windows ----

// The transmit window of this terminal (at most one).
void Tterminaali::TransmitCommand() {
    if (transmit_) {
        transmit_->raise();
        transmit_->activateWindow();
        return;
    }
    if (!transmitTarget_) transmitTarget_ = std::make_unique<TerminalTransmitTarget>(*this);
    auto* window = new TLahetys(*transmitTarget_, host_.Services(), windowTitle(), this);
    transmit_ = window;
    QPoint own = parentWidget() ? parentWidget()->pos() : pos();
    window->move(host_.MainOrigin() + own + QPoint(8, 80));
    window->onTransmitWindowClosed = [this] {
        core_->transmitWindowOpen = false;
        if (QAction* a = Action("Transmit")) a->setEnabled(true);
        if (QAction* a = Action("PopupTransmit")) a->setEnabled(true);
    };
    core_->onTransmitMessage = [this](TransmitMessage m) {
        if (transmit_) transmit_->Notice(m);
    };
    focused_ = false;
    core_->transmitWindowOpen = true;
    if (QAction* a = Action("Transmit")) a->setEnabled(false);
    if (QAction* a = Action("PopupTransmit")) a->setEnabled(false);
    window->show();
}

// The script texts dialog (host_.Instances().scriptSetup).
void Tterminaali::ScriptSetupCommand() {
    TScriptSetup* scripts = host_.Instances().scriptSetup;
    if (!scripts) return host_.NotAvailable();
    scripts->show();
    scripts->raise();
    scripts->activateWindow();
}

// The multi flash dialog, brought to the front or created centred on the main window.
void Tterminaali::MultiFlashCommand() {
    host_.Services().OpenMultiFlash(shell::MultiFlashKind::MultiFlash);
}

// The TX test window, brought to the front or created centred on the main window.
void Tterminaali::RadioTestCommand() {
    auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget());
    QMdiArea* area = sub ? sub->mdiArea() : nullptr;
    if (!area) {
        (new Ttxtestfrm(host_.Services()))->show();
        return;
    }
    for (QMdiSubWindow* other : area->subWindowList()) {
        if (qobject_cast<Ttxtestfrm*>(other->widget())) {
            if (other->isMinimized()) other->showNormal();
            area->setActiveSubWindow(other);
            return;
        }
    }
    auto* window = new Ttxtestfrm(host_.Services());
    QMdiSubWindow* frame = area->addSubWindow(window);
    frame->setAttribute(Qt::WA_DeleteOnClose);
    frame->adjustSize();
    frame->move(area->width() / 2 - frame->width() / 2, area->height() / 2 - frame->height() / 2);
    frame->show();
}

// SendScript(n, this) of the script texts dialog.
void Tterminaali::ScriptKey(int n) {
    if (TScriptSetup* scripts = host_.Instances().scriptSetup) scripts->SendScript(n, this);
}

void Tterminaali::DeviceLost() {
    int n = static_cast<int>(core_->Port().Portin_nro()) + 1;
    platform::DefaultPrompter().Message("COM" + std::to_string(n) +
                                        ": the device has gone (unplugged or hung up). The port "
                                        "is closed; \"Open port\" opens it again.");
}

// ---- lifecycle ----

void Tterminaali::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shown_) return;
    shown_ = true;
    QTimer::singleShot(0, this, [this] { Settings(true); });
}

void Tterminaali::closeEvent(QCloseEvent* event) {
    if (!closed_) Shutdown();
    event->accept();
}

void Tterminaali::Shutdown() {
    closed_ = true;
    // The transmit window saves its text and settings as it closes.
    if (transmit_) transmit_->close();
    core_->ClosePort();
    host_.PortSettingsDialog().Setup().Release(*core_);
    // Back to the normal caption, so the Window menu entry is found by it.
    if (core_->ProgrammingMode()) {
        core_->LeaveProgrammingMode();
        UpdateCaption(false);
    }
    host_.UnregisterTerminal(this, registeredCaption_);
    host_.TerminalClosed(this);
    display_->StopLog();
}

}  // namespace kelmor::terminal
