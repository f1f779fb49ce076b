#pragma once
// Tarvotaulu: the property table of all modems of the designer's network. One tab per modem
// type, one column per node of that type in network order, one row per listing line; it prints
// as it stands, copies a selection as tab-separated text and saves every tab to a text file.
// The cells and the text come from designer/propertytable; this window only shows them.
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "designer/printlayout.h"
#include "designer/propertytable.h"

class QAction;
class QMenu;
class QMenuBar;
class QPagedPaintDevice;
class QTabWidget;
class QTableWidget;

namespace kelmor::designer::ui {

class Tpiirtopohja;

inline constexpr const char* kSaveGridTitle = "Save grid to textfile.";

class Tarvotaulu : public QWidget {
    Q_OBJECT
  public:
    // lister gives each node's rows (the properties form's listing).
    Tarvotaulu(Tpiirtopohja& designer, NodeLister lister, QWidget* parent = nullptr);
    ~Tarvotaulu() override;

    // Builds every tab again from the network (the table shows nothing of an empty one).
    void Build();
    void SetLister(NodeLister lister) { lister_ = std::move(lister); }
    // Closes the table with its sub-window in the main window.
    void CloseWindow();

    // Menu commands.
    void PrintProTable();   // through the print dialog onto the shared printer
    void CopySelection();   // the selected rectangle of the current tab to the clipboard
    void SelectAll();       // every cell of the current tab, grey ones included
    void SaveAsTextFile();  // asks for the file
    bool SaveTo(const std::string& path);
    // The print itself, on any device (a chosen printer, a PDF); false when there is no tab.
    bool PrintOn(QPagedPaintDevice& device);
    // The cell double-clicked on the current tab: its column's node in the properties form.
    void CellDoubleClicked(int row, int column);

    const std::vector<PropertyTab>& Tabs() const { return tabs_; }
    QTabWidget* TabControl() const { return valilehdet_; }
    QTableWidget* Grid(int tab) const;
    QAction* Action(const char* name) const;

    // Seams for tests: the save file dialog and the print dialog.
    std::function<std::string()> askSavePath;
    std::function<bool(QPagedPaintDevice*& device)> askPrinter;

  signals:
    void Closed();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    QAction* AddAction(QMenu* menu, const char* name, const char* caption, const char* hint,
                       void (Tarvotaulu::*command)());
    std::vector<GridToPrint> GridsToPrint() const;
    QTableWidget* CurrentGrid() const;

    Tpiirtopohja& designer_;
    NodeLister lister_;
    std::vector<PropertyTab> tabs_;
    QMenuBar* menuBar_ = nullptr;
    QTabWidget* valilehdet_ = nullptr;
};

}  // namespace kelmor::designer::ui
