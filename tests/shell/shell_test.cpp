// The main window: settings, command line, tool buttons, the terminal list and port hand-over.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QThread>
#include <memory>

#include "designer/ui/piirtopohja.h"
#include "fakeprompter.h"
#include "platform/inifile.h"
#include "platform/programdir.h"
#include "ptypair.h"
#include "shell/shellservices.h"
#include "shell/shellsettings.h"
#include "shell/ui/pohja.h"
#include "terminal/ui/portinasetus.h"
#include "terminal/ui/terminaali.h"

using namespace kelmor;
using kelmor::shell::TPohjafrm;
using kelmor::terminal::TerminalPortSettings;
using kelmor::terminal::Tportinasetus;
using kelmor::terminal::Tterminaali;
using kelmor::testing::FakePrompter;
using kelmor::testing::PtyPair;

namespace {

template <class F>
bool WaitFor(F condition, int ms = 3000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

void Settle(int ms = 50) {
    WaitFor([] { return false; }, ms);
}

class ShellTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::SetDefaultPrompter(&prompter);
        ::unlink(platform::SettingsPath().c_str());
    }
    void TearDown() override {
        main.reset();
        for (int n = 1; n <= 16; ++n) unsetenv(("KELMOR_COM" + std::to_string(n)).c_str());
        platform::SetDefaultPrompter(nullptr);
    }

    TPohjafrm& Main(std::vector<std::string> args = {}) {
        main = std::make_unique<TPohjafrm>(std::move(args));
        main->show();
        return *main;
    }

    // COM n on a fresh pty.
    PtyPair& Port(int n) {
        ptys.push_back(std::make_unique<PtyPair>());
        setenv(("KELMOR_COM" + std::to_string(n)).c_str(), ptys.back()->SlavePath().c_str(), 1);
        return *ptys.back();
    }

    // Opens a terminal on COM n (index n-1) through its first settings dialog.
    Tterminaali* OpenTerminal(int n, std::function<void(TerminalPortSettings&)> change = {}) {
        main->PortSettingsDialog().runner = [n, change](Tportinasetus& d) {
            TerminalPortSettings s = d.Values();
            s.serialPort = n - 1;
            if (change) change(s);
            d.SetValues(s);
            d.OKClick();
            return static_cast<int>(QDialog::Accepted);
        };
        Tterminaali* t = main->OpenTerminalWindow();
        QPointer<Tterminaali> guard(t);
        WaitFor([&] { return !guard || t->windowTitle() != "Terminal"; });
        Settle();
        return guard ? t : nullptr;
    }

    int WindowEntries() const { return static_cast<int>(main->WindowMenu()->actions().size()) - 5; }
    int Slots() const {
        int n = 0;
        for (const auto* slot : main->Registry().Slots()) n += slot ? 1 : 0;
        return n;
    }
    bool Enabled(const char* button) const { return main->Button(button)->isEnabled(); }

    FakePrompter prompter;
    std::vector<std::unique_ptr<PtyPair>> ptys;
    std::unique_ptr<TPohjafrm> main;
};

}  // namespace

TEST_F(ShellTest, FirstStartWithoutSettingsOpensMaximisedAndClosingWritesOnlyWindowState) {
    TPohjafrm& w = Main();
    EXPECT_EQ(w.windowTitle().toStdString(), "ZORVALINK Kelmor 4.0.7");
    EXPECT_TRUE(w.windowState() & Qt::WindowMaximized);
    w.close();
    platform::IniFile ini(platform::SettingsPath());
    EXPECT_EQ(ini.ReadSection("Start Position"), std::vector<std::string>{"WindowState"});
    EXPECT_EQ(ini.ReadInteger("Start Position", "WindowState", -1), 2);
    EXPECT_FALSE(ini.SectionExists("Testi"));
}

TEST_F(ShellTest, NormalPositionRoundTripsAndMaximisedKeepsIt) {
    platform::IniFile ini(platform::SettingsPath());
    ASSERT_TRUE(ini.WriteStrings("Start Position", {{"WindowState", "0"},
                                                    {"Left", "30"},
                                                    {"Top", "40"},
                                                    {"Width", "700"},
                                                    {"Height", "500"}}));
    TPohjafrm& w = Main();
    EXPECT_FALSE(w.windowState() & Qt::WindowMaximized);
    EXPECT_EQ(w.width(), 700);
    EXPECT_EQ(w.height(), 500);
    w.close();
    EXPECT_EQ(ini.ReadInteger("Start Position", "Width", 0), 700);
    EXPECT_EQ(ini.ReadInteger("Start Position", "Height", 0), 500);
    EXPECT_EQ(ini.ReadInteger("Start Position", "WindowState", -1), 0);
    // Maximised this time: the normal position stays as it was.
    ini.WriteString("Start Position", "WindowState", "2");
    TPohjafrm& again = Main();
    again.close();
    EXPECT_EQ(ini.ReadInteger("Start Position", "Width", 0), 700);
    EXPECT_EQ(ini.ReadInteger("Start Position", "WindowState", -1), 2);
}

TEST_F(ShellTest, LoaderPathIsWrittenOnlyWhenSet) {
    platform::IniFile ini(platform::SettingsPath());
    ini.WriteString("Testi", "loader", "/tmp/loader.bin");
    TPohjafrm& w = Main();
    EXPECT_EQ(w.LoaderPath(), "/tmp/loader.bin");
    w.close();
    EXPECT_EQ(ini.ReadString("Testi", "loader", ""), "/tmp/loader.bin");
}

TEST_F(ShellTest, ReadOnlySettingsFileIsReportedAndKept) {
    std::string path = platform::SettingsPath();
    ASSERT_TRUE(platform::WriteFileAtomic(path, "[Start Position]\nWindowState=0\n"));
    chmod(path.c_str(), 0444);
    TPohjafrm& w = Main();
    w.close();
    EXPECT_EQ(prompter.Texts(), (std::vector<std::string>{
                                    " voi vain lukea", "Unable to write ini file. Access denied"}));
    std::string bytes;
    ASSERT_TRUE(platform::ReadFileBytes(path, bytes));
    EXPECT_EQ(bytes, "[Start Position]\nWindowState=0\n");
}

TEST_F(ShellTest, CommandLineFactoryModeAndDsr) {
    TPohjafrm& plain = Main({"something", "dsr"});
    EXPECT_FALSE(plain.FactoryMode());
    EXPECT_TRUE(plain.DsrOption());
    EXPECT_FALSE(plain.Button("FlashmBtn")->isVisible());
    Settle();
    EXPECT_FALSE(plain.FactoryLabel()->isVisibleTo(&plain));
    EXPECT_FALSE(plain.MenuEntry("MakeSmf")->isVisible());

    TPohjafrm& factory = Main({"xLUMORAy"});
    EXPECT_TRUE(factory.FactoryMode());
    EXPECT_FALSE(factory.DsrOption());
    EXPECT_TRUE(factory.Button("FlashmBtn")->isVisible());
    EXPECT_TRUE(factory.Button("Flashm2Btn")->isVisible());
    EXPECT_TRUE(factory.MenuEntry("LoaderToHex")->isVisible());
    Settle();
    EXPECT_TRUE(factory.FactoryLabel()->isVisibleTo(&factory));
    EXPECT_TRUE(factory.FactoryLabel()->font().bold());
}

TEST_F(ShellTest, HintsAreSplitIntoToolTipAndStatusTip) {
    TPohjafrm& w = Main();
    EXPECT_EQ(w.Button("OpenBtn")->toolTip(), "New Terminal");
    EXPECT_EQ(w.Button("OpenBtn")->statusTip(), "Open new terminal port.");
    EXPECT_EQ(w.Button("TietojaBtn")->statusTip(), "Information about the program.");
    EXPECT_EQ(w.MenuEntry("SingleModemSetup")->toolTip(), "Single Setup");
    EXPECT_EQ(w.MenuEntry("SingleModemSetup")->statusTip(), "Setup properties for single modem.");
    EXPECT_FALSE(w.Button("OpenBtn")->icon().isNull());
}

TEST_F(ShellTest, DrawingButtonOpensTheDesignerWhichHoldsTheButtonsUntilItCloses) {
    TPohjafrm& w = Main();
    w.Button("DrawingBtn")->trigger();
    Settle();
    QMdiSubWindow* sub = w.MdiArea()->activeSubWindow();
    ASSERT_NE(sub, nullptr);
    EXPECT_TRUE(qobject_cast<designer::ui::Tpiirtopohja*>(sub->widget()));
    EXPECT_TRUE(sub->isMaximized());
    for (const char* b : {"OpenBtn", "DrawingBtn", "SingleModemBtn", "FlashBtn", "FlashmBtn"}) {
        EXPECT_FALSE(Enabled(b)) << b;
    }
    sub->close();
    Settle();
    EXPECT_TRUE(Enabled("DrawingBtn"));
    EXPECT_TRUE(Enabled("SingleModemBtn"));
}

TEST_F(ShellTest, ClosingTheProgramStopsAtAChildThatRefusesToClose) {
    TPohjafrm& w = Main();
    w.Button("DrawingBtn")->trigger();
    Settle();
    auto* designer =
        qobject_cast<designer::ui::Tpiirtopohja*>(w.MdiArea()->activeSubWindow()->widget());
    ASSERT_NE(designer, nullptr);
    designer->Net().modified = true;
    prompter.Script({platform::Answer::Cancel});  // the save question: keep working
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(designer->isVisible());
    EXPECT_FALSE(platform::IniFile(platform::SettingsPath()).SectionExists("Start Position"));

    prompter.Script({platform::Answer::No});  // now leave it unsaved
    EXPECT_TRUE(w.close());
    EXPECT_TRUE(platform::IniFile(platform::SettingsPath()).SectionExists("Start Position"));
}

TEST_F(ShellTest, ToolButtonsFollowTerminalsOpeningAndClosing) {
    TPohjafrm& w = Main({"XlumoraY"});
    Port(1);
    Port(2);
    EXPECT_FALSE(Enabled("SetupBtn"));
    EXPECT_FALSE(Enabled("ProgramBtn"));
    EXPECT_TRUE(Enabled("DrawingBtn"));
    Tterminaali* a = OpenTerminal(1);
    Tterminaali* b = OpenTerminal(2);
    ASSERT_TRUE(a && b);
    w.MdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(a->parentWidget()));
    EXPECT_EQ(w.TerminalCount(), 2);
    EXPECT_TRUE(Enabled("SetupBtn"));
    EXPECT_TRUE(Enabled("ProgramBtn"));
    EXPECT_FALSE(Enabled("DrawingBtn"));
    EXPECT_FALSE(Enabled("SingleModemBtn"));
    EXPECT_FALSE(Enabled("FlashBtn"));
    // The active terminal's menus stand in for "&Mode".
    EXPECT_FALSE(w.ModeMenu()->menuAction()->isVisible());

    qobject_cast<QMdiSubWindow*>(a->parentWidget())->close();
    Settle();
    EXPECT_EQ(w.TerminalCount(), 1);
    EXPECT_FALSE(Enabled("DrawingBtn"));
    EXPECT_TRUE(Enabled("FlashmBtn"));
    qobject_cast<QMdiSubWindow*>(b->parentWidget())->close();
    Settle();
    EXPECT_EQ(w.TerminalCount(), 0);
    EXPECT_FALSE(Enabled("SetupBtn"));
    EXPECT_FALSE(Enabled("ProgramBtn"));
    EXPECT_TRUE(Enabled("DrawingBtn"));
    EXPECT_TRUE(Enabled("SingleModemBtn"));
    EXPECT_TRUE(Enabled("FlashBtn"));
    EXPECT_TRUE(w.ModeMenu()->menuAction()->isVisible());
    EXPECT_EQ(WindowEntries(), 0);
}

TEST_F(ShellTest, WindowLocksOnToolButtonsEndWithTheLockWhateverTheRules) {
    TPohjafrm& w = Main({"XlumoraY"});
    shell::ShellServices& services = w;
    auto lock = services.LockToolButtons(
        {shell::ToolButton::Open, shell::ToolButton::Drawing, shell::ToolButton::MultiFlash});
    EXPECT_FALSE(Enabled("OpenBtn"));
    EXPECT_FALSE(Enabled("DrawingBtn"));
    EXPECT_FALSE(Enabled("FlashmBtn"));
    EXPECT_TRUE(Enabled("FlashBtn"));
    lock.reset();
    EXPECT_TRUE(Enabled("OpenBtn"));
    EXPECT_TRUE(Enabled("DrawingBtn"));
    EXPECT_TRUE(Enabled("FlashmBtn"));
    // Before the status window exists, status lines go nowhere and nothing breaks.
    services.Status().AddStatusLine("Serial port closed");
    services.Status().ShowStatus();
    EXPECT_EQ(services.TerminalCount(), 0);
}

TEST_F(ShellTest, EleventhTerminalHasAWindowEntryButNoSlot) {
    Main();
    std::vector<Tterminaali*> terminals;
    for (int n = 1; n <= 12; ++n) Port(n);
    for (int n = 1; n <= 11; ++n) {
        terminals.push_back(OpenTerminal(n));
        ASSERT_NE(terminals.back(), nullptr) << n;
    }
    EXPECT_EQ(WindowEntries(), 11);
    EXPECT_EQ(Slots(), 10);
    auto& table = main->Registry().Slots();
    EXPECT_EQ(std::find(table.begin(), table.end(), terminals[10]), table.end());
    // A freed slot goes to the next terminal.
    qobject_cast<QMdiSubWindow*>(terminals[3]->parentWidget())->close();
    Settle();
    EXPECT_EQ(Slots(), 9);
    Tterminaali* twelfth = OpenTerminal(12);
    ASSERT_NE(twelfth, nullptr);
    EXPECT_EQ(table[3], twelfth);
    EXPECT_EQ(WindowEntries(), 11);
}

TEST_F(ShellTest, SecondTerminalOnAHeldPortClosesAndLeavesTheFirstEntry) {
    TPohjafrm& w = Main();
    Port(1);
    Tterminaali* first = OpenTerminal(1);
    ASSERT_NE(first, nullptr);
    Tterminaali* second = OpenTerminal(1);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(w.TerminalCount(), 1);
    ASSERT_EQ(WindowEntries(), 1);
    EXPECT_FALSE(prompter.Texts().empty());
    EXPECT_TRUE(first->Port().IsOpen());
    // Its Window entry still brings it to the front.
    QAction* entry = w.WindowMenu()->actions()[5];
    EXPECT_EQ(entry->text(), first->windowTitle());
    EXPECT_EQ(entry->statusTip(), "Open window " + first->windowTitle());
    entry->trigger();
    EXPECT_EQ(w.ActiveTerminal(), first);
    // The failed one did not free COM 1 for the next proposal.
    EXPECT_TRUE(w.PortSettingsDialog().Setup().InUse().Contains(0));
}

TEST_F(ShellTest, ReleaseAndReacquireNeedTwoChildren) {
    TPohjafrm& w = Main();
    Port(1);
    Port(2);
    Tterminaali* a = OpenTerminal(1);
    ASSERT_NE(a, nullptr);
    w.ReleasePort(0);
    EXPECT_TRUE(a->Port().IsOpen());
    EXPECT_FALSE(a->Grey());

    Tterminaali* b = OpenTerminal(2);
    ASSERT_NE(b, nullptr);
    w.ReleasePort(0);
    EXPECT_FALSE(a->Port().IsOpen());
    EXPECT_TRUE(a->Grey());
    EXPECT_TRUE(a->ClosePortVisible());  // the entry stays as it was
    EXPECT_TRUE(b->Port().IsOpen());
    w.ReacquirePort(0);
    EXPECT_TRUE(a->Port().IsOpen());
    EXPECT_FALSE(a->Grey());

    // A port the user closed is not reopened.
    a->ClosePortCommand();
    w.ReleasePort(0);
    w.ReacquirePort(0);
    EXPECT_FALSE(a->Port().IsOpen());
}

TEST_F(ShellTest, SuspendAndResumeCloseAndReopenEveryTerminal) {
    TPohjafrm& w = Main();
    Port(1);
    Tterminaali* a = OpenTerminal(1);
    ASSERT_NE(a, nullptr);
    w.SuspendPorts();
    EXPECT_FALSE(a->Port().IsOpen());
    EXPECT_TRUE(a->Grey());
    QElapsedTimer timer;
    timer.start();
    w.ResumePorts();
    // Reopened from the event loop after the pause, not inside the call.
    EXPECT_FALSE(a->Port().IsOpen());
    ASSERT_TRUE(WaitFor([&] { return a->Port().IsOpen(); }, 3000));
    EXPECT_GE(timer.elapsed(), 790);
    EXPECT_FALSE(a->Grey());
}

TEST_F(ShellTest, MirrorForwardsTypedKeysToOtherMirroringTerminals) {
    Main();
    Port(1);
    PtyPair& peer2 = Port(2);
    Port(3);
    auto mirror = [](TerminalPortSettings& s) { s.mirror = true; };
    Tterminaali* a = OpenTerminal(1, mirror);
    Tterminaali* b = OpenTerminal(2, mirror);
    Tterminaali* c = OpenTerminal(3, [](TerminalPortSettings& s) { s.mirror = false; });
    ASSERT_TRUE(a && b && c);
    a->SetFocused(true);
    b->SetFocused(false);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, "x");
    QApplication::sendEvent(&a->TextArea(), &key);
    std::string got;
    WaitFor([&] {
        uint8_t buf[16];
        ssize_t n = ::read(peer2.MasterFd(), buf, sizeof buf);
        if (n > 0) got.append(reinterpret_cast<char*>(buf), static_cast<size_t>(n));
        return !got.empty();
    });
    EXPECT_EQ(got, "x");
    EXPECT_EQ(b->TextArea().toPlainText(), "x");  // its own echo
    EXPECT_EQ(c->TextArea().toPlainText(), "");
}

TEST_F(ShellTest, ClientAreaPopupDependsOnChildren) {
    TPohjafrm& w = Main();
    QMenu* popup = w.ClientPopup();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->actions().size(), 4);
    Port(1);
    ASSERT_NE(OpenTerminal(1), nullptr);
    popup = w.ClientPopup();
    ASSERT_NE(popup, nullptr);
    ASSERT_EQ(popup->actions().size(), 1);
    EXPECT_EQ(popup->actions()[0]->text(), "&Open terminal");
}

// Everything a screen reader can reach under an object: depth first, menus included.
void CollectAccessible(QAccessibleInterface* node, std::vector<QAccessibleInterface*>& out,
                       int depth = 0) {
    if (node == nullptr || !node->isValid() || depth > 30) return;
    out.push_back(node);
    for (int i = 0; i < node->childCount(); ++i) CollectAccessible(node->child(i), out, depth + 1);
}

QAccessibleInterface* FindAccessible(QObject* root, const QString& name,
                                     std::initializer_list<QAccessible::Role> roles) {
    std::vector<QAccessibleInterface*> all;
    CollectAccessible(QAccessible::queryAccessibleInterface(root), all);
    for (QAccessibleInterface* node : all) {
        if (node->text(QAccessible::Name) != name) continue;
        for (QAccessible::Role role : roles)
            if (node->role() == role) return node;
    }
    return nullptr;
}

void Press(QAccessibleInterface* node) {
    ASSERT_NE(node->actionInterface(), nullptr);
    node->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
}

TEST_F(ShellTest, EveryCommandIsReachableByItsCaptionThroughAccessibility) {
    TPohjafrm& w = Main();
    const auto button = {QAccessible::Button, QAccessible::ButtonMenu};
    const auto entry = {QAccessible::MenuItem};
    // Tool buttons by their short hints, menu entries by their captions.
    for (const char* name : {"New Terminal", "Setup", "Toggle between Programing and Normal mode",
                             "Routing setup", "Single modem setup", "Flash update", "Copy", "Paste",
                             "Print", "Printer setup", "Information about the program."})
        EXPECT_NE(FindAccessible(&w, name, button), nullptr) << name;
    for (const char* name :
         {"Mode", "Open terminal", "Single modem setup", "Routing setup", "Flash update", "Exit",
          "Window", "Cascade", "Tile", "Redraw", "Help", "About.."})
        EXPECT_NE(FindAccessible(&w, name, entry), nullptr) << name;
    // The port settings dialog: groups' radio buttons, check boxes, labelled spin edits, buttons.
    Tportinasetus& dialog = w.PortSettingsDialog();
    EXPECT_NE(FindAccessible(&dialog, "COM 16", {QAccessible::RadioButton}), nullptr);
    EXPECT_NE(FindAccessible(&dialog, "115200", {QAccessible::RadioButton}), nullptr);
    EXPECT_NE(FindAccessible(&dialog, "Q5X/Q6X", {QAccessible::RadioButton}), nullptr);
    EXPECT_NE(FindAccessible(&dialog, "Mirror", {QAccessible::CheckBox}), nullptr);
    EXPECT_NE(FindAccessible(&dialog, "CR->CR/LF", {QAccessible::CheckBox}), nullptr);
    EXPECT_NE(FindAccessible(&dialog, "Packet interval (s):", {QAccessible::SpinBox}), nullptr);
    EXPECT_NE(FindAccessible(&dialog, "Scrollback buffer size (kB) :", {QAccessible::SpinBox}),
              nullptr);
    EXPECT_NE(FindAccessible(&dialog, "OK", {QAccessible::Button}), nullptr);

    // Operated through the interface: the tool button opens a terminal, whose own menus then
    // stand in the main window's menu bar and close it again.
    Port(1);
    w.PortSettingsDialog().runner = [](Tportinasetus& d) {
        TerminalPortSettings s = d.Values();
        s.serialPort = 0;
        d.SetValues(s);
        d.OKClick();
        return static_cast<int>(QDialog::Accepted);
    };
    QAccessibleInterface* open = FindAccessible(&w, "New Terminal", button);
    ASSERT_NE(open, nullptr);
    Press(open);
    ASSERT_TRUE(WaitFor([&] { return w.Registry().Entries().size() == 1; }));
    Settle();
    Tterminaali* t = w.ActiveTerminal();
    ASSERT_NE(t, nullptr);
    EXPECT_NE(FindAccessible(&t->TextArea(), t->windowTitle(), {QAccessible::EditableText}),
              nullptr);
    for (const char* name : {"Settings", "Transmit", "Script setup", "Log file..", "Print..",
                             "Printer setup..", "Close terminal", "Edit", "Select all"})
        EXPECT_NE(FindAccessible(&w, name, entry), nullptr) << name;
    // A terminal's window entry, by its caption.
    EXPECT_NE(FindAccessible(&w, t->windowTitle(), entry), nullptr);
    QAccessibleInterface* close = FindAccessible(&w, "Close terminal", entry);
    ASSERT_NE(close, nullptr);
    Press(close);
    EXPECT_TRUE(WaitFor([&] { return w.TerminalCount() == 0; }));
}

TEST(ShellCommandLine, RemoteFlashArguments) {
    auto c = shell::ParseCommandLine({"XVENATOPIRY", "2", "15", "1", "fw.sff"});
    EXPECT_TRUE(c.remoteFlash);
    EXPECT_FALSE(c.factoryMode);
    shell::RemoteFlashRequest r;
    ASSERT_TRUE(shell::RemoteFlashArguments(c, r));
    EXPECT_EQ(r.portSelection, 2);
    EXPECT_EQ(r.portSet, 1);  // the digit value of the first character
    EXPECT_EQ(r.updateMode, 1);
    EXPECT_EQ(r.firmwareFile, "fw.sff");
    EXPECT_FALSE(shell::RemoteFlashArguments(shell::ParseCommandLine({"XvenatopirY", "1"}), r));
}
