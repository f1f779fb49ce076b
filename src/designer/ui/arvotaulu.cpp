#include "designer/ui/arvotaulu.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFontMetrics>
#include <QHeaderView>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrinter>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "designer/network.h"
#include "designer/paint/printpages.h"
#include "designer/ui/designerhooks.h"
#include "designer/ui/piirtopohja.h"
#include "platform/ansi.h"
#include "platform/inifile.h"
#include "platform/programdir.h"
#include "shell/shellservices.h"

namespace kelmor::designer::ui {

namespace {

QString Text(const std::string& ansi) { return QString::fromStdString(platform::AnsiToUtf8(ansi)); }

// The grey of the fixed row and column.
const QColor kFixedColour(0xC0, 0xC0, 0xC0);

}  // namespace

Tarvotaulu::Tarvotaulu(Tpiirtopohja& designer, NodeLister lister, QWidget* parent)
    : QWidget(parent), designer_(designer), lister_(std::move(lister)) {
    setObjectName("arvotaulu");
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(paint::PropertyTableFont());
    resize(700, 450);

    menuBar_ = new QMenuBar(this);
    QMenu* function = menuBar_->addMenu("&Function");
    function->setObjectName("Function1");
    function->setToolTipsVisible(true);
    AddAction(function, "PrintProTable1", "&Print pro table", "Print propertytable as is. ",
              &Tarvotaulu::PrintProTable);
    AddAction(function, "Closeprotable1", "&Close pro table", "Close propertytable.", nullptr);
    AddAction(function, "Saveastextfile1", "&Save as text file...",
              "Save grid to textfile for further use.", &Tarvotaulu::SaveAsTextFile);
    AddAction(function, "Exit1", "&Exit", "Exit Kelmor program.", nullptr);
    QMenu* edit = menuBar_->addMenu("&Edit");
    edit->setObjectName("Edit1");
    edit->setToolTipsVisible(true);
    AddAction(edit, "Copy1", "&Copy", "Copy selected area.", &Tarvotaulu::CopySelection)
        ->setShortcut(QKeySequence("Ctrl+C"));
    AddAction(edit, "Selectall1", "Select &all", "Select all cells (including gray cells).",
              &Tarvotaulu::SelectAll);
    connect(Action("Closeprotable1"), &QAction::triggered, this, &Tarvotaulu::CloseWindow);
    connect(Action("Exit1"), &QAction::triggered, this, [this] {
        // The program ends with its main window (the designer's top-level window).
        if (QWidget* main = designer_.window(); main && main != this) main->close();
    });

    valilehdet_ = new QTabWidget(this);
    valilehdet_->setObjectName("valilehdet");
    valilehdet_->setAccessibleName("Modem types");
    valilehdet_->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setMenuBar(menuBar_);
    layout->addWidget(valilehdet_);

    askSavePath = [this]() -> std::string {
        QFileDialog dialog(this, kSaveGridTitle, QString::fromStdString(platform::ProgramDir()),
                           "Text document (*.txt)");
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix("txt");
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
        return dialog.selectedFiles().first().toStdString();
    };
    askPrinter = [this](QPagedPaintDevice*& device) {
        QPrinter& printer = designer_.Shell().Printer();
        printer.setDocName(Text(PropertyTableJob().title));
        QPrintDialog dialog(&printer, this);
        if (dialog.exec() != QDialog::Accepted) return false;
        device = &printer;
        return true;
    };
}

Tarvotaulu::~Tarvotaulu() = default;

QAction* Tarvotaulu::AddAction(QMenu* menu, const char* name, const char* caption, const char* hint,
                               void (Tarvotaulu::*command)()) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    action->setToolTip(hint);
    action->setStatusTip(hint);
    if (command) connect(action, &QAction::triggered, this, command);
    addAction(action);  // shortcuts work while the window has the focus
    return action;
}

QAction* Tarvotaulu::Action(const char* name) const { return findChild<QAction*>(name); }

QTableWidget* Tarvotaulu::Grid(int tab) const {
    return qobject_cast<QTableWidget*>(valilehdet_->widget(tab));
}

QTableWidget* Tarvotaulu::CurrentGrid() const {
    return qobject_cast<QTableWidget*>(valilehdet_->currentWidget());
}

void Tarvotaulu::Build() {
    const Network& net = designer_.Net();
    setWindowTitle(Text(PropertyTableCaption(net)));
    while (valilehdet_->count() > 0) {
        QWidget* page = valilehdet_->widget(0);
        valilehdet_->removeTab(0);
        delete page;
    }
    tabs_.clear();
    if (net.nodes.empty()) {
        valilehdet_->hide();
        return;
    }
    tabs_ = BuildPropertyTable(net, lister_);
    const QFontMetrics fm(font());
    for (const PropertyTab& tab : tabs_) {
        auto* grid = new QTableWidget(tab.RowCount(), tab.ColumnCount());
        grid->setObjectName(Text(tab.typeName));
        grid->setAccessibleName(Text(tab.typeName));
        grid->setFont(font());
        grid->horizontalHeader()->hide();
        grid->verticalHeader()->hide();
        grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
        grid->setSelectionMode(QAbstractItemView::ContiguousSelection);
        grid->setWordWrap(false);
        const int rowHeight = fm.height() + 6;
        for (int r = 0; r < tab.RowCount(); ++r) {
            grid->setRowHeight(r, rowHeight);
            for (int c = 0; c < tab.ColumnCount(); ++c) {
                auto* item = new QTableWidgetItem(Text(tab.cells[r][c]));
                if (r == 0 || c == 0) item->setBackground(kFixedColour);
                grid->setItem(r, c, item);
            }
        }
        for (int c = 0; c < tab.ColumnCount(); ++c) {
            int width = 0;
            for (int r = 0; r < tab.RowCount(); ++r) {
                const QString cell = Text(tab.cells[r][c]);
                width = std::max(width, c == 0 ? fm.horizontalAdvance(cell + "i")
                                               : fm.horizontalAdvance(cell + " "));
            }
            grid->setColumnWidth(c, width + 8);
        }
        connect(grid, &QTableWidget::cellDoubleClicked, this, &Tarvotaulu::CellDoubleClicked);
        valilehdet_->addTab(grid, Text(tab.typeName));
    }
    valilehdet_->setCurrentIndex(0);
    valilehdet_->show();
}

void Tarvotaulu::CellDoubleClicked(int /*row*/, int column) {
    const int index = valilehdet_->currentIndex();
    if (index < 0 || index >= static_cast<int>(tabs_.size())) return;
    if (TKuvio* node = NodeOfColumn(designer_.Net(), tabs_[index], column)) {
        designer_.Exchange().OpenProperties(*node);
    }
}

void Tarvotaulu::CopySelection() {
    QTableWidget* grid = CurrentGrid();
    const int index = valilehdet_->currentIndex();
    if (!grid || index < 0 || index >= static_cast<int>(tabs_.size())) return;
    const auto ranges = grid->selectedRanges();
    CellRange range;
    if (ranges.isEmpty()) {
        // No selection: the cell with the focus, as a grid always has one selected.
        range = {std::max(grid->currentRow(), 0), std::max(grid->currentColumn(), 0),
                 std::max(grid->currentRow(), 0), std::max(grid->currentColumn(), 0)};
    } else {
        range = {ranges[0].topRow(), ranges[0].leftColumn(), ranges[0].bottomRow(),
                 ranges[0].rightColumn()};
        for (const auto& r : ranges) {
            range.top = std::min(range.top, r.topRow());
            range.left = std::min(range.left, r.leftColumn());
            range.bottom = std::max(range.bottom, r.bottomRow());
            range.right = std::max(range.right, r.rightColumn());
        }
    }
    QApplication::clipboard()->setText(Text(CopyCells(tabs_[index], range)));
}

void Tarvotaulu::SelectAll() {
    if (QTableWidget* grid = CurrentGrid()) grid->selectAll();
}

void Tarvotaulu::SaveAsTextFile() {
    const std::string path = askSavePath ? askSavePath() : std::string();
    if (!path.empty()) SaveTo(path);
}

bool Tarvotaulu::SaveTo(const std::string& path) {
    if (platform::WriteFileAtomic(path, TableText(tabs_))) return true;
    designer_.Prompter().Message("Unable to write " + platform::Utf8ToAnsi(path));
    return false;
}

std::vector<GridToPrint> Tarvotaulu::GridsToPrint() const {
    std::vector<GridToPrint> grids;
    for (size_t t = 0; t < tabs_.size(); ++t) {
        GridToPrint g{tabs_[t].typeName, tabs_[t].cells, {}, {}};
        QTableWidget* grid = Grid(static_cast<int>(t));
        for (int c = 0; c < tabs_[t].ColumnCount(); ++c)
            g.columnWidths.push_back(grid->columnWidth(c));
        for (int r = 0; r < tabs_[t].RowCount(); ++r) g.rowHeights.push_back(grid->rowHeight(r));
        grids.push_back(std::move(g));
    }
    return grids;
}

bool Tarvotaulu::PrintOn(QPagedPaintDevice& device) {
    if (tabs_.empty()) return false;
    // Screen sizes become printer sizes by the ratio of "Wg" on each.
    QFont printerFont = font();
    if (font().pixelSize() > 0) {
        printerFont.setPointSize(std::max(1, int(std::lround(font().pixelSize() * 72.0 / 96.0))));
    }
    const QFontMetrics printer(printerFont, &device);
    const QFontMetrics screen(font());
    const double scaleX =
        double(printer.horizontalAdvance("Wg")) / std::max(1, screen.horizontalAdvance("Wg"));
    const double scaleY = double(printer.height()) / std::max(1, screen.height());
    const Network& net = designer_.Net();
    return paint::PrintPropertyTableOn(device, GridsToPrint(), scaleX, scaleY, !net.singleModemMode,
                                       net.properties.accepted.name, font());
}

void Tarvotaulu::PrintProTable() {
    if (tabs_.empty()) return;
    QPagedPaintDevice* device = nullptr;
    if (askPrinter && askPrinter(device) && device) PrintOn(*device);
}

void Tarvotaulu::CloseWindow() {
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) {
        sub->close();
    } else {
        close();
    }
}

void Tarvotaulu::closeEvent(QCloseEvent* event) {
    emit Closed();
    QWidget::closeEvent(event);
}

}  // namespace kelmor::designer::ui
