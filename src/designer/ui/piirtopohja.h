#pragma once
// Tpiirtopohja: the routing designer window, in routing mode (a whole network, project files)
// or single-modem mode (one modem, single-modem files). It hosts the network, the editing
// behaviour of DesignerEditor, the file commands of projectfile, the route panels and the
// project properties dialog; the exchange and the printing plug in through designerhooks.h.
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "designer/definitiontypes.h"
#include "designer/editor.h"
#include "designer/network.h"
#include "designer/projectfile.h"
#include "designer/ui/designerhooks.h"
#include "shell/shellservices.h"

class QAction;
class QActionGroup;
class QListWidget;
class QMenu;
class QMenuBar;
class QScrollArea;

namespace kelmor::designer::ui {

class DesignerCanvas;
class Tprj_ominaisuus;

inline constexpr const char* kNotAvailableText = "Not available in this build";

class Tpiirtopohja : public QWidget, private EditorHost {
    Q_OBJECT
  public:
    Tpiirtopohja(shell::ShellServices& shell, bool singleMode, QWidget* parent = nullptr);
    ~Tpiirtopohja() override;

    // --- what the main window and the hooks use ---
    Network& Net() { return net_; }
    DesignerEditor& Editor() { return editor_; }
    shell::ShellServices& Shell() { return shell_; }
    platform::Prompter& Prompter() { return shell_.Prompter(); }
    bool SingleMode() const { return net_.singleModemMode; }
    ExchangeHooks& Exchange() { return *exchange_; }
    PrintHooks& Printing() { return *printing_; }
    QWidget* Canvas() const;
    // The port chosen in "&Serial port" (1..16).
    int PortNumber() const { return portNumber_; }
    void SetPortNumber(int number);
    // The modem types of the new-modem sub-menus, in menu order.
    const std::vector<std::string>& ModemTypes() const { return types_; }
    // The message of a command this build does not have.
    void NotAvailable();

    // Full redraw: visibility, links, frame, route panels, menus, title.
    void FullRedraw() override;
    // The main window's print button.
    void PrintGraph();
    // The window title from the network's title.
    void UpdateTitle();
    // Puts the canvas's top-left corner in view.
    void ScrollHome();

    // Tests (and the window) choose files through this; by default it shows the file dialogs.
    FileDialog fileDialog;

    // The menus by their item names ("Uusi1", "Yhdist1", "PopupMenu2", ...).
    QAction* Action(const QString& name) const;
    QMenu* Menu(const QString& name) const;
    // Recomputes every menu's enabling and captions as when it opens.
    void UpdateMenus();

    // --- commands ---
    void NewClick();
    void OpenClick();
    void SaveClick();
    void SaveAsClick();
    void OpenRecent(const std::string& path);
    void LoadModemClick();
    void SaveModemClick();
    void ShowRouteFor(TKuvio* node);
    void ShowProjectProperties();
    void MobileRoutesClick();
    void RoutesClick();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    friend class DesignerCanvas;

    // EditorHost
    void SetCursor(EditorCursor cursor) override;
    void NodeChanged(const TKuvio& node) override;
    void OverlayChanged() override;
    void ScrollBy(int dx, int dy) override;
    void OpenProperties(TKuvio& node) override;
    void ActiveNodeChanged(TKuvio* node) override;
    bool ConversionMode() const override;
    bool RefuseDelete() override { return exchange_->RefuseWhileRunning(); }
    void ShowNodePopup(TKuvio& node, Point canvas) override;
    void ShowCanvasPopup(Point canvas) override;
    View CurrentView() const override;
    void LoadTypeDefaults(TKuvio& node) override;

    void BuildMenus();
    void BuildTypeMenus();
    void RecentFilesMenu();
    void FirstShow();
    void AfterFileCommand();
    void SyncPanels();
    void GrowCanvas(const QRect& rect);
    std::optional<std::string> RunFileDialog(const FileDialogRequest& request);
    QAction* AddItem(QMenu* menu, const char* name, const char* caption, const char* hint,
                     std::function<void()> action, const char* shortcut = nullptr);
    QMenu* AddMenu(QMenuBar* bar, QMenu* parent, const char* name, const char* caption,
                   const char* hint);

    shell::ShellServices& shell_;
    DefinitionTypeInfo typeInfo_;
    Network net_;
    DesignerEditor editor_;
    RecentFiles recent_;
    std::unique_ptr<shell::ToolButtonLock> buttonLock_;
    std::unique_ptr<ExchangeHooks> exchange_;
    std::unique_ptr<PrintHooks> printing_;
    std::vector<std::string> types_;
    int portNumber_ = 1;
    bool firstShowPending_ = true;

    QMenuBar* menuBar_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    DesignerCanvas* canvas_ = nullptr;
    Tprj_ominaisuus* properties_ = nullptr;
    std::map<QString, QAction*> actions_;
    std::map<QString, QMenu*> menus_;
    std::vector<QAction*> recentActions_;
    QAction* recentSeparator_ = nullptr;
    QActionGroup* portGroup_ = nullptr;
    std::map<const TKuvio*, QListWidget*> panels_;
};

}  // namespace kelmor::designer::ui
