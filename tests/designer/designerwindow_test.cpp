// The designer window driven with mouse and key events, offscreen.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QMenu>
#include <QScrollArea>
#include <QTest>
#include <filesystem>

#include "designer/paint/graphpainter.h"
#include "designer/projectfile.h"
#include "designer/ui/designercanvas.h"
#include "designer/ui/piirtopohja.h"
#include "designer/ui/prjominaisuus.h"
#include "fakeshellservices.h"
#include "modemcfg/definition.h"
#include "platform/inifile.h"
#include "platform/programdir.h"

namespace kelmor::designer::ui {
namespace {

using platform::Answer;

std::string Home(const std::string& name) { return platform::ProgramDir() + "/" + name; }

// A definition file the catalogue accepts, in the program folder.
void InstallType(const std::string& name, bool routable = true) {
    std::string text = "[Version]\r\nName=" + name +
                       "\r\nVersion number=1\r\nSettings=9600,8,N,1\r\nKelmor ini=test\r\n";
    if (!routable) text += "Routable=false\r\n";
    text += "Number=0\r\n\r\n[Properties]\r\nB01=Channel\r\nB01_v=3\r\n";
    ASSERT_TRUE(platform::WriteFileAtomic(Home(name + ".smf"), text));
    // With its integrity number, so that no corruption message comes up.
    const int number = modemcfg::ComputeIntegrity(platform::ProgramDir(), name + ".smf").computed;
    text.replace(text.find("Number=0"), 8, "Number=" + std::to_string(number));
    ASSERT_TRUE(platform::WriteFileAtomic(Home(name + ".smf"), text));
}

class DesignerWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::remove(platform::SettingsPath());  // no recent files of other tests
        std::filesystem::remove(Home("KL450.ssf"));
        InstallType("KL450");
        InstallType("KL160", false);
    }
    void Open(bool single = false) {
        window = std::make_unique<Tpiirtopohja>(shell, single);
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        // Never a real file dialog in a test: cancelled unless the test chooses a file.
        window->fileDialog = [](const FileDialogRequest&) { return std::optional<std::string>(); };
        window->resize(900, 700);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        QApplication::processEvents();  // the first show
        QApplication::processEvents();
        canvas = window->Canvas();
        // The first show of a new project shows its properties; the user cancels them.
        if (auto* d = window->findChild<Tprj_ominaisuus*>(); d && d->isVisible()) {
            d->CancelBtnClick();
        }
        shell.prompter.Clear();
    }
    void TearDown() override {
        if (window) {
            window->Net().modified = false;
            window->close();
            window.reset();
        }
    }
    Network& Net() { return window->Net(); }
    // The type entry of a sub-menu ("Luouusi2", ...).
    void CreateFrom(const char* menu, int index = 0) {
        window->UpdateMenus();
        QAction* a = window->Menu(menu)->actions().at(index);
        ASSERT_TRUE(a->isEnabled() && window->Action(menu)->isEnabled()) << menu;
        a->trigger();
    }
    void Click(QPoint p, Qt::MouseButton b = Qt::LeftButton) {
        QTest::mouseMove(canvas, p);
        QTest::mouseClick(canvas, b, {}, p);
        QApplication::processEvents();
    }
    void Drag(QPoint from, QPoint to) {
        QTest::mouseMove(canvas, from);
        QTest::mousePress(canvas, Qt::LeftButton, {}, from);
        QTest::mouseMove(canvas, to);
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, to);
        QApplication::processEvents();
    }
    // Creates a plain node from the Modem menu and places it with its label at (x, y).
    TKuvio& Place(int x, int y, const char* menu = "Luouusi2") {
        CreateFrom(menu);
        QTest::mouseMove(canvas, QPoint(x + 15, y + 25));
        QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(x + 15, y + 25));
        QApplication::processEvents();
        TKuvio& node = *Net().nodes.back();
        EXPECT_FALSE(window->Editor().placing);
        return node;
    }
    QPoint Picture(const TKuvio& n) { return QPoint(n.left + 15, n.top + 25); }
    void ClosePopups() {
        for (const char* name : {"PopupMenu1", "PopupMenu2"}) window->Menu(name)->hide();
    }

    testing::FakeShellServices shell;
    std::unique_ptr<Tpiirtopohja> window;
    QWidget* canvas = nullptr;
};

TEST_F(DesignerWindowTest, CreatesAtTheMenuPointsPlacesAndLocksTheToolButtons) {
    Open();
    EXPECT_TRUE(shell.locks.Locked(shell::ToolButton::Drawing));
    EXPECT_TRUE(shell.locks.Locked(shell::ToolButton::MultiFlash2));
    EXPECT_FALSE(shell.locks.Locked(shell::ToolButton::Copy));
    // Only the routable type is offered in routing mode.
    EXPECT_EQ(window->ModemTypes(), std::vector<std::string>{"KL450"});
    EXPECT_EQ(window->Menu("Luouusi2")->actions().at(0)->statusTip(), "modem KL450");

    // From the main menu: label at (15, 25), following the mouse until a click places it.
    CreateFrom("Luouusi2");
    ASSERT_EQ(Net().nodes.size(), 1u);
    TKuvio& first = *Net().nodes[0];
    EXPECT_EQ(first.LabelLeft(), 15);
    EXPECT_EQ(first.LabelTop(), 25);
    EXPECT_TRUE(window->Editor().placing);
    EXPECT_EQ(canvas->cursor().shape(), Qt::SizeAllCursor);
    QTest::mouseMove(canvas, QPoint(115, 125));
    EXPECT_EQ(first.LabelLeft(), 100);
    EXPECT_EQ(first.LabelTop(), 100);
    QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(115, 125));
    EXPECT_FALSE(window->Editor().placing);
    EXPECT_EQ(first.systemAddress, 1);
    // The end of placing opens the properties form (or says that this build has none).
    bool formShown = false;
    for (QWidget* w : QApplication::allWidgets()) {
        formShown |= w->objectName() == "Tominaisuus" && w->isVisible();
    }
    EXPECT_TRUE(formShown ||
                shell.prompter.Texts() == std::vector<std::string>{kNotAvailableText});

    // From the canvas pop-up: label 15 left of and 25 above the right click.
    Click(QPoint(400, 300), Qt::RightButton);
    ASSERT_TRUE(window->Menu("PopupMenu1")->isVisible());
    window->Menu("Luouusi1")->actions().at(0)->trigger();
    ClosePopups();
    TKuvio& second = *Net().nodes.back();
    EXPECT_EQ(second.LabelLeft(), 385);
    EXPECT_EQ(second.LabelTop(), 275);
    EXPECT_EQ(second.systemAddress, 2);
    EXPECT_TRUE(Net().modified);

    // Enter places it; Escape then leaves the window as it was.
    QTest::keyClick(canvas, Qt::Key_Return);
    EXPECT_FALSE(window->Editor().placing);
}

TEST_F(DesignerWindowTest, DragStartsOnlyPastFivePixels) {
    Open();
    TKuvio& n = Place(100, 100);
    const QPoint at = Picture(n);
    Drag(at, at + QPoint(5, -5));
    EXPECT_EQ(n.LabelLeft(), 100);
    EXPECT_EQ(n.LabelTop(), 100);
    EXPECT_EQ(Net().activeNode, &n);
    Drag(at, at + QPoint(40, 6));
    EXPECT_EQ(n.LabelLeft(), 140);
    EXPECT_EQ(n.LabelTop(), 106);
    EXPECT_FALSE(window->Editor().placing);
    EXPECT_EQ(canvas->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(DesignerWindowTest, ConnectFromThePopupAndInConnectModeRefusingAMobileModem) {
    Open();
    TKuvio& a = Place(50, 50);
    TKuvio& b = Place(300, 60);
    TKuvio& c = Place(60, 300);
    shell.prompter.Clear();

    // Pop-up "&Connect", then a click on the target.
    Click(Picture(a), Qt::RightButton);
    ASSERT_TRUE(window->Menu("PopupMenu2")->isVisible());
    window->Action("Viiva1")->trigger();
    ClosePopups();
    EXPECT_TRUE(window->Editor().lineMode);
    QTest::mouseMove(canvas, Picture(b));
    Click(Picture(b));
    EXPECT_EQ(b.routeParent, &a);
    EXPECT_FALSE(window->Editor().lineMode);

    // Connect mode: the click on the source keeps the band, the next click completes it.
    window->UpdateMenus();
    ASSERT_TRUE(window->Action("Yhdist1")->isEnabled());
    window->Action("Yhdist1")->trigger();
    Click(Picture(a));
    EXPECT_TRUE(window->Editor().lineMode);
    Click(Picture(c));
    EXPECT_EQ(c.routeParent, &a);
    EXPECT_FALSE(window->Editor().lineMode);

    // A mobile modem (shown in the mobile view) ends connect mode with the message.
    window->Action("MobileRoutes1")->trigger();
    ASSERT_TRUE(Net().mobileView);
    TKuvio& car = Place(400, 300, "NewMobile1");
    EXPECT_TRUE(car.isMobile);
    shell.prompter.Clear();
    window->Action("Yhdist1")->trigger();
    Click(Picture(car));
    EXPECT_EQ(shell.prompter.Texts(),
              std::vector<std::string>{"Mobile modem can't be in middle of route"});
    EXPECT_FALSE(window->Editor().connectMode || window->Editor().lineMode);
    // The node pop-up does not offer "&Connect" on it either.
    Click(Picture(car), Qt::RightButton);
    EXPECT_FALSE(window->Action("Viiva1")->isEnabled());
    ClosePopups();

    // Back in the normal view the mobile modem is neither drawn nor hit.
    window->Action("MobileRoutes1")->trigger();
    auto* dc = static_cast<DesignerCanvas*>(canvas);
    EXPECT_EQ(dc->NodeAt(Picture(car)), nullptr);
    EXPECT_EQ(dc->NodeAt(Picture(a)), &a);
}

TEST_F(DesignerWindowTest, DeleteAsksCopyFollowsTheMouseMasterFromThePopup) {
    Open();
    TKuvio& a = Place(50, 50);
    Place(300, 60);
    shell.prompter.Clear();

    // Delete mode: No keeps the modem, Yes deletes it.
    shell.prompter.Script({Answer::No});
    window->Action("Poista2")->trigger();
    Click(Picture(*Net().nodes[1]));
    EXPECT_EQ(Net().nodes.size(), 2u);
    shell.prompter.Script({Answer::Yes});
    window->Action("Poista2")->trigger();
    Click(Picture(*Net().nodes[1]));
    EXPECT_EQ(Net().nodes.size(), 1u);
    EXPECT_EQ(shell.prompter.Texts(),
              std::vector<std::string>(2, "Do you want to delete this modem ?"));

    // Copy mode: the copy follows the mouse until a click places it.
    Click(Picture(a));
    window->Action("Copy2")->trigger();
    Click(Picture(a));
    ASSERT_EQ(Net().nodes.size(), 2u);
    TKuvio& copy = *Net().nodes[1];
    EXPECT_TRUE(window->Editor().placing);
    QTest::mouseMove(canvas, QPoint(415, 425));
    Click(QPoint(415, 425));
    EXPECT_EQ(copy.LabelLeft(), 400);
    EXPECT_EQ(copy.LabelTop(), 400);
    EXPECT_EQ(copy.typeName, "KL450.smf");

    // Master from the node pop-up; the pop-up then refuses it again.
    Click(Picture(a), Qt::RightButton);
    ASSERT_TRUE(window->Action("Master1")->isEnabled());
    window->Action("Master1")->trigger();
    ClosePopups();
    EXPECT_EQ(Net().masterNode, &a);
    Click(Picture(a), Qt::RightButton);
    EXPECT_FALSE(window->Action("Master1")->isEnabled());
    ClosePopups();

    // Delete key on the active node.
    shell.prompter.Script({Answer::Yes});
    Click(Picture(copy));
    QTest::keyClick(canvas, Qt::Key_Delete);
    EXPECT_EQ(Net().nodes.size(), 1u);
}

TEST_F(DesignerWindowTest, InsertRepeatsTheTypeWithoutReadingItsDefaultFileAgain) {
    // A default single-modem file for the type: its parameters go into the first new node.
    {
        std::string part;
        TKuvio node;
        node.typeName = "KL450";
        node.PutParameter('B', '1', true, true, "7");
        WriteTo(part, node, true);
        ASSERT_TRUE(platform::WriteFileAtomic(Home("KL450.ssf"), part));
    }
    Open();
    CreateFrom("Luouusi2");
    QTest::keyClick(canvas, Qt::Key_Insert);
    QTest::keyClick(canvas, Qt::Key_Insert);
    ASSERT_EQ(Net().nodes.size(), 3u);
    EXPECT_EQ(Net().nodes[0]->parameters.size(), 1u);
    EXPECT_TRUE(Net().nodes[1]->parameters.empty());
    EXPECT_TRUE(Net().nodes[2]->parameters.empty());
    EXPECT_EQ(Net().nodes[2]->typeName, "KL450");
    EXPECT_EQ(Net().nodes[2]->systemAddress, 3);
}

TEST_F(DesignerWindowTest, MenuEnablingWithAndWithoutAnActiveNodeInBothModes) {
    struct Expect {
        const char* item;
        bool enabled;
    };
    auto check = [this](std::initializer_list<Expect> expects) {
        window->UpdateMenus();
        for (const Expect& e : expects) {
            EXPECT_EQ(window->Action(e.item)->isEnabled(), e.enabled) << e.item;
        }
    };
    Open();
    check({{"Luouusi2", true},
           {"NewMobile1", false},
           {"Yhdist1", false},
           {"Poista2", false},
           {"Master2", false},
           {"Ominaisuudet4", false},
           {"LataaModeemi1", false},
           {"Haearvot1", false},
           {"Lhetarvot1", false},
           {"NytReitti2", false}});
    EXPECT_FALSE(window->Action("Printproperties1")->isVisible());
    EXPECT_FALSE(window->Action("Reitit1")->isVisible());
    EXPECT_FALSE(window->Action("Suojaustaso1")->isVisible());
    EXPECT_EQ(window->Action("Uusi1")->text(), "&New project...");
    TKuvio& n = Place(40, 40);
    check({{"Yhdist1", true},
           {"Poista2", true},
           {"Copy2", true},
           {"Master2", true},
           {"Ominaisuudet4", true},
           {"TallennaModeemi1", true},
           {"NytReitti2", true},
           {"Haearvot1", true},
           {"Lhetarvot1", true}});
    n.SetKind(Kind::Multi);
    check({{"Master2", false}});
    Net().activeNode = nullptr;
    check({{"Poista2", true}, {"Master2", false}, {"Copy2", false}, {"Ominaisuudet4", false}});
    window->Net().modified = false;
    window->close();
    window.reset();

    // Single-modem mode: its own captions, one modem at most, no links.
    Open(true);
    EXPECT_EQ(window->Action("Uusi1")->text(), "&New single");
    EXPECT_EQ(window->Action("Tallennanimell1")->text(), "S&ave single as...");
    EXPECT_FALSE(window->Action("Print1")->isVisible());
    EXPECT_FALSE(window->Action("Projekti1")->isVisible());
    EXPECT_TRUE(shell.locks.Locked(shell::ToolButton::Paste));
    // Both types are offered outside routing mode.
    EXPECT_EQ(window->ModemTypes().size(), 2u);
    check({{"Luouusi2", true}, {"Yhdist1", false}, {"Poista2", false}});
    TKuvio& single = Place(40, 40);
    EXPECT_EQ(single.name, "");
    check({{"Luouusi2", false},
           {"Yhdist1", false},
           {"Copy2", false},
           {"Master2", false},
           {"NytReitti2", false},
           {"Poista2", true},
           {"Ominaisuudet4", true}});
    Click(Picture(single), Qt::RightButton);
    check({{"Viiva1", false},
           {"Copy1", false},
           {"Master1", false},
           {"Nytreitti1", false},
           {"Deleteconnection1", false},
           {"Poista1", true}});
    ClosePopups();
    Click(QPoint(500, 400), Qt::RightButton);
    check({{"Luouusi1", false}, {"NewMobile2", false}, {"Ominaisuudet1", false}});
    ClosePopups();
}

TEST_F(DesignerWindowTest, SaveOpenRoundTripAndTheSaveQuestionsThreeAnswers) {
    Open();
    TKuvio& a = Place(50, 50);
    TKuvio& b = Place(300, 80);
    a.name = "Base";
    Net().SetMaster(&a);
    Net().Connect(&a, &b);
    const std::string path = Home("harbour.spf");
    std::vector<FileDialogRequest> asked;
    window->fileDialog = [&](const FileDialogRequest& r) -> std::optional<std::string> {
        asked.push_back(r);
        return path;
    };
    window->SaveClick();  // not named yet: Save as
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].title, "Save project as");
    EXPECT_EQ(window->windowTitle().toStdString(), "Project:  | file: " + path);
    std::string first;
    ASSERT_TRUE(platform::ReadFileBytes(path, first));

    window->NewClick();
    window->findChild<Tprj_ominaisuus*>()->CancelBtnClick();
    EXPECT_TRUE(Net().nodes.empty());
    window->OpenClick();
    ASSERT_EQ(Net().nodes.size(), 2u);
    EXPECT_EQ(Net().nodes[1]->routeParent, Net().nodes[0].get());
    EXPECT_EQ(Net().masterNode, Net().nodes[0].get());
    EXPECT_TRUE(Net().routesDirty);
    EXPECT_EQ(window->Action("File1"), nullptr);  // the open file is "Latest", not listed
    window->SaveClick();                          // named now: no dialog
    EXPECT_EQ(asked.size(), 2u);
    std::string second;
    ASSERT_TRUE(platform::ReadFileBytes(path, second));
    EXPECT_EQ(first, second);

    // The save question on close: Cancel keeps the window, Yes saves through the dialog,
    // No drops the work.
    Net().nodes[0]->name = "Changed";
    Net().modified = true;
    shell.prompter.Clear();
    shell.prompter.Script({Answer::Cancel});
    window->close();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(shell.prompter.Texts(), std::vector<std::string>{"Save changes to file ?"});
    shell.prompter.Script({Answer::Yes});
    window->close();
    EXPECT_FALSE(window->isVisible());
    ASSERT_TRUE(platform::ReadFileBytes(path, second));
    EXPECT_NE(second.find("Changed"), std::string::npos);
    EXPECT_FALSE(shell.locks.Locked(shell::ToolButton::Drawing));

    Open();  // the latest file comes back at the first show
    ASSERT_EQ(Net().nodes.size(), 2u);
    Net().nodes[0]->name = "Dropped";
    Net().modified = true;
    shell.prompter.Script({Answer::No});
    window->close();
    EXPECT_FALSE(window->isVisible());
    ASSERT_TRUE(platform::ReadFileBytes(path, second));
    EXPECT_EQ(second.find("Dropped"), std::string::npos);
}

TEST_F(DesignerWindowTest, ShowRouteTogglesTheMastersPanelAndEscapeHidesIt) {
    Open();
    TKuvio& m = Place(50, 50);
    TKuvio& a = Place(300, 60);
    Net().SetMaster(&m);
    m.SetAddress("F0");
    a.SetAddress("A1");
    Net().Connect(&m, &a);
    auto panels = [this] {
        int shown = 0;
        for (auto* p : canvas->findChildren<QListWidget*>()) shown += p->isVisible();
        return shown;
    };
    Click(Picture(m), Qt::RightButton);
    EXPECT_EQ(window->Action("Nytreitti1")->text(), "&Show route");
    window->Action("Nytreitti1")->trigger();
    ClosePopups();
    ASSERT_EQ(panels(), 1);
    auto* panel = canvas->findChild<QListWidget*>();
    ASSERT_EQ(panel->count(), 1);
    EXPECT_EQ(panel->item(0)->text(), "000000A1 0002");
    Click(Picture(m), Qt::RightButton);
    EXPECT_EQ(window->Action("Nytreitti1")->text(), "&Hide route");
    ClosePopups();
    QTest::keyClick(canvas, Qt::Key_Escape);
    EXPECT_EQ(panels(), 0);

    // A node under the master shows its route as a message.
    shell.prompter.Clear();
    Click(Picture(a), Qt::RightButton);
    window->Action("Nytreitti1")->trigger();
    ClosePopups();
    EXPECT_EQ(shell.prompter.Texts(), std::vector<std::string>{"Route\r\n000000A1 0002"});
}

TEST_F(DesignerWindowTest, ProjectPropertiesDialogAcceptsIntoTheTitle) {
    Open();
    window->ShowProjectProperties();
    auto* dialog = window->findChild<Tprj_ominaisuus*>();
    ASSERT_TRUE(dialog->isVisible());
    dialog->nimi->setText("Harbour");
    dialog->virtualRouting->click();
    EXPECT_TRUE(Net().routesDirty);
    QTest::mouseClick(dialog->findChild<QWidget*>("OKBtn"), Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(window->windowTitle(), "Project: Harbour");
    EXPECT_TRUE(Net().properties.IsVirtualRouting());
    window->UpdateMenus();
    EXPECT_FALSE(window->Action("MobileRoutes1")->isEnabled());
}

}  // namespace
}  // namespace kelmor::designer::ui
