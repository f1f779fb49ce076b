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

#include "modemcfg/definitiontool.h"
#include "platform/inifile.h"
#include "platform/programdir.h"
#include "platform/prompter.h"
#include "shell/ui/about.h"
#include "terminal/ui/portinasetus.h"
#include "terminal/ui/terminaali.h"

namespace kelmor::shell {

using terminal::Tterminaali;

namespace {
// The "&Window" menu's own entries: Cascade, Tile, separator, Redraw, separator.
constexpr int kFixedWindowEntries = 5;
constexpr int kResumeDelayMs = 800;

void SplitHint(QAction* action, const QString& hint) {
    int bar = hint.indexOf('|');
    action->setToolTip(bar >= 0 ? hint.left(bar) : hint);
    action->setStatusTip(bar >= 0 ? hint.mid(bar + 1) : hint);
}
}  // namespace

TPohjafrm::TPohjafrm(std::vector<std::string> arguments, QWidget* parent)
    : QMainWindow(parent), arguments_(std::move(arguments)) {
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
    });
    FormCreate();
    ConnectPowerEvents();
}

TPohjafrm::~TPohjafrm() {
    closing_ = true;
    // Terminals still talk to the main window while they close.
    for (QMdiSubWindow* sub : mdi_->subWindowList()) delete sub;
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
             "Single Setup|Setup properties for single modem.", &TPohjafrm::NotAvailable);
    AddEntry(modeMenu_, "RoutingSetup", "&Routing setup", "Designing routes and setting up modems.",
             &TPohjafrm::NotAvailable);
    AddEntry(modeMenu_, "FlashUpdate", "&Flash update", "Flash new software to the modem.",
             &TPohjafrm::NotAvailable);
    AddEntry(modeMenu_, "MultiFlash", "&MultiFlash", "Flashing multiply modems.",
             &TPohjafrm::NotAvailable);
    AddEntry(modeMenu_, "MultiFlash2", "M&ultiFlash 2", "Flashing multiply modems 2.",
             &TPohjafrm::NotAvailable);
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
    // Redraws the designer's drawing; there is none to redraw in this build.
    AddEntry(windowMenu_, "Redraw", "&Redraw", "Redraw graph window", nullptr);
    windowMenu_->addSeparator();

    helpMenu_ = menuBar()->addMenu("&Help");
    helpMenu_->menuAction()->setStatusTip("Access informaion.");
    AddEntry(helpMenu_, "About", "&About..", "Information about program.",
             &TPohjafrm::AboutCommand);
}

QAction* TPohjafrm::AddButton(const QString& name, const QString& icon, const QString& hint,
                              void (TPohjafrm::*command)()) {
    QAction* action = toolBar_->addAction(QIcon(":/icons/" + icon + ".svg"), name);
    action->setObjectName(name);
    SplitHint(action, hint);
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
              &TPohjafrm::NotAvailable);
    AddButton("SingleModemBtn", "singlemodem",
              "Single modem setup|Setup properties for single modem.", &TPohjafrm::NotAvailable);
    AddButton("FlashBtn", "flash", "Flash update|Update Flash to modem.", &TPohjafrm::NotAvailable);
    AddButton("FlashmBtn", "flashm", "Multi Flash|Flashing multiply modems.",
              &TPohjafrm::NotAvailable)
        ->setVisible(false);
    AddButton("Flashm2Btn", "flashm2", "Multi Flash 2|Flashing multiply modems 2.",
              &TPohjafrm::NotAvailable)
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
}

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
    NotAvailable();
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
        closing_ = true;
        SaveSettings();
        mdi_->closeAllSubWindows();
    }
    event->accept();
}

void TPohjafrm::RequestExit() {
    QMetaObject::invokeMethod(
        this, [this] { close(); }, Qt::QueuedConnection);
}

void TPohjafrm::ExitCommand() { close(); }

// ---- terminals ----

terminal::Tportinasetus& TPohjafrm::PortSettingsDialog() {
    if (portSettings_ == nullptr) {
        ownPortSettings_ = std::make_unique<terminal::Tportinasetus>(this);
        portSettings_ = ownPortSettings_.get();
    }
    return *portSettings_;
}

Tterminaali* TPohjafrm::OpenTerminalWindow() {
    auto* terminal = new Tterminaali(*this);
    QMdiSubWindow* sub = mdi_->addSubWindow(terminal);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->resize(550, 306);
    toolBar_->setVisible(true);
    ++terminalCount_;
    sub->show();
    return terminal;
}

void TPohjafrm::RegisterTerminal(Tterminaali* terminal, const QString& caption) {
    QAction* entry = windowMenu_->addAction(caption);
    entry->setStatusTip("Open window " + caption);
    entry->setToolTip("Open window " + caption);
    entry->setData(QVariant::fromValue(static_cast<QObject*>(terminal)));
    QPointer<Tterminaali> target(terminal);
    connect(entry, &QAction::triggered, this, [this, target] {
        if (!target) return;
        if (auto* sub = qobject_cast<QMdiSubWindow*>(target->parentWidget())) {
            if (sub->isMinimized()) sub->showNormal();
            mdi_->setActiveSubWindow(sub);
        }
    });
    for (auto& slot : terminals_) {
        if (!slot) {
            slot = terminal;
            break;
        }
    }
}

void TPohjafrm::UnregisterTerminal(Tterminaali* terminal, const QString& /*caption*/) {
    QList<QAction*> actions = windowMenu_->actions();
    for (int i = kFixedWindowEntries; i < actions.size(); ++i) {
        if (actions[i]->data().value<QObject*>() == terminal) {
            windowMenu_->removeAction(actions[i]);
            actions[i]->deleteLater();
            break;
        }
    }
    for (auto& slot : terminals_)
        if (slot == terminal) slot = nullptr;
}

void TPohjafrm::RenameTerminal(const QString& oldCaption, const QString& newCaption) {
    QList<QAction*> actions = windowMenu_->actions();
    for (int i = kFixedWindowEntries; i < actions.size(); ++i) {
        if (actions[i]->text() == oldCaption) {
            actions[i]->setText(newCaption);
            actions[i]->setStatusTip("Open window " + newCaption);
            actions[i]->setToolTip("Open window " + newCaption);
            return;
        }
    }
}

void TPohjafrm::MirrorKey(Tterminaali* source, uint8_t ch) {
    for (const auto& slot : terminals_) {
        if (!slot || slot == source || !slot->Core().Options().mirror) continue;
        QPointer<Tterminaali> target = slot;
        QMetaObject::invokeMethod(
            target,
            [target, ch] {
                if (target) target->TypedCharacter(ch, true);
            },
            Qt::QueuedConnection);
    }
}

void TPohjafrm::MirrorBlock(Tterminaali* source, const std::vector<uint8_t>& bytes) {
    for (const auto& slot : terminals_) {
        if (!slot || slot == source || !slot->Core().Options().mirror) continue;
        slot->SendBlock(bytes, true);
    }
}

void TPohjafrm::ReleasePort(int portIndex) {
    if (mdi_->subWindowList().size() < 2) return;
    for (QMdiSubWindow* sub : mdi_->subWindowList()) {
        auto* t = qobject_cast<Tterminaali*>(sub->widget());
        if (t && static_cast<int>(t->Port().Portin_nro()) == portIndex) t->PortReleased();
    }
}

void TPohjafrm::ReacquirePort(int portIndex) {
    if (mdi_->subWindowList().size() < 2) return;
    for (QMdiSubWindow* sub : mdi_->subWindowList()) {
        auto* t = qobject_cast<Tterminaali*>(sub->widget());
        if (t && static_cast<int>(t->Port().Portin_nro()) == portIndex && t->ClosePortVisible())
            t->PortReacquired();
    }
}

void TPohjafrm::SuspendPorts() {
    for (QMdiSubWindow* sub : mdi_->subWindowList())
        if (auto* t = qobject_cast<Tterminaali*>(sub->widget())) t->PortReleased();
}

void TPohjafrm::ResumePorts() {
    for (QMdiSubWindow* sub : mdi_->subWindowList()) {
        if (auto* t = qobject_cast<Tterminaali*>(sub->widget())) {
            // Adapters need a moment after resume before they accept an open.
            clock_->Sleep(kResumeDelayMs);
            t->PortReacquired();
        }
    }
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
    if (terminalCount_ > 0) --terminalCount_;
    if (activeTerminal_ == terminal) activeTerminal_ = nullptr;
    buttons_["SetupBtn"]->setEnabled(false);
    buttons_["ProgramBtn"]->setEnabled(false);
    buttons_["FlashmBtn"]->setEnabled(true);
    if (terminalCount_ == 0) {
        buttons_["DrawingBtn"]->setEnabled(true);
        buttons_["SingleModemBtn"]->setEnabled(true);
        buttons_["FlashBtn"]->setEnabled(true);
    }
}

Tterminaali* TPohjafrm::ActiveTerminal() const {
    QMdiSubWindow* sub = mdi_->activeSubWindow();
    return sub ? qobject_cast<Tterminaali*>(sub->widget()) : nullptr;
}

void TPohjafrm::SubWindowActivated(QMdiSubWindow* window) {
    if (closing_) return;
    Tterminaali* terminal = window ? qobject_cast<Tterminaali*>(window->widget()) : nullptr;
    if (activeTerminal_ && activeTerminal_ != terminal) activeTerminal_->SetFocused(false);
    activeTerminal_ = terminal;
    if (terminal) {
        terminal->SetFocused(true);
        buttons_["SetupBtn"]->setEnabled(true);
        buttons_["ProgramBtn"]->setEnabled(true);
        buttons_["DrawingBtn"]->setEnabled(false);
        buttons_["SingleModemBtn"]->setEnabled(false);
        buttons_["FlashBtn"]->setEnabled(false);
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

void TPohjafrm::SetupCommand() {
    if (Tterminaali* t = ActiveTerminal()) t->Settings();
}

void TPohjafrm::ProgramCommand() {
    if (Tterminaali* t = ActiveTerminal()) t->ToggleProgrammingMode();
}

void TPohjafrm::CopyCommand() {
    if (mdi_->subWindowList().isEmpty()) return;
    if (Tterminaali* t = ActiveTerminal(); t && buttons_["OpenBtn"]->isEnabled()) t->Copy();
}

void TPohjafrm::PasteCommand() {
    if (mdi_->subWindowList().isEmpty()) return;
    if (Tterminaali* t = ActiveTerminal(); t && buttons_["OpenBtn"]->isEnabled()) t->Paste();
}

void TPohjafrm::PrintCommand() {
    if (Tterminaali* t = ActiveTerminal()) t->Print();
}

void TPohjafrm::PrinterSetup() {
    QPageSetupDialog dialog(&printer_, this);
    dialog.exec();
}

void TPohjafrm::AboutCommand() {
    if (about_ == nullptr) about_ = new Taboutfrm(this);
    about_->adjustSize();
    about_->move(x() + width() / 2 - about_->width() / 2,
                 y() + height() / 2 - about_->height() / 2);
    about_->exec();
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
        add("&Routing setup", &TPohjafrm::NotAvailable);
        add("&Single modem setup", &TPohjafrm::NotAvailable);
        add("&Flash update", &TPohjafrm::NotAvailable);
        if (factoryMode_) {
            add("&MultiFlash", &TPohjafrm::NotAvailable);
            add("MultiFlash 2", &TPohjafrm::NotAvailable);
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
            // The buffer settings dialog of the active terminal.
            NotAvailable();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace kelmor::shell
