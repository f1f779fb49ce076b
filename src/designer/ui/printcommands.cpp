#include "designer/ui/printcommands.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPrintDialog>
#include <QPrinter>
#include <memory>

#include "designer/network.h"
#include "designer/nodelisting.h"
#include "designer/paint/printpages.h"
#include "designer/ui/arvotaulu.h"
#include "designer/ui/piirtopohja.h"
#include "modemcfg/listing.h"
#include "platform/ansi.h"
#include "platform/programdir.h"
#include "shell/shellservices.h"

namespace kelmor::designer::ui {

PrintCommands::PrintCommands(Tpiirtopohja& window) : PrintHooks(window) {
    askPrinter = [this](const PrintJob& job, QPagedPaintDevice*& device) {
        QPrinter& printer = window_.Shell().Printer();
        printer.setDocName(QString::fromStdString(platform::AnsiToUtf8(job.title)));
        printer.setPageOrientation(job.landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
        QPrintDialog dialog(&printer, &window_);
        if (dialog.exec() != QDialog::Accepted) return false;
        device = &printer;
        return true;
    };
}

PrintCommands::~PrintCommands() {
    if (table_) {
        // The table reads the network that goes with the designer.
        table_->disconnect();
        if (auto* sub = qobject_cast<QMdiSubWindow*>(table_->parentWidget())) {
            delete sub;
        } else {
            delete table_.data();
        }
    }
}

Tarvotaulu* PrintCommands::Table() const { return table_; }

NodeLister PrintCommands::Lister() {
    const Network& net = window_.Net();
    auto source = std::make_shared<NodeListingSource>(
        platform::ProgramDir(), window_.Exchange().SecurityLevelNine() ? '9' : '0',
        net.singleModemMode,
        modemcfg::FileNameFromCaption(platform::Utf8ToAnsi(window_.windowTitle().toStdString())));
    return [source](const TKuvio& node) { return (*source)(node); };
}

// The frame whose state the table changes: the designer's sub-window in the main window, or
// the designer itself when it stands alone.
QWidget* PrintCommands::DesignerFrame() const {
    if (auto* sub = qobject_cast<QMdiSubWindow*>(window_.parentWidget())) return sub;
    return &window_;
}

void PrintCommands::PropertyTable() {
    QWidget* frame = DesignerFrame();
    designerState_ = frame->windowState();
    frame->setWindowState(frame->windowState() & ~(Qt::WindowMaximized | Qt::WindowMinimized));
    if (table_) {
        if (auto* sub = qobject_cast<QMdiSubWindow*>(table_->parentWidget())) {
            sub->show();
            sub->raise();
            if (QMdiArea* area = sub->mdiArea()) area->setActiveSubWindow(sub);
        }
        table_->show();
        table_->raise();
        return;
    }
    auto* table = new Tarvotaulu(window_, Lister());
    table_ = table;
    QObject::connect(table, &Tarvotaulu::Closed, table, [this] { TableClosed(); });
    table->Build();
    auto* designerSub = qobject_cast<QMdiSubWindow*>(window_.parentWidget());
    if (QMdiArea* area = designerSub ? designerSub->mdiArea() : nullptr) {
        QMdiSubWindow* sub = area->addSubWindow(table);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        sub->show();
        area->setActiveSubWindow(sub);
    } else {
        table->show();
    }
}

void PrintCommands::TableClosed() {
    table_ = nullptr;
    DesignerFrame()->setWindowState(designerState_);
}

void PrintCommands::RefreshPropertyTable() {
    if (!table_) return;
    // A new lister: the security level or the single-modem file may have changed.
    table_->SetLister(Lister());
    table_->Build();
}

void PrintCommands::PrintGraph() {
    const Network& net = window_.Net();
    QPagedPaintDevice* device = nullptr;
    if (!askPrinter || !askPrinter(GraphJob(net), device) || !device) return;
    paint::PrintGraphOn(*device, net);
}

void PrintCommands::PrintAllProperties() {
    const Network& net = window_.Net();
    if (net.nodes.empty()) return;  // nothing to print, and no question about it
    QPagedPaintDevice* device = nullptr;
    if (!askPrinter || !askPrinter(AllPropertiesJob(), device) || !device) return;
    paint::PrintAllPropertiesOn(*device, net, Lister());
}

void PrintCommands::PrintNodeProperties(TKuvio& node) {
    QPagedPaintDevice* device = nullptr;
    if (!askPrinter || !askPrinter(NodePropertiesJob(), device) || !device) return;
    paint::PrintNodePropertiesOn(*device, Lister()(node));
}

void PrintCommands::Closing() {
    if (table_) table_->CloseWindow();
}

}  // namespace kelmor::designer::ui
