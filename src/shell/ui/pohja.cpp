#include "shell/ui/pohja.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPageSetupDialog>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QWidget>

#ifdef KELMOR_HAVE_DBUS
#include <QDBusConnection>
#endif

#include "designer/ui/piirtopohja.h"
#include "modemcfg/definitiontool.h"
#include "platform/inifile.h"
#include "platform/programdir.h"
#include "platform/prompter.h"
#include "shell/ui/singleinstances.h"
#include "flash/ui/multiflash.h"
#include "flash/ui/singleflash.h"
#include "terminal/ui/portinasetus.h"
#include "terminal/ui/rxtxsaat.h"
#include "terminal/ui/scriptsetup.h"
#include "terminal/ui/terminaali.h"

namespace kelmor::shell {

using terminal::Tterminaali;

namespace {
// The "&Window" menu's own entries: Cascade, Tile, separator, Redraw, separator.
constexpr int kFixedWindowEntries = 5;

QString ShortHint(const QString& hint) {
    int bar = hint.indexOf('|');
    return bar >= 0 ? hint.left(bar) : hint;
}

void SplitHint(QAction* action, const QString& hint) {
    int bar = hint.indexOf('|');
    action->setToolTip(ShortHint(hint));
    action->setStatusTip(bar >= 0 ? hint.mid(bar + 1) : hint);
}
}  // namespace

TPohjafrm::TPohjafrm(std::vector<std::string> arguments, QWidget* parent)
    : QMainWindow(parent),
      arguments_(std::move(arguments)),
      buttonStates_([this] { RefreshButtons(); }) {
    setObjectName("Pohjafrm");
    setWindowTitle(kMainCaption);
    setWindowIcon(QIcon(":/icons/kelmor.svg"));
    mdi_ = new QMdiArea(this);
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mdi_);
    mdi_->viewport()->installEventFilter(this);
    connect(mdi_, &QMdiArea::subWindowActivated, this, &TPohjafrm::SubWindowActivated);
    // The single-panel status bar shows the long hints (Qt status tips).
    statusBar()->setSizeGripEnabled(true);
    BuildMenus();
    BuildToolBar();
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState s) {
        if (Tterminaali* t = ActiveTerminal()) t->SetFocused(s == Qt::ApplicationActive);
        if (s == Qt::ApplicationActive) ApplicationActivated();
    });
    registry_.onEntriesChanged = [this] { RebuildWindowEntries(); };
    FormCreate();
    ConnectPowerEvents();
    // The application-wide windows, in their order, after the main window.
    CreateSingleInstances(*this, instances_);
}

TPohjafrm::~TPohjafrm() {
    closing_ = true;
    // Terminals still talk to the main window while they close.
    for (QMdiSubWindow* sub : mdi_->subWindowList()) delete sub;
    registry_.onEntriesChanged = nullptr;
}

QAction* TPohjafrm::AddEntry(QMenu* menu, const QString& name, const QString& caption,
                             const QString& hint, void (TPohjafrm::*command)()) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    SplitHint(action, hint);
    if (command) connect(action, &QAction::triggered, this, command);
    entries_[name] = action;
    return action;
}

void TPohjafrm::BuildMenus() {
    modeMenu_ = menuBar()->addMenu("&Mode");
    modeMenu_->menuAction()->setStatusTip("Select function.");
    AddEntry(modeMenu_, "OpenTerminal", "&Open terminal", "Open new terminal window.",
             &TPohjafrm::OpenTerminalCommand);
    AddEntry(modeMenu_, "SingleModemSetup", "&Single modem setup",
             "Single Setup|Setup properties for single modem.", &TPohjafrm::SingleModemCommand);
    AddEntry(modeMenu_, "RoutingSetup", "&Routing setup", "Designing routes and setting up modems.",
             &TPohjafrm::RoutingSetupCommand);
    AddEntry(modeMenu_, "FlashUpdate", "&Flash update", "Flash new software to the modem.",
             &TPohjafrm::FlashUpdateCommand);
    AddEntry(modeMenu_, "MultiFlash", "&MultiFlash", "Flashing multiply modems.",
             &TPohjafrm::MultiFlash1Command);
    AddEntry(modeMenu_, "MultiFlash2", "M&ultiFlash 2", "Flashing multiply modems 2.",
             &TPohjafrm::MultiFlash2Command);
    AddEntry(modeMenu_, "MakeSmf", "Make smf", "Muodostaa excel tiedostosta smf tiedoston.",
             &TPohjafrm::MakeSmfCommand)
        ->setVisible(false);
    AddEntry(modeMenu_, "LoaderToHex", "Loader to hex", "Muunna loader.bin Hex txt tiedostoksi.",
             &TPohjafrm::LoaderToHexCommand)
        ->setVisible(false);
    modeMenu_->addSeparator();
    AddEntry(modeMenu_, "Exit", "E&xit", "Exit program.", &TPohjafrm::ExitCommand);
    connect(modeMenu_, &QMenu::aboutToShow, this, [this] {
        for (const char* name : {"MultiFlash", "MultiFlash2"}) {
            entries_[name]->setVisible(factoryMode_);
            entries_[name]->setEnabled(factoryMode_);
        }
    });

    windowMenu_ = menuBar()->addMenu("&Window");
    windowMenu_->menuAction()->setStatusTip("Rearrange windows");
    AddEntry(windowMenu_, "Cascade", "&Cascade", "Cascade windows.", &TPohjafrm::CascadeCommand);
    AddEntry(windowMenu_, "Tile", "&Tile", "Tile windows.", &TPohjafrm::TileCommand);
    windowMenu_->addSeparator();
    AddEntry(windowMenu_, "Redraw", "&Redraw", "Redraw graph window", &TPohjafrm::RedrawCommand);
    windowMenu_->addSeparator();

    helpMenu_ = menuBar()->addMenu("&Help");
    helpMenu_->menuAction()->setStatusTip("Access informaion.");
    AddEntry(helpMenu_, "About", "&About..", "Information about program.",
             &TPohjafrm::AboutCommand);
}

QAction* TPohjafrm::AddButton(const QString& name, const QString& icon, const QString& hint,
                              void (TPohjafrm::*command)()) {
    // The button's text is its short hint, which screen readers read as its name.
    QAction* action = toolBar_->addAction(QIcon(":/icons/" + icon + ".svg"), ShortHint(hint));
    action->setObjectName(name);
    SplitHint(action, hint);
    if (QWidget* button = toolBar_->widgetForAction(action)) {
        button->setObjectName(name);
        button->setAccessibleName(ShortHint(hint));
    }
    connect(action, &QAction::triggered, this, command);
    buttons_[name] = action;
    return action;
}

void TPohjafrm::BuildToolBar() {
    toolBar_ = addToolBar("Tools");
    toolBar_->setObjectName("ToolBar");
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->setFixedHeight(30);
    toolBar_->setIconSize(QSize(22, 22));
    toolBar_->installEventFilter(this);
    AddButton("OpenBtn", "open", "New Terminal|Open new terminal port.",
              &TPohjafrm::OpenTerminalCommand);
    AddButton("SetupBtn", "setup", "Setup|Change terminal window com port settings",
              &TPohjafrm::SetupCommand)
        ->setEnabled(false);
    AddButton("ProgramBtn", "program",
              "Toggle between Programing and Normal mode|Toggle between Programing and Normal "
              "mode settings.",
              &TPohjafrm::ProgramCommand)
        ->setEnabled(false);
    AddButton("DrawingBtn", "drawing", "Routing setup|Design routes and set up the modems.",
              &TPohjafrm::RoutingSetupCommand);
    AddButton("SingleModemBtn", "singlemodem",
              "Single modem setup|Setup properties for single modem.",
              &TPohjafrm::SingleModemCommand);
    AddButton("FlashBtn", "flash", "Flash update|Update Flash to modem.",
              &TPohjafrm::FlashUpdateCommand);
    AddButton("FlashmBtn", "flashm", "Multi Flash|Flashing multiply modems.",
              &TPohjafrm::MultiFlash1Command)
        ->setVisible(false);
    AddButton("Flashm2Btn", "flashm2", "Multi Flash 2|Flashing multiply modems 2.",
              &TPohjafrm::MultiFlash2Command)
        ->setVisible(false);
    AddButton("CopyBtn", "copy", "Copy|Copy selected text to clipboard.", &TPohjafrm::CopyCommand);
    AddButton("PasteBtn", "paste", "Paste|Paste contents of the clipboard to current insert point.",
              &TPohjafrm::PasteCommand);
    AddButton("PrintBtn", "print", "Print|Print contents of the current window",
              &TPohjafrm::PrintCommand);
    AddButton("SpeedButton1", "printersetup", "Printer setup|Change the printer settings.",
              &TPohjafrm::PrinterSetup);
    AddButton("TietojaBtn", "about", "Information about the program.", &TPohjafrm::AboutCommand);
    auto* spacer = new QWidget(toolBar_);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolBar_->addWidget(spacer);
    factoryLabel_ = new QLabel("Tehdasversio", toolBar_);
    factoryLabel_->setObjectName("Tehdasversio");
    QFont bold = factoryLabel_->font();
    bold.setBold(true);
    bold.setPixelSize(16);
    factoryLabel_->setFont(bold);
    factoryLabel_->setStyleSheet("color: #ff0000;");
    factoryLabel_->setContentsMargins(0, 4, 8, 0);
    toolBar_->addWidget(factoryLabel_)->setVisible(false);
    RefreshButtons();
}

void TPohjafrm::RefreshButtons() {
    for (int i = 0; i < kToolButtonCount; ++i) {
        auto b = static_cast<ToolButton>(i);
        if (QAction* a = Button(b)) a->setEnabled(buttonStates_.Enabled(b));
    }
}

std::unique_ptr<ToolButtonLock> TPohjafrm::LockToolButtons(std::vector<ToolButton> buttons) {
    return buttonStates_.Lock(std::move(buttons));
}

StatusLog& TPohjafrm::Status() {
    return instances_.status ? *instances_.status : static_cast<StatusLog&>(noStatus_);
}

platform::Prompter& TPohjafrm::Prompter() { return platform::DefaultPrompter(); }

QAction* TPohjafrm::Button(const QString& name) const {
    auto it = buttons_.find(name);
    return it == buttons_.end() ? nullptr : it->second;
}

QAction* TPohjafrm::MenuEntry(const QString& name) const {
    auto it = entries_.find(name);
    return it == entries_.end() ? nullptr : it->second;
}

// ---- creation, command line, closing ----

void TPohjafrm::FormCreate() {
    platform::IniFile ini(platform::SettingsPath());
    StartPosition p = ReadStartPosition(ini);
    if (p.windowState == 2) {
        setWindowState(Qt::WindowMaximized);
    } else {
        move(p.left, p.top);
        resize(std::max(p.width, 1), std::max(p.height, 1));
        if (p.windowState == 1) setWindowState(Qt::WindowMinimized);
    }
    loaderPath_ = ReadLoaderPath(ini);
    ApplyCommandLine();
}

void TPohjafrm::ApplyCommandLine() {
    if (arguments_.empty()) return;
    CommandLine c = ParseCommandLine(arguments_);
    factoryMode_ = c.factoryMode;
    buttons_["FlashmBtn"]->setVisible(factoryMode_);
    buttons_["Flashm2Btn"]->setVisible(factoryMode_);
    entries_["MakeSmf"]->setVisible(factoryMode_);
    entries_["LoaderToHex"]->setVisible(factoryMode_);
    for (QAction* a : toolBar_->actions())
        if (toolBar_->widgetForAction(a) == factoryLabel_) a->setVisible(factoryMode_);
    if (c.remoteFlash)
        QMetaObject::invokeMethod(
            this, [this] { RemoteFlash(); }, Qt::QueuedConnection);
    dsrOption_ = c.dsrOption;
}

void TPohjafrm::RemoteFlash() {
    RemoteFlashRequest request;
    if (!RemoteFlashArguments(ParseCommandLine(arguments_), request)) {
        platform::DefaultPrompter().Message(
            "Remote flash needs four arguments after the code: port, port set, update mode and "
            "firmware file.");
        return;
    }
    RemoteFlashCommand(request);
}

bool TPohjafrm::SaveSettings() {
    platform::IniFile ini(platform::SettingsPath());
    StartPosition p;
    Qt::WindowStates s = windowState();
    p.windowState = s & Qt::WindowMaximized ? 2 : (s & Qt::WindowMinimized ? 1 : 0);
    p.left = x();
    p.top = y();
    p.width = width();
    p.height = height();
    return SaveStartPosition(ini, p, loaderPath_, platform::DefaultPrompter());
}

void TPohjafrm::closeEvent(QCloseEvent* event) {
    if (!closing_) {
        // A child that refuses to close (a flash run going on, a designer whose save question
        // was cancelled) keeps the program open: ending it would abort the run or lose the work.
        mdi_->closeAllSubWindows();
        for (QMdiSubWindow* sub : mdi_->subWindowList()) {
            if (sub->isVisible()) {
                event->ignore();
                return;
            }
        }
        closing_ = true;
        SaveSettings();
        // The script texts are saved at the end when their window is open.
        if (instances_.scriptSetup) instances_.scriptSetup->ProgramEnding();
    }
    event->accept();
}

void TPohjafrm::RequestExit() {
    QMetaObject::invokeMethod(
        this, [this] { close(); }, Qt::QueuedConnection);
}

void TPohjafrm::ExitCommand() { close(); }

// ---- terminals ----

terminal::Tportinasetus& TPohjafrm::PortSettingsDialog() { return *instances_.portSettings; }

Tterminaali* TPohjafrm::OpenTerminalWindow() {
    auto* terminal = new Tterminaali(*this);
    QMdiSubWindow* sub = mdi_->addSubWindow(terminal);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->resize(550, 306);
    toolBar_->setVisible(true);
    registry_.TerminalOpened(terminal);
    sub->show();
    return terminal;
}

void TPohjafrm::RegisterTerminal(Tterminaali* terminal, const QString& caption) {
    registry_.RegisterTerminal(terminal, caption.toStdString());
}

void TPohjafrm::UnregisterTerminal(Tterminaali* terminal, const QString& /*caption*/) {
    registry_.UnregisterTerminal(terminal);
}

void TPohjafrm::RenameTerminal(const QString& oldCaption, const QString& newCaption) {
    registry_.RenameTerminal(oldCaption.toStdString(), newCaption.toStdString());
}

// The Window menu's terminal entries follow the registry, in its order.
void TPohjafrm::RebuildWindowEntries() {
    for (const QPointer<QAction>& a : terminalEntries_) {
        if (!a) continue;
        windowMenu_->removeAction(a);
        a->deleteLater();
    }
    terminalEntries_.clear();
    for (const TerminalRegistry::WindowEntry& e : registry_.Entries()) {
        const QString caption = QString::fromStdString(e.caption);
        QAction* entry = windowMenu_->addAction(caption);
        entry->setStatusTip("Open window " + caption);
        entry->setToolTip("Open window " + caption);
        ShellTerminal* target = e.terminal;
        connect(entry, &QAction::triggered, this, [this, target] {
            for (const auto& current : registry_.Entries())
                if (current.terminal == target) return target->BringToFront();
        });
        terminalEntries_.push_back(entry);
    }
}

void TPohjafrm::MirrorKey(Tterminaali* source, uint8_t ch) { registry_.MirrorKey(source, ch); }

void TPohjafrm::MirrorBlock(Tterminaali* source, const std::vector<uint8_t>& bytes) {
    registry_.MirrorBlock(source, bytes);
}

void TPohjafrm::ReleasePort(int portIndex) {
    registry_.ReleasePort(portIndex, static_cast<int>(mdi_->subWindowList().size()));
}

void TPohjafrm::ReacquirePort(int portIndex) {
    registry_.ReacquirePort(portIndex, static_cast<int>(mdi_->subWindowList().size()));
}

void TPohjafrm::PrepareForSleep(bool start) {
    if (start)
        SuspendPorts();
    else
        ResumePorts();
}

void TPohjafrm::ConnectPowerEvents() {
#ifdef KELMOR_HAVE_DBUS
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) return;
    bus.connect("org.freedesktop.login1", "/org/freedesktop/login1",
                "org.freedesktop.login1.Manager", "PrepareForSleep", this,
                SLOT(PrepareForSleep(bool)));
#endif
}

void TPohjafrm::TerminalClosed(Tterminaali* terminal) {
    registry_.TerminalClosed(terminal);
    if (activeTerminal_ == terminal) activeTerminal_ = nullptr;
    buttonStates_.TerminalClosed(registry_.TerminalCount());
}

Tterminaali* TPohjafrm::ActiveTerminal() const {
    QMdiSubWindow* sub = mdi_->activeSubWindow();
    return sub ? qobject_cast<Tterminaali*>(sub->widget()) : nullptr;
}

QWidget* TPohjafrm::ActiveOtherChild() const {
    QMdiSubWindow* sub = mdi_->activeSubWindow();
    if (sub == nullptr || qobject_cast<Tterminaali*>(sub->widget())) return nullptr;
    return sub->widget();
}

void TPohjafrm::SubWindowActivated(QMdiSubWindow* window) {
    if (closing_) return;
    Tterminaali* terminal = window ? qobject_cast<Tterminaali*>(window->widget()) : nullptr;
    if (activeTerminal_ && activeTerminal_ != terminal) activeTerminal_->SetFocused(false);
    activeTerminal_ = terminal;
    if (terminal) {
        terminal->SetFocused(true);
        buttonStates_.TerminalActivated();
    }
    UseMenusOf(terminal);
}

void TPohjafrm::UseMenusOf(Tterminaali* terminal) {
    for (const QPointer<QAction>& a : childMenuActions_)
        if (a) menuBar()->removeAction(a);
    childMenuActions_.clear();
    modeMenu_->menuAction()->setVisible(terminal == nullptr);
    if (terminal) {
        for (QMenu* menu : {terminal->ModeMenu(), terminal->EditMenu()}) {
            menuBar()->insertAction(windowMenu_->menuAction(), menu->menuAction());
            childMenuActions_.push_back(menu->menuAction());
        }
    }
}

// ---- commands ----

void TPohjafrm::MakeSmfCommand() {
    QString exportFile = QFileDialog::getOpenFileName(
        this, QString(), QString::fromStdString(platform::ProgramDir()), "text file (*.txt)");
    if (exportFile.isEmpty()) return;
    auto result = modemcfg::MakeSmf(exportFile.toStdString(), platform::ProgramDir());
    platform::DefaultPrompter().Message(result.ok ? result.message : result.error);
}

void TPohjafrm::LoaderToHexCommand() {
    QString start = loaderPath_ == kNoLoader ? QString::fromStdString(platform::ProgramDir())
                                             : QString::fromStdString(loaderPath_);
    QString loader = QFileDialog::getOpenFileName(this, QString(), start, "Loader file (*.bin)");
    if (loader.isEmpty()) return;
    loaderPath_ = loader.toStdString();
    std::string output, error;
    if (modemcfg::LoaderToHex(loaderPath_, output, error))
        platform::DefaultPrompter().Message(modemcfg::kLoaderDoneText);
    else
        platform::DefaultPrompter().Message(error);
}

void TPohjafrm::NotAvailable() { platform::DefaultPrompter().Message(kNotAvailable); }

// ---- commands of windows still to come: one function each ----

// Brought to the front, or created (routing mode maximised).
void TPohjafrm::OpenDesigner(bool singleMode) {
    if (designer_) {
        if (auto* sub = qobject_cast<QMdiSubWindow*>(designer_->parentWidget())) {
            mdi_->setActiveSubWindow(sub);
        }
        return;
    }
    designer_ = new designer::ui::Tpiirtopohja(*this, singleMode);
    QMdiSubWindow* sub = mdi_->addSubWindow(designer_);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    if (singleMode) {
        sub->show();
    } else {
        sub->showMaximized();
    }
}

// The designer in routing mode ("&Routing setup" of either menu, DrawingBtn).
void TPohjafrm::RoutingSetupCommand() { OpenDesigner(false); }

// The designer in single-modem mode ("&Single modem setup" of either menu, SingleModemBtn).
void TPohjafrm::SingleModemCommand() { OpenDesigner(true); }

namespace {

// A flash dialog's sub-window centred in the main window (halves rounded toward zero), then
// moved up by the tool bar's height when it would sit lower than that.
void CentreFlashWindow(QMdiSubWindow* sub, int mainWidth, int mainHeight, int toolBarHeight,
                       int offset) {
    QSize size = sub->sizeHint();
    sub->resize(size);
    int left = mainWidth / 2 - size.width() / 2 + offset;
    int top = mainHeight / 2 - size.height() / 2 + offset;
    if (top > toolBarHeight) top -= toolBarHeight;
    sub->move(std::max(left, 0), std::max(top, 0));
}

void BringToFront(QWidget* dialog) {
    if (auto* sub = qobject_cast<QMdiSubWindow*>(dialog->parentWidget())) {
        sub->showNormal();
        sub->mdiArea()->setActiveSubWindow(sub);
    }
}

}  // namespace

flash::ui::TCSingleFlashDlg* TPohjafrm::SingleFlashWindow() const { return singleFlash_.data(); }

flash::ui::TCMultiFlashDlg* TPohjafrm::MultiFlashWindow(MultiFlashKind kind) const {
    return multiFlash_[kind == MultiFlashKind::MultiFlash2 ? 1 : 0].data();
}

// The single flash dialog: brought to the front, or created and centred.
void TPohjafrm::FlashUpdateCommand() {
    if (singleFlash_) return BringToFront(singleFlash_);
    singleFlash_ = new flash::ui::TCSingleFlashDlg(*this);
    QMdiSubWindow* sub = mdi_->addSubWindow(singleFlash_, Qt::Dialog);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    CentreFlashWindow(sub, width(), frameGeometry().height(), toolBar_->height(), 0);
    sub->show();
}

// The multi flash dialog of a kind: brought to the front, or created and centred.
void TPohjafrm::MultiFlashCommand(MultiFlashKind kind) {
    QPointer<flash::ui::TCMultiFlashDlg>& dialog =
        multiFlash_[kind == MultiFlashKind::MultiFlash2 ? 1 : 0];
    if (dialog) return BringToFront(dialog);
    dialog = new flash::ui::TCMultiFlashDlg(*this, kind);
    QMdiSubWindow* sub = mdi_->addSubWindow(dialog, Qt::Dialog);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    CentreFlashWindow(sub, width(), height(), toolBar_->height(),
                      kind == MultiFlashKind::MultiFlash2 ? 16 : 0);
    sub->show();
}

// A start with the remote-flash code: the MultiFlash command, then the dialog's remote start.
// The program ends when the dialog says the run is over, with its exit code.
void TPohjafrm::RemoteFlashCommand(const RemoteFlashRequest& request) {
    MultiFlashCommand(MultiFlashKind::MultiFlash);
    flash::ui::TCMultiFlashDlg* dialog = multiFlash_[0];
    if (!dialog) return;
    connect(dialog, &flash::ui::TCMultiFlashDlg::remoteFinished, this, [this](int code) {
        exitCode_ = code;
        close();
    });
    dialog->RemoteStart(request.portSelection, request.portSet,
                        QString::fromStdString(request.firmwareFile), request.updateMode);
}

// "&Redraw": the active designer redraws its drawing.
void TPohjafrm::RedrawCommand() {
    if (designer_) designer_->FullRedraw();
}

// Copy and Paste with the designer active: its node pop-up menu's "&Copy".
void TPohjafrm::DesignerCopyCommand() {
    if (!designer_ || ActiveOtherChild() != designer_) return;
    designer_->UpdateMenus();
    if (QAction* copy = designer_->Action("Copy1"); copy && designer_->Net().activeNode) {
        copy->trigger();
    }
}

// Print with the designer active: its graph print command.
void TPohjafrm::DesignerPrintCommand() {
    if (designer_ && ActiveOtherChild() == designer_) designer_->PrintGraph();
}

// Shift+Ctrl+click on the tool bar: the buffer settings dialog (Instances().bufferSettings)
// for the active terminal's port.
void TPohjafrm::BufferSettingsCommand(Tterminaali* terminal) {
    terminal::Tpuskuriensaato* dialog = instances_.bufferSettings;
    if (!dialog || !terminal) return NotAvailable();
    dialog->Serve(&terminal->Port());
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

// The application became active: the active designer is told so.
void TPohjafrm::ApplicationActivated() {
    if (designer_) designer_->FullRedraw();
}

// ---- commands ----

void TPohjafrm::SetupCommand() {
    if (Tterminaali* t = ActiveTerminal()) t->Settings();
}

void TPohjafrm::ProgramCommand() {
    if (Tterminaali* t = ActiveTerminal()) t->ToggleProgrammingMode();
}

void TPohjafrm::CopyCommand() {
    if (mdi_->subWindowList().isEmpty()) return;
    const bool openEnabled = buttons_["OpenBtn"]->isEnabled();
    if (Tterminaali* t = ActiveTerminal(); t && openEnabled)
        t->Copy();
    else if (!openEnabled && ActiveOtherChild())
        DesignerCopyCommand();
}

void TPohjafrm::PasteCommand() {
    if (mdi_->subWindowList().isEmpty()) return;
    const bool openEnabled = buttons_["OpenBtn"]->isEnabled();
    if (Tterminaali* t = ActiveTerminal(); t && openEnabled)
        t->Paste();
    else if (!openEnabled && ActiveOtherChild())
        DesignerCopyCommand();
}

void TPohjafrm::PrintCommand() {
    if (Tterminaali* t = ActiveTerminal())
        t->Print();
    else if (ActiveOtherChild())
        DesignerPrintCommand();
}

void TPohjafrm::PrinterSetup() {
    QPageSetupDialog dialog(&printer_, this);
    dialog.exec();
}

void TPohjafrm::AboutCommand() {
    QDialog* about = instances_.about;
    if (about == nullptr) return;
    about->adjustSize();
    about->move(x() + width() / 2 - about->width() / 2, y() + height() / 2 - about->height() / 2);
    about->exec();
}

void TPohjafrm::CascadeCommand() { mdi_->cascadeSubWindows(); }

void TPohjafrm::TileCommand() { mdi_->tileSubWindows(); }

QMenu* TPohjafrm::ClientPopup() {
    if (clientPopup_ == nullptr) clientPopup_ = new QMenu(this);
    clientPopup_->clear();
    auto add = [this](const QString& caption, void (TPohjafrm::*command)()) {
        connect(clientPopup_->addAction(caption), &QAction::triggered, this, command);
    };
    QList<QMdiSubWindow*> children = mdi_->subWindowList(QMdiArea::CreationOrder);
    if (children.isEmpty()) {
        add("&Open terminal", &TPohjafrm::OpenTerminalCommand);
        add("&Routing setup", &TPohjafrm::RoutingSetupCommand);
        add("&Single modem setup", &TPohjafrm::SingleModemCommand);
        add("&Flash update", &TPohjafrm::FlashUpdateCommand);
        if (factoryMode_) {
            add("&MultiFlash", &TPohjafrm::MultiFlash1Command);
            add("MultiFlash 2", &TPohjafrm::MultiFlash2Command);
        }
        return clientPopup_;
    }
    if (qobject_cast<Tterminaali*>(children.first()->widget())) {
        add("&Open terminal", &TPohjafrm::OpenTerminalCommand);
        return clientPopup_;
    }
    return nullptr;
}

bool TPohjafrm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == mdi_->viewport() && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            if (QMenu* menu = ClientPopup()) menu->popup(mouse->globalPosition().toPoint());
        }
    } else if (watched == toolBar_ && event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        Qt::KeyboardModifiers both = Qt::ShiftModifier | Qt::ControlModifier;
        if (mouse->button() == Qt::LeftButton && (mouse->modifiers() & both) == both &&
            ActiveTerminal()) {
            BufferSettingsCommand(ActiveTerminal());
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace kelmor::shell
