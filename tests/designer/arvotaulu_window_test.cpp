// The property table window and the designer's print commands, driven offscreen: menus by
// their captions, keys, the clipboard, the saved file, and the printed PDF read back.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPrinter>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "designer/network.h"
#include "designer/propertytable.h"
#include "designer/ui/arvotaulu.h"
#include "designer/ui/piirtopohja.h"
#include "designer/ui/printcommands.h"
#include "designer/ui/prjominaisuus.h"
#include "fakeshellservices.h"
#include "modemcfg/definition.h"
#include "modemcfg/ui/tominaisuus.h"
#include "platform/inifile.h"
#include "platform/programdir.h"

namespace kelmor::designer::ui {
namespace {

std::string Home(const std::string& name) { return platform::ProgramDir() + "/" + name; }

std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

std::string PdfText(const std::string& path) { return Shell("pdftotext -layout '" + path + "' -"); }

// A definition with its integrity number, so that opening the form shows no message.
void InstallType(const std::string& name, const std::string& parameters) {
    std::string text =
        "[Version]\r\nName=" + name +
        "\r\nVersion number=1\r\nKelmor ini=test\r\nNumber=0\r\n\r\n[Properties]\r\n" + parameters;
    ASSERT_TRUE(platform::WriteFileAtomic(Home(name + ".smf"), text));
    const int number = modemcfg::ComputeIntegrity(platform::ProgramDir(), name + ".smf").computed;
    text.replace(text.find("Number=0"), 8, "Number=" + std::to_string(number));
    ASSERT_TRUE(platform::WriteFileAtomic(Home(name + ".smf"), text));
}

class PropertyTableWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::remove(platform::SettingsPath());
        InstallType("KL450", "B01=Channel\r\nB01_v=3\r\nS01=Station\r\nS01_v=3\r\n");
        InstallType("KL160", "M01=Echo\r\nM01_v=3\r\n");
        window = std::make_unique<Tpiirtopohja>(shell, false);
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->resize(900, 700);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        QApplication::processEvents();
        QApplication::processEvents();
        if (auto* d = window->findChild<Tprj_ominaisuus*>(); d && d->isVisible()) {
            d->CancelBtnClick();
        }
        shell.prompter.Clear();
        printing = dynamic_cast<PrintCommands*>(&window->Printing());
        ASSERT_NE(printing, nullptr);
    }
    void TearDown() override {
        if (window) {
            window->Net().modified = false;
            window->close();
        }
    }
    TKuvio& Add(const std::string& name, const std::string& type, uint16_t system,
                const std::string& channel = "0") {
        TKuvio& n = window->Net().NewNode(Kind::Plain, type, 40 * system, 30 * system);
        n.isNew = false;
        n.name = name;
        n.systemAddress = system;
        n.SetAddress("A" + std::to_string(system));
        if (type == "KL450") {
            n.PutParameter('B', '0', true, true, channel);
            n.PutParameter('S', '0', true, true, "St" + name);
        }
        return n;
    }
    void Trigger(const char* action) {
        window->UpdateMenus();
        QAction* a = window->Action(action);
        ASSERT_NE(a, nullptr) << action;
        ASSERT_TRUE(a->isEnabled()) << action;
        a->trigger();
        QApplication::processEvents();
    }
    Tarvotaulu* OpenTable() {
        Trigger("PropTable1");
        if (Tarvotaulu* table = printing->Table()) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(table));
            QApplication::processEvents();
        }
        return printing->Table();
    }
    // Every print goes to a PDF file instead of the print dialog.
    void PrintToPdf(const std::string& path) {
        pdf = std::make_unique<QPrinter>(QPrinter::HighResolution);
        pdf->setOutputFormat(QPrinter::PdfFormat);
        pdf->setOutputFileName(QString::fromStdString(path));
        printing->askPrinter = [this](const PrintJob& job, QPagedPaintDevice*& device) {
            jobs.push_back(job.title);
            device = pdf.get();
            return true;
        };
    }

    testing::FakeShellServices shell;
    std::unique_ptr<Tpiirtopohja> window;
    PrintCommands* printing = nullptr;
    std::unique_ptr<QPrinter> pdf;
    std::vector<std::string> jobs;
};

std::vector<std::string> Row(QTableWidget* grid, int row) {
    std::vector<std::string> cells;
    for (int c = 0; c < grid->columnCount(); ++c) {
        cells.push_back(grid->item(row, c)->text().toStdString());
    }
    return cells;
}

TEST_F(PropertyTableWindow, TabsPerTypeColumnsInNetworkOrderAndMenus) {
    Add("north", "KL450", 1, "3");
    Add("echo", "KL160", 2);
    Add("south", "KL450", 3, "9");
    Tarvotaulu* table = OpenTable();
    ASSERT_NE(table, nullptr);
    EXPECT_TRUE(table->isVisible());
    EXPECT_EQ(table->windowTitle(), "Property table of all the modems");
    QTabWidget* tabs = table->TabControl();
    ASSERT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->tabText(0), "KL450");
    EXPECT_EQ(tabs->tabText(1), "KL160");
    QTableWidget* grid = table->Grid(0);
    EXPECT_EQ(Row(grid, 0), (std::vector<std::string>{"Modem name:", "north", "south"}));
    EXPECT_EQ(Row(grid, 2), (std::vector<std::string>{"Modem address:", "0001", "0003"}));
    EXPECT_EQ(Row(grid, 3), (std::vector<std::string>{"Channel:", "3", "9"}));
    EXPECT_EQ(Row(table->Grid(1), 3), (std::vector<std::string>{"Echo", "<OFF>"}));
    // Every column is wide enough for its widest cell.
    const QFontMetrics fm(grid->font());
    EXPECT_GE(grid->columnWidth(0), fm.horizontalAdvance("Modem address:"));

    struct Item {
        const char* name;
        const char* caption;
        const char* hint;
    };
    for (const Item& i :
         {Item{"PrintProTable1", "&Print pro table", "Print propertytable as is. "},
          Item{"Closeprotable1", "&Close pro table", "Close propertytable."},
          Item{"Saveastextfile1", "&Save as text file...",
               "Save grid to textfile for further use."},
          Item{"Exit1", "&Exit", "Exit Kelmor program."},
          Item{"Copy1", "&Copy", "Copy selected area."},
          Item{"Selectall1", "Select &all", "Select all cells (including gray cells)."}}) {
        QAction* a = table->Action(i.name);
        ASSERT_NE(a, nullptr) << i.name;
        EXPECT_EQ(a->text(), i.caption);
        EXPECT_EQ(a->statusTip(), i.hint);
    }
    EXPECT_EQ(table->Action("Copy1")->shortcut(), QKeySequence("Ctrl+C"));

    // The command again brings the same table forward.
    EXPECT_EQ(OpenTable(), table);
}

TEST_F(PropertyTableWindow, CopyOfASelectionAndSelectAllGoToTheClipboardAsCells) {
    Add("a", "KL450", 1, "5");
    Add("b", "KL450", 2, "6");
    Tarvotaulu* table = OpenTable();
    QTableWidget* grid = table->Grid(0);
    grid->setFocus();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualRect(grid->model()->index(3, 1)).center());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      grid->visualRect(grid->model()->index(4, 2)).center());
    QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "5\t6\r\nSta\tStb\r\n\r\n");

    table->Action("Selectall1")->trigger();
    table->Action("Copy1")->trigger();
    const std::string all = QApplication::clipboard()->text().toStdString();
    EXPECT_EQ(all.rfind("Modem name:\ta\tb\r\n", 0), 0u) << all;
    EXPECT_NE(all.find("Station:\tSta\tStb\r\n\r\n"), std::string::npos) << all;
}

TEST_F(PropertyTableWindow, SaveAsTextFileRoundTripsTheCells) {
    Add("a", "KL450", 1, "5");
    Add("e", "KL160", 2);
    Tarvotaulu* table = OpenTable();
    const std::string path = Home("grid.txt");
    table->askSavePath = [&] { return path; };
    table->Action("Saveastextfile1")->trigger();
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(text.rfind("Modem type KL450\r\nModem name:\ta\r\n", 0), 0u) << text;
    auto back = ParseTableText(text);
    ASSERT_EQ(back.size(), 2u);
    for (int t = 0; t < 2; ++t) {
        QTableWidget* grid = table->Grid(t);
        ASSERT_EQ(static_cast<int>(back[t].cells.size()), grid->rowCount());
        for (int r = 0; r < grid->rowCount(); ++r) EXPECT_EQ(back[t].cells[r], Row(grid, r));
    }
    // A cancelled dialog writes nothing.
    std::filesystem::remove(path);
    table->askSavePath = [] { return std::string(); };
    table->Action("Saveastextfile1")->trigger();
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(PropertyTableWindow, RefreshShowsNewValuesAndCloseGivesTheDesignerItsStateBack) {
    TKuvio& a = Add("a", "KL450", 1, "5");
    window->showMaximized();
    QApplication::processEvents();
    Tarvotaulu* table = OpenTable();
    EXPECT_FALSE(window->isMaximized());
    a.name = "renamed";
    window->Printing().RefreshPropertyTable();
    EXPECT_EQ(Row(table->Grid(0), 0)[1], "renamed");

    QPointer<Tarvotaulu> watch = table;
    table->Action("Closeprotable1")->trigger();
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(watch.isNull());
    EXPECT_EQ(printing->Table(), nullptr);
    EXPECT_TRUE(window->windowState() & Qt::WindowMaximized);
}

TEST_F(PropertyTableWindow, DoubleClickOpensTheColumnsNodeAndAcceptingRefreshesTheTable) {
    Add("north", "KL450", 1, "3");
    Add("south", "KL450", 2, "4");
    Tarvotaulu* table = OpenTable();
    QTableWidget* grid = table->Grid(0);
    auto* form = window->findChild<modemcfg::ui::Tominaisuus*>();
    ASSERT_NE(form, nullptr);

    // Press, release, double click, release: what a mouse sends the grid.
    auto doubleClick = [&](int row, int column) {
        QWidget* viewport = grid->viewport();
        const QPoint at = grid->visualRect(grid->model()->index(row, column)).center();
        QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
        QMouseEvent dbl(QEvent::MouseButtonDblClick, at, viewport->mapToGlobal(at), Qt::LeftButton,
                        Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &dbl);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
        QApplication::processEvents();
    };
    // Column 0 holds captions: nothing opens.
    doubleClick(1, 0);
    EXPECT_FALSE(form->isVisible());

    doubleClick(1, 2);
    ASSERT_TRUE(form->isVisible());
    ASSERT_TRUE(form->HasNode());
    EXPECT_EQ(form->Node()->name, "south");

    form->findChild<QLineEdit*>("nimi")->setText("west");
    form->Accept();
    QApplication::processEvents();
    EXPECT_EQ(Row(printing->Table()->Grid(0), 0),
              (std::vector<std::string>{"Modem name:", "north", "west"}));
}

TEST_F(PropertyTableWindow, EmptyNetworkGivesAnEmptyTable) {
    Tarvotaulu* table = OpenTable();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->TabControl()->count(), 0);
    EXPECT_FALSE(table->TabControl()->isVisible());
    EXPECT_EQ(table->windowTitle(), "Property table of all the modems");
}

TEST_F(PropertyTableWindow, DesignerPrintCommandsWriteTheThreeDocuments) {
    window->Net().properties.accepted.name = "Harbour";
    TKuvio& a = Add("north", "KL450", 1, "3");
    Add("echo", "KL160", 2);

    const std::string graph = Home("graph.pdf");
    PrintToPdf(graph);
    Trigger("Drawing1");
    ASSERT_TRUE(std::filesystem::exists(graph));
    std::string text = PdfText(graph);
    EXPECT_NE(text.find("Project Harbour"), std::string::npos) << text;
    EXPECT_NE(text.find("north"), std::string::npos);
    EXPECT_NE(Shell("pdfinfo '" + graph + "'").find("842 x 595"), std::string::npos);

    const std::string all = Home("all.pdf");
    PrintToPdf(all);
    Trigger("Properties1");
    text = PdfText(all);
    for (const char* line : {"Project Harbour", "Modem name: north", "Channel: 3",
                             "Station: Stnorth", "Modem name: echo", "Echo <OFF>"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line;
    }

    const std::string one = Home("one.pdf");
    PrintToPdf(one);
    window->Net().activeNode = &a;
    Trigger("Print2");
    text = PdfText(one);
    EXPECT_NE(text.find("Modem name: north"), std::string::npos) << text;
    EXPECT_EQ(text.find("echo"), std::string::npos);
    EXPECT_EQ(jobs, (std::vector<std::string>{"Harbour", "List of modem properties",
                                              "Properties of modem"}));

    // The table prints as it stands, one tab after the other.
    Tarvotaulu* table = OpenTable();
    const std::string grid = Home("grid.pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(grid));
    table->askPrinter = [&](QPagedPaintDevice*& device) {
        device = &printer;
        return true;
    };
    table->Action("PrintProTable1")->trigger();
    text = PdfText(grid);
    EXPECT_NE(text.find("Project: Harbour Modem type KL450 page 1"), std::string::npos) << text;
    EXPECT_NE(text.find("Modem type KL160 page 2"), std::string::npos) << text;
    EXPECT_NE(text.find("Stnorth"), std::string::npos);
}

TEST_F(PropertyTableWindow, AllModemsOfAnEmptyNetworkAsksForNoPrinter) {
    PrintToPdf(Home("none.pdf"));
    printing->PrintAllProperties();
    EXPECT_TRUE(jobs.empty());
    EXPECT_FALSE(std::filesystem::exists(Home("none.pdf")));
    EXPECT_EQ(shell.prompter.Count(), 0u);
}

}  // namespace
}  // namespace kelmor::designer::ui
