#include "designer/ui/piirtopohja.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFontMetrics>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QSvgRenderer>
#include <QTimer>
#include <QVBoxLayout>
#include <filesystem>

#include "designer/routes.h"
#include "designer/ui/designercanvas.h"
#include "designer/ui/prjominaisuus.h"
#include "modemcfg/definition.h"
#include "platform/ansi.h"
#include "platform/inifile.h"
#include "platform/programdir.h"

namespace kelmor::designer::ui {

namespace {

using shell::ToolButton;

QString Utf(const std::string& ansi) { return QString::fromStdString(platform::AnsiToUtf8(ansi)); }

void SetHint(QAction* action, const QString& hint) {
    const int bar = hint.indexOf('|');
    action->setToolTip(bar < 0 ? hint : hint.left(bar));
    action->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

QCursor MakeCursor(const char* resource) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer{QString::fromLatin1(resource)};
    {
        QPainter p(&pixmap);
        renderer.render(&p);
    }
    return QCursor(pixmap, 1, 1);
}

// "Project files|*.spf" → "Project files (*.spf)"
QString QtFilter(const std::string& filter) {
    QString f = QString::fromStdString(filter);
    const int bar = f.indexOf('|');
    return bar < 0 ? f : f.left(bar) + " (" + f.mid(bar + 1) + ")";
}

// The seven sub-menus that list the modem types, with the kind each creates.
struct TypeMenu {
    const char* name;
    Kind kind;
    bool mainMenu;
};
constexpr TypeMenu kTypeMenus[] = {
    {"Luouusi1", Kind::Plain, false},    {"Newmulti1", Kind::Multi, false},
    {"NewMobile2", Kind::Mobile, false}, {"Luouusi2", Kind::Plain, true},
    {"Newmulti2", Kind::Multi, true},    {"NewMobile1", Kind::Mobile, true},
};

}  // namespace

Tpiirtopohja::Tpiirtopohja(shell::ShellServices& shell, bool singleMode, QWidget* parent)
    : QWidget(parent),
      shell_(shell),
      typeInfo_(platform::ProgramDir(), shell.FactoryMode(), shell.Prompter()),
      net_(shell.Prompter(), &typeInfo_),
      editor_(net_, *this) {
    setObjectName(singleMode ? "SingleModemSetup" : "RoutingSetup");
    setAttribute(Qt::WA_DeleteOnClose);
    net_.singleModemMode = singleMode;
    net_.redraw = [this] { FullRedraw(); };
    setWindowTitle("Projekti:");
    QFont f("Courier New");
    f.setBold(true);
    f.setPixelSize(13);
    setFont(f);

    std::vector<ToolButton> locked{ToolButton::Open,        ToolButton::Drawing,
                                   ToolButton::SingleModem, ToolButton::Flash,
                                   ToolButton::MultiFlash,  ToolButton::MultiFlash2};
    if (singleMode) {
        locked.push_back(ToolButton::Copy);
        locked.push_back(ToolButton::Paste);
    }
    buttonLock_ = shell_.LockToolButtons(locked);

    menuBar_ = new QMenuBar(this);
    scroll_ = new QScrollArea(this);
    scroll_->setObjectName("ScrollBox");
    canvas_ = new DesignerCanvas(*this);
    scroll_->setWidget(canvas_);
    scroll_->setWidgetResizable(false);
    canvas_->resize(800, 600);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(menuBar_);
    layout->addWidget(scroll_);
    setFocusProxy(canvas_);

    editor_.scrollStep = std::max(style()->pixelMetric(QStyle::PM_ScrollBarExtent),
                                  style()->pixelMetric(QStyle::PM_ScrollBarSliderMin) / 2);

    exchange_ = MakeExchangeHooks(*this);
    printing_ = MakePrintHooks(*this);

    net_.properties.Create(net_);
    if (singleMode) net_.title = "Setup single modem : ";
    properties_ = new Tprj_ominaisuus(
        net_, [this] { FullRedraw(); }, this);

    portNumber_ = std::clamp(static_cast<int>(platform::IniFile(platform::SettingsPath())
                                                  .ReadInteger("Properties", "Port number", 1)),
                             1, 16);
    types_ = modemcfg::Catalogue(platform::ProgramDir(), !singleMode);
    BuildMenus();
    recent_.Read(platform::SettingsPath(), singleMode);
    RecentFilesMenu();
    UpdateTitle();
    UpdateMenus();
    resize(700, 500);
}

Tpiirtopohja::~Tpiirtopohja() {
    // Hooks may hold widgets of their own that refer to the network: they go first.
    exchange_.reset();
    printing_.reset();
}

QWidget* Tpiirtopohja::Canvas() const { return canvas_; }

void Tpiirtopohja::NotAvailable() { Prompter().Message(kNotAvailableText); }

QAction* Tpiirtopohja::Action(const QString& name) const {
    auto it = actions_.find(name);
    return it == actions_.end() ? nullptr : it->second;
}

QMenu* Tpiirtopohja::Menu(const QString& name) const {
    auto it = menus_.find(name);
    return it == menus_.end() ? nullptr : it->second;
}

QAction* Tpiirtopohja::AddItem(QMenu* menu, const char* name, const char* caption, const char* hint,
                               std::function<void()> action, const char* shortcut) {
    auto* a = menu->addAction(QString::fromLatin1(caption));
    a->setObjectName(name);
    if (hint) SetHint(a, QString::fromLatin1(hint));
    if (shortcut) {
        a->setShortcut(QKeySequence(QString::fromLatin1(shortcut)));
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(a);
    }
    if (action) connect(a, &QAction::triggered, this, [action] { action(); });
    actions_[name] = a;
    return a;
}

QMenu* Tpiirtopohja::AddMenu(QMenuBar* bar, QMenu* parent, const char* name, const char* caption,
                             const char* hint) {
    QMenu* m = bar      ? bar->addMenu(QString::fromLatin1(caption))
               : parent ? parent->addMenu(QString::fromLatin1(caption))
                        : new QMenu(QString::fromLatin1(caption), this);
    m->setObjectName(name);
    m->menuAction()->setObjectName(name);
    if (hint) SetHint(m->menuAction(), QString::fromLatin1(hint));
    m->setToolTipsVisible(true);
    connect(m, &QMenu::aboutToShow, this, &Tpiirtopohja::UpdateMenus);
    menus_[name] = m;
    actions_[name] = m->menuAction();
    return m;
}

void Tpiirtopohja::BuildMenus() {
    const bool single = SingleMode();
    auto active = [this] { return net_.activeNode; };

    // File
    QMenu* file = AddMenu(menuBar_, nullptr, "Tiedosto1", "&File", "Load Modem, Save Modem, Exit.");
    AddItem(file, "Uusi1", single ? "&New single" : "&New project...",
            single ? "Create new single setup modem"
                   : "Start new project and save changes done to existing project.",
            [this] { NewClick(); });
    AddItem(file, "Avaa1", single ? "&Open single" : "&Open project...",
            single ? "Open existing single modem setup file" : "Open existing project.",
            [this] { OpenClick(); });
    AddItem(
        file, "Tallenna1", single ? "&Save single" : "&Save project",
        single ? "Save current single modem setup file" : "Save project with same name.",
        [this] { SaveClick(); }, "Ctrl+S");
    AddItem(file, "Tallennanimell1", single ? "S&ave single as..." : "Sa&ve project as...",
            single ? "Save current single modem setup file as given filename"
                   : "Save project with new name.",
            [this] { SaveAsClick(); });
    AddItem(file, "Sulje1", single ? "&Close single" : "&Close project",
            single ? "Close single form" : "Close this project.", [this] {
                if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) {
                    sub->close();
                } else {
                    close();
                }
            });
    file->addSeparator();
    AddItem(file, "PropTable1", "Property &table",
            "Show properties of all modems in same string grid.",
            [this] { printing_->PropertyTable(); });
    file->addSeparator();
    QMenu* print = AddMenu(nullptr, file, "Print1", "&Print project", "Print ....");
    AddItem(print, "Drawing1", "&Graph", "Print modem network graph", [this] { PrintGraph(); });
    AddItem(print, "Properties1", "&Properties (all modems)",
            "Print Properties of all modems included in network.",
            [this] { printing_->PrintAllProperties(); });
    AddItem(file, "Printproperties1", "&Print properties", "Print modem modem properties.",
            [this, active] {
                if (TKuvio* n = active()) printing_->PrintNodeProperties(*n);
            });
    AddItem(file, "PrintSetup1", "P&rint setup", "Printer setup|Printer setup dialog.",
            [this] { shell_.PrinterSetup(); });
    file->addSeparator();
    AddItem(file, "Lopeta1", "E&xit", "Exit program and asks if changes will be saved.", [this] {
        if (QWidget* top = window()) top->close();
    });
    recentSeparator_ = file->addSeparator();
    if (single) {
        Action("Print1")->setEnabled(false);
        Action("Print1")->setVisible(false);
    } else {
        Action("Printproperties1")->setEnabled(false);
        Action("Printproperties1")->setVisible(false);
    }

    // Modem
    QMenu* modem = AddMenu(menuBar_, nullptr, "Modeemi1", "&Modem", "Modem related items.");
    AddMenu(nullptr, modem, "Luouusi2", "&New modem", "Create new modem.");
    AddMenu(nullptr, modem, "Newmulti2", "New m&ultiterminal", "Create new multiport modem.");
    AddMenu(nullptr, modem, "NewMobile1", "New &mobile", "Create new mobile modem");
    AddItem(
        modem, "Yhdist1", "C&onnect", "Connect modem to another modem.",
        [this] { editor_.EnterConnectMode(); }, "Ctrl+O");
    AddItem(
        modem, "Poista2", "&Delete", "Delete modem.", [this] { editor_.EnterDeleteMode(); },
        "Ctrl+X");
    AddItem(
        modem, "Copy2", "&Copy", "Make copy of active modem.", [this] { editor_.EnterCopyMode(); },
        "Ctrl+C");
    modem->addSeparator();
    AddItem(modem, "Master2", "M&aster", "Set this modem to master.",
            [this, active] { editor_.SetMaster(active()); });
    AddItem(modem, "Ominaisuudet4", "&Properties", "Show modem properties.", [this, active] {
        if (TKuvio* n = active()) OpenProperties(*n);
    });
    AddItem(modem, "Print2", "&Print properties (activated modem)",
            "Print properties|Print properties of active modem.", [this, active] {
                if (TKuvio* n = active()) printing_->PrintNodeProperties(*n);
            });
    AddItem(modem, "LataaModeemi1", "&Load...", "Load modem settings from file.",
            [this] { LoadModemClick(); });
    AddItem(modem, "TallennaModeemi1", "Sa&ve...", "Save modems settings to file.",
            [this] { SaveModemClick(); });
    modem->addSeparator();
    AddItem(modem, "NytReitti2", "&Show route", "Show route between master and this modem.",
            [this, active] { ShowRouteFor(active()); });
    AddItem(modem, "Haearvot1", "&Receive values",
            "Receive settings from modem connected to serialport.", [this, active] {
                if (TKuvio* n = active()) exchange_->ReceiveValues(*n);
            });
    AddItem(modem, "Lhetarvot1", "&Transmit values",
            "Transmits both parameters and routeinfos to modem connected to serialport.",
            [this, active] {
                if (TKuvio* n = active()) exchange_->TransmitValues(*n);
            });

    // Project
    QMenu* project = AddMenu(menuBar_, nullptr, "Projekti1", "&Project", "Project related items.");
    QAction* routes =
        AddItem(project, "Reitit1", "&Routes", "Generate route information based on graph.",
                [this] { RoutesClick(); });
    routes->setVisible(false);
    routes->setEnabled(false);
    QAction* mobile =
        AddItem(project, "MobileRoutes1", "&Mobile routes",
                "Show Mobile routes and hide normal routes.", [this] { MobileRoutesClick(); });
    mobile->setCheckable(true);
    project->addSeparator();
    AddItem(project, "Suojaustaso1", "Security &level", "Change security level.",
            [this] { exchange_->SecurityLevel(); });
    AddItem(project, "Ominaisuudet3", "&Properties", "Projects properties.",
            [this] { ShowProjectProperties(); });
    project->addSeparator();
    if (single && !shell_.FactoryMode()) {
        project->menuAction()->setVisible(false);
    } else if (single) {
        for (const char* name : {"MobileRoutes1", "Ominaisuudet3"}) {
            Action(name)->setEnabled(false);
            Action(name)->setVisible(false);
        }
    }
    if (!shell_.FactoryMode()) {
        Action("Suojaustaso1")->setEnabled(false);
        Action("Suojaustaso1")->setVisible(false);
    }

    // Serial port
    QMenu* port = AddMenu(menuBar_, nullptr, "Portti1", "&Serial port", "Serial port settings.");
    QMenu* number = AddMenu(nullptr, port, "Numero1", "&Port number", "Select port number to use.");
    portGroup_ = new QActionGroup(this);
    portGroup_->setExclusive(true);
    for (int i = 1; i <= 16; ++i) {
        const std::string name = "COM" + std::to_string(i);
        const std::string hint = "Port COM " + std::to_string(i);
        QAction* a = AddItem(number, name.c_str(), name.c_str(), hint.c_str(), [this, i] {
            portNumber_ = i;
            exchange_->SelectPort(i);
        });
        a->setCheckable(true);
        a->setData(i);
        a->setChecked(i == portNumber_);
        portGroup_->addAction(a);
    }

    // Canvas pop-up
    QMenu* canvasPopup = AddMenu(nullptr, nullptr, "PopupMenu1", "", nullptr);
    AddMenu(nullptr, canvasPopup, "Luouusi1", "&New modem", "Create new modem.");
    AddMenu(nullptr, canvasPopup, "Newmulti1", "New m&ultiterminal", "Create new multiport modem.");
    AddMenu(nullptr, canvasPopup, "NewMobile2", "New &mobile", "Create new mobile modem");
    AddItem(canvasPopup, "Piirruudestaan1", "&Redraw", "Redraw working area.",
            [this] { FullRedraw(); });
    canvasPopup->addSeparator();
    AddItem(canvasPopup, "Ominaisuudet1", "&Properties", "Project properties.",
            [this] { ShowProjectProperties(); });

    // Node pop-up: works on the node it was opened on (the active node).
    QMenu* nodePopup = AddMenu(nullptr, nullptr, "PopupMenu2", "", nullptr);
    AddItem(nodePopup, "Viiva1", "&Connect", "Connect modem to another modem.", [this, active] {
        if (TKuvio* n = active()) editor_.StartLine(*n);
    });
    AddItem(nodePopup, "Poista1", "&Delete modem", "Delete modem from project.", [this, active] {
        editor_.DeleteWithQuestion(active());
        UpdateTitle();
    });
    AddItem(nodePopup, "Copy1", "C&opy", "Copy this modem.",
            [this, active] { editor_.CopyNode(active()); });
    AddItem(nodePopup, "Deleteconnection1", "De&lete connection", nullptr,
            [this, active] { net_.DeleteConnection(active()); });
    nodePopup->addSeparator();
    AddItem(nodePopup, "Master1", "M&aster", "Set this modem to master.",
            [this, active] { editor_.SetMaster(active()); });
    AddItem(nodePopup, "Ominaisuudet2", "&Properties", "Show properties of this modem.",
            [this, active] {
                if (TKuvio* n = active()) OpenProperties(*n);
            });
    AddItem(nodePopup, "Nytreitti1", "&Show route", "Show route between master and this modem.",
            [this, active] { ShowRouteFor(active()); });
    AddItem(nodePopup, "Transmitparrou1", "&Transmit values",
            "Transmits both parameters and routeinfos to modem connected to serialport.",
            [this, active] {
                if (TKuvio* n = active()) exchange_->TransmitValues(*n);
            });
    AddItem(nodePopup, "Receivevalues1", "&Receive values",
            "Receive parameters from modem connected to serialport.", [this, active] {
                if (TKuvio* n = active()) exchange_->ReceiveValues(*n);
            });
    nodePopup->addSeparator();
    AddMenu(nullptr, nodePopup, "Konvert1", "Change sm&f-file type to",
            "Change the smf-file type of the modem.");

    BuildTypeMenus();
}

void Tpiirtopohja::BuildTypeMenus() {
    for (const TypeMenu& tm : kTypeMenus) {
        QMenu* menu = Menu(tm.name);
        for (const std::string& type : types_) {
            QAction* a = menu->addAction(Utf(type));
            SetHint(a, Utf("modem " + type));
            const TypeEntry entry{type, tm.kind};
            const bool fromMain = tm.mainMenu;
            connect(a, &QAction::triggered, this, [this, entry, fromMain] {
                editor_.CreateNode(entry, fromMain);
                UpdateMenus();
            });
        }
    }
    QMenu* convert = Menu("Konvert1");
    for (const std::string& type : types_) {
        QAction* a = convert->addAction(Utf(type));
        SetHint(a, Utf("modem " + type));
        connect(a, &QAction::triggered, this, [this, type] {
            if (TKuvio* n = net_.activeNode) exchange_->ConvertType(*n, type);
        });
    }
}

void Tpiirtopohja::RecentFilesMenu() {
    QMenu* file = Menu("Tiedosto1");
    for (QAction* a : recentActions_) {
        file->removeAction(a);
        delete a;
    }
    recentActions_.clear();
    for (const RecentFiles::MenuEntry& e : recent_.Menu()) {
        QAction* a = file->addAction(QString::fromStdString(e.caption));
        a->setObjectName(QString("File%1").arg(e.position));
        SetHint(a, QString::fromStdString(e.hint));
        const std::string path = e.caption;
        connect(a, &QAction::triggered, this, [this, path] { OpenRecent(path); });
        recentActions_.push_back(a);
    }
}

void Tpiirtopohja::UpdateMenus() {
    const bool single = SingleMode();
    const bool anyType = !types_.empty();
    const bool portOpen = exchange_->PortOpen();
    auto set = [this](const char* name, bool enabled) {
        if (QAction* a = Action(name)) a->setEnabled(enabled);
    };

    const ModemMenuState m = editor_.ModemMenu(anyType, portOpen);
    set("Luouusi2", m.newModem);
    set("Newmulti2", m.newMulti);
    set("NewMobile1", m.newMobile);
    set("Yhdist1", m.connect);
    set("Poista2", m.deleteModem);
    set("Copy2", m.copy);
    set("Master2", m.master);
    set("Ominaisuudet4", m.properties);
    set("Print2", m.printProperties);
    set("LataaModeemi1", m.load);
    set("TallennaModeemi1", m.save);
    set("NytReitti2", m.showRoute);
    set("Haearvot1", m.receive);
    set("Lhetarvot1", m.transmit);
    Action("NytReitti2")->setText(QString::fromLatin1(m.showRouteCaption.c_str()));

    if (TKuvio* node = net_.activeNode) {
        const NodePopupState p = editor_.NodePopup(*node, portOpen, exchange_->SecurityLevelNine());
        set("Viiva1", p.connect);
        set("Poista1", p.deleteModem);
        set("Copy1", p.copy);
        set("Deleteconnection1", p.deleteConnection);
        set("Master1", p.master);
        set("Ominaisuudet2", p.properties);
        set("Nytreitti1", p.showRoute);
        set("Transmitparrou1", p.transmit);
        set("Receivevalues1", p.receive);
        set("Konvert1", p.convert && anyType);
        Action("Nytreitti1")->setText(QString::fromLatin1(p.showRouteCaption.c_str()));
    }

    const CanvasPopupState c = editor_.CanvasPopup(anyType);
    set("Luouusi1", c.newModem);
    set("Newmulti1", c.newMulti);
    set("NewMobile2", c.newMobile);
    set("Ominaisuudet1", c.properties);

    if (single) {
        set("Reitit1", false);
        set("MobileRoutes1", false);
        set("Ominaisuudet3", false);
    } else {
        set("MobileRoutes1", net_.mobileRoutesEnabled);
    }
    Action("MobileRoutes1")->setChecked(net_.mobileView);
    if (!anyType) {
        for (const char* name : {"Luouusi1", "Newmulti1", "NewMobile2", "Luouusi2", "Newmulti2",
                                 "NewMobile1", "Konvert1"}) {
            set(name, false);
        }
    }
}

void Tpiirtopohja::UpdateTitle() {
    setWindowTitle(Utf(net_.title));
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->setWindowTitle(windowTitle());
}

void Tpiirtopohja::SetPortNumber(int number) {
    portNumber_ = std::clamp(number, 1, 16);
    if (QAction* a = Action(QString("COM%1").arg(portNumber_))) a->setChecked(true);
}

// --- drawing ---

void Tpiirtopohja::FullRedraw() {
    for (auto& node : net_.nodes) node->Show(net_.mobileView || !node->isMobile);
    paint::GraphStyle style = canvas_->Style();
    QRect extent = paint::GraphExtent(net_, style);
    const QSize view = scroll_->viewport()->size();
    canvas_->resize(std::max(view.width(), extent.right() + 60),
                    std::max(view.height(), extent.bottom() + 60));
    SyncPanels();
    canvas_->update();
    canvas_->UpdateOverlay();
    UpdateMenus();
    UpdateTitle();
}

void Tpiirtopohja::GrowCanvas(const QRect& rect) {
    if (rect.right() + 60 > canvas_->width() || rect.bottom() + 60 > canvas_->height()) {
        canvas_->resize(std::max(canvas_->width(), rect.right() + 60),
                        std::max(canvas_->height(), rect.bottom() + 60));
    }
}

void Tpiirtopohja::SyncPanels() {
    const QFontMetrics fm(font());
    std::map<const TKuvio*, QListWidget*> keep;
    for (auto& node : net_.nodes) {
        std::vector<std::string> lines;
        int width = 0;
        if (node->VirtualRoutesShown()) {
            lines = node->VirtualRoutes();
            width = fm.horizontalAdvance("00001111 <-> 5555X566");
        } else if (node.get() == net_.masterNode && node->SourceRoutesShown()) {
            lines = node->SourceRoutes();
            size_t longest = 0;
            for (const auto& l : lines) longest = std::max(longest, l.size());
            width = static_cast<int>(longest + 4) * fm.horizontalAdvance('X');
        } else {
            continue;
        }
        if (!node->visible) continue;
        QListWidget* panel = nullptr;
        auto it = panels_.find(node.get());
        if (it != panels_.end()) {
            panel = it->second;
            panels_.erase(it);
        } else {
            panel = new QListWidget(canvas_);
            panel->setObjectName("RoutePanel");
            panel->setAccessibleName(Utf(node->name) + " routes");
            panel->setFocusPolicy(Qt::NoFocus);
        }
        panel->clear();
        for (const auto& l : lines) panel->addItem(Utf(l));
        const int rows = std::min<int>(static_cast<int>(lines.size()), 8);
        panel->setGeometry(node->left, node->top + 52, width + 8,
                           std::max(1, rows) * fm.height() + 8);
        panel->show();
        keep[node.get()] = panel;
    }
    for (auto& [node, panel] : panels_) delete panel;
    panels_ = std::move(keep);
}

void Tpiirtopohja::ScrollHome() {
    scroll_->horizontalScrollBar()->setValue(0);
    scroll_->verticalScrollBar()->setValue(0);
}

// --- EditorHost ---

void Tpiirtopohja::SetCursor(EditorCursor cursor) {
    static const QCursor connectCursor = MakeCursor(":/cursors/yhdista.svg");
    static const QCursor deleteCursor = MakeCursor(":/cursors/poista.svg");
    static const QCursor copyCursor = MakeCursor(":/cursors/kopioi.svg");
    switch (cursor) {
        case EditorCursor::Default:
            canvas_->unsetCursor();
            break;
        case EditorCursor::SizeAll:
            canvas_->setCursor(Qt::SizeAllCursor);
            break;
        case EditorCursor::Connect:
            canvas_->setCursor(connectCursor);
            break;
        case EditorCursor::Delete:
            canvas_->setCursor(deleteCursor);
            break;
        case EditorCursor::Copy:
            canvas_->setCursor(copyCursor);
            break;
    }
}

void Tpiirtopohja::NodeChanged(const TKuvio& node) { canvas_->UpdateNode(node); }

void Tpiirtopohja::OverlayChanged() { canvas_->UpdateOverlay(); }

void Tpiirtopohja::ScrollBy(int dx, int dy) {
    if (dx) scroll_->horizontalScrollBar()->setValue(scroll_->horizontalScrollBar()->value() + dx);
    if (dy) scroll_->verticalScrollBar()->setValue(scroll_->verticalScrollBar()->value() + dy);
}

void Tpiirtopohja::OpenProperties(TKuvio& node) { exchange_->OpenProperties(node); }

void Tpiirtopohja::ActiveNodeChanged(TKuvio* node) { exchange_->ActiveNodeChanged(node); }

bool Tpiirtopohja::ConversionMode() const { return exchange_->ConversionMode(); }

void Tpiirtopohja::ShowNodePopup(TKuvio& node, Point canvas) {
    (void)node;
    UpdateMenus();
    Menu("PopupMenu2")->popup(canvas_->mapToGlobal(QPoint(canvas.x, canvas.y)));
}

void Tpiirtopohja::ShowCanvasPopup(Point canvas) {
    UpdateMenus();
    Menu("PopupMenu1")->popup(canvas_->mapToGlobal(QPoint(canvas.x, canvas.y)));
}

EditorHost::View Tpiirtopohja::CurrentView() const {
    View v;
    v.width = scroll_->width();
    v.height = scroll_->height();
    v.horizontalBar = scroll_->horizontalScrollBar()->maximum() > 0;
    v.verticalBar = scroll_->verticalScrollBar()->maximum() > 0;
    v.scrollX = scroll_->horizontalScrollBar()->value();
    v.scrollY = scroll_->verticalScrollBar()->value();
    return v;
}

void Tpiirtopohja::LoadTypeDefaults(TKuvio& node) {
    const std::string path = platform::ProgramDir() + "/" + node.typeName + ".ssf";
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return;
    LoadModemDataFile(net_, node, path);
}

// --- commands ---

std::optional<std::string> Tpiirtopohja::RunFileDialog(const FileDialogRequest& r) {
    if (fileDialog) return fileDialog(r);
    QFileDialog dialog(this, QString::fromStdString(r.title),
                       QString::fromStdString(platform::ProgramDir()), QtFilter(r.filter));
    dialog.setAcceptMode(r.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(r.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QString::fromStdString(r.defaultExt));
    dialog.selectFile(QString::fromStdString(r.fileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().front().toStdString();
}

void Tpiirtopohja::AfterFileCommand() {
    panels_.clear();  // the widgets went with the canvas children below
    for (QListWidget* w : canvas_->findChildren<QListWidget*>()) delete w;
    RecentFilesMenu();
    ScrollHome();
    FullRedraw();
}

void Tpiirtopohja::NewClick() {
    if (exchange_->RefuseWhileRunning()) return;
    exchange_->Forget(nullptr);
    editor_.Forget(nullptr);
    if (NewCommand(net_, [this](const FileDialogRequest& r) { return RunFileDialog(r); }) &&
        !SingleMode()) {
        ShowProjectProperties();
    }
    AfterFileCommand();
}

void Tpiirtopohja::OpenClick() {
    if (exchange_->RefuseWhileRunning()) return;
    editor_.Forget(nullptr);
    const bool opened = OpenCommand(
        net_, [this](const FileDialogRequest& r) { return RunFileDialog(r); }, recent_,
        platform::SettingsPath());
    if (opened) printing_->RefreshPropertyTable();
    AfterFileCommand();
}

void Tpiirtopohja::OpenRecent(const std::string& path) {
    if (exchange_->RefuseWhileRunning()) return;
    editor_.Forget(nullptr);
    if (OpenPath(
            net_, [this](const FileDialogRequest& r) { return RunFileDialog(r); }, recent_,
            platform::SettingsPath(), path, true)) {
        printing_->RefreshPropertyTable();
    }
    AfterFileCommand();
}

void Tpiirtopohja::SaveClick() {
    ScrollHome();
    SaveCommand(
        net_, [this](const FileDialogRequest& r) { return RunFileDialog(r); }, recent_,
        platform::SettingsPath());
    RecentFilesMenu();
    UpdateTitle();
}

void Tpiirtopohja::SaveAsClick() {
    ScrollHome();
    SaveAsCommand(
        net_, [this](const FileDialogRequest& r) { return RunFileDialog(r); }, recent_,
        platform::SettingsPath());
    RecentFilesMenu();
    UpdateTitle();
}

void Tpiirtopohja::LoadModemClick() {
    if (exchange_->RefuseWhileRunning()) return;
    LoadModemData(net_, [this](const FileDialogRequest& r) { return RunFileDialog(r); });
    FullRedraw();
}

void Tpiirtopohja::SaveModemClick() {
    SaveModemData(net_, [this](const FileDialogRequest& r) { return RunFileDialog(r); });
}

void Tpiirtopohja::ShowRouteFor(TKuvio* node) {
    if (!node) return;
    ShowRoute(net_, node);
    FullRedraw();
}

void Tpiirtopohja::RoutesClick() {
    ComputeRoutes(net_);
    FullRedraw();
}

void Tpiirtopohja::ShowProjectProperties() { properties_->ShowProperties(); }

void Tpiirtopohja::MobileRoutesClick() {
    editor_.ToggleMobileView();
    UpdateMenus();
}

void Tpiirtopohja::PrintGraph() { printing_->PrintGraph(); }

// --- life cycle ---

void Tpiirtopohja::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (firstShowPending_) {
        QTimer::singleShot(0, this, [this] { FirstShow(); });
    }
}

void Tpiirtopohja::FirstShow() {
    if (!firstShowPending_) return;
    firstShowPending_ = false;
    if (!SingleMode()) {
        if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) sub->showMaximized();
    }
    net_.clientWidth = scroll_->viewport()->width();
    net_.clientHeight = scroll_->viewport()->height();
    if (FirstShowCommand(net_, recent_) && !SingleMode()) ShowProjectProperties();
    AfterFileCommand();
}

void Tpiirtopohja::closeEvent(QCloseEvent* event) {
    if (!exchange_->CloseForms()) {
        event->ignore();
        return;
    }
    if (AskSave(net_, [this](const FileDialogRequest& r) { return RunFileDialog(r); }) ==
        AskSaveResult::Stop) {
        event->ignore();
        return;
    }
    properties_->hide();
    exchange_->Closing();
    printing_->Closing();
    // Only a file the user named goes to the recent list; "noname.spf" would just be dropped
    // again at the next first show.
    if (net_.fileNamed) {
        recent_.Update(net_.CurrentFileName(), platform::SettingsPath(), SingleMode(), Prompter());
    }
    exchange_->Forget(nullptr);
    editor_.Forget(nullptr);
    net_.ClearNetwork();
    buttonLock_.reset();
    event->accept();
}

}  // namespace kelmor::designer::ui
