#pragma once
// The designer window's print commands and its property table: the graph, one modem's and all
// modems' properties through the print dialog onto the shared printer, and the table window
// that the designer opens, refreshes and closes.
#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>

#include "designer/printlayout.h"
#include "designer/ui/designerhooks.h"

class QPagedPaintDevice;
class QMdiSubWindow;

namespace kelmor::designer::ui {

class Tarvotaulu;

class PrintCommands : public PrintHooks {
  public:
    explicit PrintCommands(Tpiirtopohja& window);
    ~PrintCommands() override;

    void PropertyTable() override;
    void RefreshPropertyTable() override;
    void PrintGraph() override;
    void PrintAllProperties() override;
    void PrintNodeProperties(TKuvio& node) override;
    void Closing() override;

    Tarvotaulu* Table() const;
    // The rows of a node as the properties form lists them at the designer's security level.
    NodeLister Lister();

    // Seam for tests: the print dialog. Given the job (its title names the document), sets
    // device to the chosen printer; false when the user cancelled.
    std::function<bool(const PrintJob& job, QPagedPaintDevice*& device)> askPrinter;

  private:
    QWidget* DesignerFrame() const;
    void TableClosed();

    QPointer<Tarvotaulu> table_;
    Qt::WindowStates designerState_;
};

}  // namespace kelmor::designer::ui
