// The transmit window, the script texts, the TX test and the buffer settings in the running
// main window, with terminals on pseudo-terminals whose other ends the tests read.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>
#include <QThread>
#include <QToolBar>
#include <fstream>

#include "core/crc16.h"
#include "fakeprompter.h"
#include "platform/inifile.h"
#include "platform/programdir.h"
#include "platform/prompter.h"
#include "ptypair.h"
#include "shell/ui/pohja.h"
#include "terminal/ui/portinasetus.h"
#include "terminal/ui/rxtxsaat.h"
#include "terminal/ui/scriptsetup.h"
#include "terminal/ui/terminaali.h"
#include "terminal/ui/transmitwindow.h"
#include "terminal/ui/txtestwindow.h"

using namespace kelmor;
using namespace kelmor::terminal;
using kelmor::shell::TPohjafrm;
using kelmor::testing::FakePrompter;
using kelmor::testing::PtyPair;

namespace {

constexpr const char* kFactoryCode = "XlumoraY";

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

void MouseClick(QWidget* w, Qt::KeyboardModifiers mods = Qt::NoModifier, QPoint at = {}) {
    if (at.isNull()) at = w->rect().center();
    const QPointF local(at), global(w->mapToGlobal(at));
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                      mods);
    QApplication::sendEvent(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                        mods);
    QApplication::sendEvent(w, &release);
}

void KeyClick(QWidget* w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier,
              const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, mods, text);
    QApplication::sendEvent(w, &release);
}

void KeyClicks(QWidget* w, const QString& text) {
    for (QChar c : text) KeyClick(w, c.toUpper().unicode(), Qt::NoModifier, QString(c));
}

// What the far end of a line has received so far (the event loop runs meanwhile).
class Peer {
  public:
    explicit Peer(PtyPair& pty) : pty_(pty) {}
    std::string Read(size_t atLeast, int ms = 3000) {
        WaitFor(
            [&] {
                Drain();
                return got_.size() >= atLeast;
            },
            ms);
        return Take();
    }
    std::string Quiet(int ms) {
        WaitFor(
            [&] {
                Drain();
                return false;
            },
            ms);
        return Take();
    }

  private:
    void Drain() {
        char buf[4096];
        ssize_t n;
        while ((n = ::read(pty_.MasterFd(), buf, sizeof buf)) > 0) got_.append(buf, n);
    }
    std::string Take() {
        std::string s;
        s.swap(got_);
        return s;
    }
    PtyPair& pty_;
    std::string got_;
};

class TransmitUiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::SetDefaultPrompter(&prompter);
        ::unlink(platform::SettingsPath().c_str());
        ::unlink((platform::ProgramDir() + "/scripts.txt").c_str());
        ::unlink((platform::ProgramDir() + "/Transmit window COM1.txw").c_str());
    }
    void TearDown() override {
        main.reset();
        for (int n = 1; n <= 16; ++n) unsetenv(("KELMOR_COM" + std::to_string(n)).c_str());
        platform::SetDefaultPrompter(nullptr);
    }

    TPohjafrm& Main(bool factory = false) {
        std::vector<std::string> args;
        if (factory) args = {kFactoryCode};
        main = std::make_unique<TPohjafrm>(std::move(args));
        main->show();
        return *main;
    }

    PtyPair& Port(int n) {
        ptys.push_back(std::make_unique<PtyPair>());
        setenv(("KELMOR_COM" + std::to_string(n)).c_str(), ptys.back()->SlavePath().c_str(), 1);
        return *ptys.back();
    }

    Tterminaali* OpenTerminal(int n) {
        main->PortSettingsDialog().runner = [n](Tportinasetus& d) {
            TerminalPortSettings s = d.Values();
            s.serialPort = n - 1;
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

    TLahetys* Transmit(Tterminaali* t) {
        t->TransmitCommand();
        TLahetys* w = t->findChild<TLahetys*>();
        if (w) WaitFor([w] { return w->isVisible(); }, 1000);
        return w;
    }

    // Buttons at their centre, check boxes on their indicator.
    void Click(QAbstractButton* b) {
        if (qobject_cast<QCheckBox*>(b))
            MouseClick(b, Qt::NoModifier, QPoint(6, b->height() / 2));
        else
            MouseClick(b);
    }

    FakePrompter prompter;
    std::vector<std::unique_ptr<PtyPair>> ptys;
    std::unique_ptr<TPohjafrm> main;
};

}  // namespace

TEST_F(TransmitUiTest, CountedPacketWithCrcAndCrLfGoesOutExactly) {
    Main(true);
    PtyPair& pty = Port(1);
    Tterminaali* t = OpenTerminal(1);
    ASSERT_TRUE(t);
    TLahetys* w = Transmit(t);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->windowTitle(), "Transmit window COM1:");
    EXPECT_FALSE(t->Action("Transmit")->isEnabled());
    EXPECT_TRUE(t->Core().transmitWindowOpen);

    Click(w->SendButton());
    EXPECT_EQ(prompter.Texts(), std::vector<std::string>{"Error: No text to send"});

    KeyClicks(w->TextBox(), "HELLO");
    Click(w->CounterBox());
    Click(w->CrcBox());
    Click(w->CrLfBox());
    Click(w->SendButton());
    Peer peer(pty);
    const std::string body = "00000HELLO";
    const uint16_t crc = core::MsgCrc(0xFFFF, body);
    EXPECT_EQ(peer.Read(14), body + char(crc >> 8) + char(crc & 0xFF) + "\r\n");

    // Mixed text: the valid escape becomes its byte, the broken ones go as typed.
    w->TextBox()->clear();
    KeyClicks(w->TextBox(), "A\\41\\4G\\zz\\4");
    Click(w->CounterBox());
    Click(w->CrcBox());
    Click(w->MixedBox());
    Click(w->SendButton());
    EXPECT_EQ(peer.Read(12), "AA\\4G\\zz\\4\r\n");

    // Cancel closes the window and gives the terminal its entry back.
    Click(w->CancelButton());
    EXPECT_TRUE(WaitFor([&] { return !t->findChild<TLahetys*>(); }));
    EXPECT_TRUE(t->Action("Transmit")->isEnabled());
    EXPECT_FALSE(t->Core().transmitWindowOpen);
}

TEST_F(TransmitUiTest, ContinuousSendingStopsRestartsAndFollowsThePort) {
    Main();
    PtyPair& pty = Port(1);
    Port(2);
    Tterminaali* t = OpenTerminal(1);
    ASSERT_TRUE(OpenTerminal(2));  // two children, so the main window hands ports over
    TLahetys* w = Transmit(t);
    ASSERT_TRUE(w);
    EXPECT_FALSE(w->CrcBox()->isVisible());  // factory mode only
    KeyClicks(w->TextBox(), "p");
    Click(w->CounterBox());
    Click(w->ContinuousBox());
    w->DelayEdit()->setText(QString("0") + w->DecimalSeparator() + "2");
    Peer peer(pty);

    Click(w->SendButton());
    EXPECT_FALSE(w->SendButton()->isEnabled());
    EXPECT_EQ(peer.Read(18, 3000), "00000p00001p00002p");
    EXPECT_EQ(w->CancelButton()->toolTip(), "Cancel repeat");
    Click(w->CancelButton());  // stops the repeat, the window stays
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->SendButton()->isEnabled());
    EXPECT_EQ(w->CancelButton()->toolTip(), "Exit");
    EXPECT_EQ(peer.Quiet(500), "");

    Click(w->SendButton());  // a new click numbers from 00000 again
    EXPECT_EQ(peer.Read(12, 3000).substr(0, 12), "00000p00001p");

    // The main window takes the port: the repeat stops and Send comes back.
    main->ReleasePort(0);
    EXPECT_TRUE(WaitFor([&] { return w->SendButton()->isEnabled(); }));
    EXPECT_TRUE(t->Grey());
    peer.Quiet(300);
    EXPECT_EQ(peer.Quiet(400), "");
    // Given back, the port reopens without sending; a resume after a suspend reopens it and
    // the window sends the packet once (and goes on repeating: Continuous is still ticked).
    main->ReacquirePort(0);
    EXPECT_TRUE(WaitFor([&] { return t->Port().IsOpen(); }));
    EXPECT_EQ(peer.Quiet(400), "");
    main->SuspendPorts();
    main->ResumePorts();
    EXPECT_TRUE(WaitFor([&] { return t->Port().IsOpen(); }, 3000));
    // Not a click: the counter goes on from the last packet.
    EXPECT_EQ(peer.Read(6, 3000).substr(0, 6), "00002p");
    Click(w->CancelButton());
}

TEST_F(TransmitUiTest, TwoTerminalsOnCom1ShareTheTextFileAndSettings) {
    Main();
    PtyPair& pty = Port(1);
    // Stored by a factory session: outside factory mode the hidden CRC box adds nothing.
    platform::IniFile(platform::SettingsPath()).WriteInteger("Transmit window COM1", "CRC", 1);
    Tterminaali* first = OpenTerminal(1);
    ASSERT_TRUE(first);
    TLahetys* w = Transmit(first);
    ASSERT_TRUE(w);
    KeyClicks(w->TextBox(), "shared text");
    Click(w->CrLfBox());
    Click(w->MixedBox());
    Click(w->CancelButton());
    ASSERT_TRUE(WaitFor([&] { return !first->findChild<TLahetys*>(); }));
    first->parentWidget()->close();
    Settle(100);

    Tterminaali* second = OpenTerminal(1);
    ASSERT_TRUE(second);
    TLahetys* again = Transmit(second);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->TextBox()->toPlainText(), "shared text");
    EXPECT_TRUE(again->CrLfBox()->isChecked());
    EXPECT_TRUE(again->MixedBox()->isChecked());
    EXPECT_FALSE(again->CrcBox()->isChecked());
    Click(again->SendButton());
    EXPECT_EQ(Peer(pty).Read(13), "shared text\r\n");
    Click(again->CancelButton());
    EXPECT_EQ(
        platform::IniFile(platform::SettingsPath()).ReadInteger("Transmit window COM1", "CRC", 0),
        1);
    EXPECT_TRUE(prompter.Texts().empty());
}

TEST_F(TransmitUiTest, ShiftFunctionKeysSendScriptsAndOkKeepsThem) {
    Main(true);
    PtyPair& pty = Port(1);
    Tterminaali* t = OpenTerminal(1);
    ASSERT_TRUE(t);
    TScriptSetup* scripts = main->Instances().scriptSetup;
    ASSERT_TRUE(scripts);
    t->ScriptSetupCommand();
    EXPECT_TRUE(scripts->isVisible());
    EXPECT_TRUE(scripts->FileMenu()->menuAction()->isVisible());
    KeyClicks(scripts->RichEdit(3), "AT\\0D");
    Click(scripts->Mixed(3));
    KeyClicks(scripts->RichEdit(4), "AT\\0D");
    Settle();
    // The valid escape is painted blue.
    bool blue = false;
    for (const QTextLayout::FormatRange& r :
         scripts->RichEdit(3)->document()->firstBlock().layout()->formats())
        blue = blue ||
               (r.start == 2 && r.length == 3 && r.format.foreground().color() == QColor(Qt::blue));
    EXPECT_TRUE(blue);

    Peer peer(pty);
    KeyClick(&t->TextArea(), Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(peer.Read(3), "AT\r");
    KeyClick(&t->TextArea(), Qt::Key_F4, Qt::ShiftModifier);
    EXPECT_EQ(peer.Read(5), "AT\\0D");  // plain: as it stands
    KeyClick(&t->TextArea(), Qt::Key_F3, Qt::ShiftModifier | Qt::ControlModifier);
    KeyClick(&t->TextArea(), Qt::Key_F5, Qt::ShiftModifier);  // empty script
    EXPECT_EQ(peer.Quiet(300), "");

    // "Save as..." then "Load ..." of a script text file restores texts and flags.
    const QString stf = QString::fromStdString(platform::ProgramDir()) + "/set.stf";
    scripts->fileChooser = [&](bool) { return stf; };
    scripts->SaveAsCommand();
    const ScriptSet saved = scripts->Scripts();
    scripts->RichEdit(3)->clear();
    scripts->Mixed(3)->setChecked(false);
    scripts->LoadCommand();
    EXPECT_EQ(scripts->Scripts(), saved);

    // OK writes the files and hides; a new dialog (next start) reads them back.
    Click(scripts->findChild<QPushButton*>("Okbtn"));
    EXPECT_FALSE(scripts->isVisible());
    TScriptSetup next(*main);
    EXPECT_EQ(next.Scripts(), saved);
    EXPECT_TRUE(prompter.Texts().empty());
}

TEST_F(TransmitUiTest, TxTestOnCom2GreysOnlyThatTerminalAndGivesItBack) {
    Main(true);
    PtyPair& com2 = Port(2);
    Port(3);
    Tterminaali* t2 = OpenTerminal(2);
    Tterminaali* t3 = OpenTerminal(3);
    ASSERT_TRUE(t2 && t3);
    t3->RadioTestCommand();
    Ttxtestfrm* test = nullptr;
    for (QMdiSubWindow* sub : main->MdiArea()->subWindowList())
        if (auto* w = qobject_cast<Ttxtestfrm*>(sub->widget())) test = w;
    ASSERT_TRUE(test);
    EXPECT_EQ(test->windowTitle(), "RadioTests");
    test->Session().releasePauseMs = test->Session().closePauseMs =
        test->Session().reacquirePauseMs = 10;
    TxTestSettings s = test->Settings();
    s.port = 1;
    test->SetSettings(s);
    test->TestText()->setText("UU");
    Click(test->StartButton());
    ASSERT_TRUE(WaitFor([&] { return test->Session().Port().IsOpen(); }));
    EXPECT_TRUE(t2->Grey());
    EXPECT_FALSE(t2->Port().IsOpen());
    EXPECT_FALSE(t3->Grey());
    EXPECT_TRUE(t3->Port().IsOpen());
    Peer peer(com2);
    const std::string got = peer.Read(4000);
    EXPECT_GE(got.size(), 4000u);
    EXPECT_EQ(got.find_first_not_of('U'), std::string::npos);
    EXPECT_EQ(test->CancelButton()->toolTip(), "Stop sending");

    Click(test->CancelButton());
    ASSERT_TRUE(WaitFor([&] {
        peer.Quiet(1);
        return !test->Session().Busy();
    }));
    EXPECT_TRUE(t2->Port().IsOpen());
    EXPECT_FALSE(t2->Grey());
    EXPECT_EQ(test->CancelButton()->toolTip(), "Cancel");
    QPointer<Ttxtestfrm> guard(test);
    Click(test->CancelButton());  // not sending: closes
    EXPECT_TRUE(WaitFor([&] { return !guard; }));
}

TEST_F(TransmitUiTest, BufferDialogOnTheToolBarTakesEffectAtTheNextReadStep) {
    Main();
    PtyPair& pty = Port(1);
    Tterminaali* t = OpenTerminal(1);
    ASSERT_TRUE(t);
    std::vector<int> reads;
    auto original = t->Port().tulleet_merkit;
    t->Port().tulleet_merkit = [&](serial::TCommPort* p) {
        reads.push_back(p->ReceivedCount());
        original(p);
    };

    auto* bar = main->findChild<QToolBar*>();
    ASSERT_TRUE(bar);
    MouseClick(bar, Qt::ShiftModifier | Qt::ControlModifier, {2, 2});
    Tpuskuriensaato* dialog = main->Instances().bufferSettings;
    ASSERT_TRUE(dialog && dialog->isVisible());
    EXPECT_EQ(dialog->RxLength()->value(), 2048);
    EXPECT_EQ(dialog->TxLength()->value(), 1024);
    EXPECT_EQ(dialog->PollDelay()->value(), 50);
    dialog->RxLength()->setValue(4096);
    dialog->PollDelay()->setValue(20);
    dialog->OKClick();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->RxLength()->value(), 0);
    EXPECT_EQ(t->Port().RX_puskurin_koko(), 4096);
    EXPECT_EQ(t->Port().RX_notify(), 4096);
    EXPECT_EQ(t->Port().valiaika(), 20);

    ASSERT_TRUE(pty.Write(std::string(6000, 'r')));
    ASSERT_TRUE(WaitFor([&] {
        int sum = 0;
        for (int n : reads) sum += n;
        return sum >= 6000;
    }));
    // More than the old 2048 in one step (a pty hands over at most 4095 bytes at a time).
    EXPECT_GT(*std::max_element(reads.begin(), reads.end()), 2048);
    EXPECT_LE(*std::max_element(reads.begin(), reads.end()), 4096);
}

TEST_F(TransmitUiTest, HugeMixedTextFileLoadsOnlyItsFirstPartAndSaysSo) {
    Main();
    Port(1);
    // Escapes all the way, each painted on its own: the worst case for the colouring.
    std::string huge;
    while (huge.size() < 3 * kTransmitTextCap) huge += "\\41x";
    {
        std::ofstream out(platform::ProgramDir() + "/Transmit window COM1.txw", std::ios::binary);
        out << huge;
    }
    platform::IniFile(platform::SettingsPath()).WriteInteger("Transmit window COM1", "Mixed", 1);
    Tterminaali* t = OpenTerminal(1);
    ASSERT_TRUE(t);
    TLahetys* w = Transmit(t);
    ASSERT_TRUE(w);
    // One line that long is not wrapped: wrapping it would hold the window for seconds.
    EXPECT_EQ(w->TextBox()->lineWrapMode(), QTextEdit::NoWrap);
    EXPECT_EQ(w->TextBox()->toPlainText().size(), static_cast<qsizetype>(kTransmitTextCap));
    ASSERT_EQ(prompter.Texts().size(), 1u);
    EXPECT_NE(prompter.Texts()[0].find("Only the first part"), std::string::npos);
}
