// Terminal windows over a pseudo-terminal whose other end the test plays.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QPrinter>
#include <QScrollBar>
#include <QTextBlock>
#include <QThread>
#include <fstream>
#include <sstream>

#include "fakeprompter.h"
#include "fakeshellservices.h"
#include "platform/clock.h"
#include "platform/inifile.h"
#include "platform/programdir.h"
#include "platform/serialdevice.h"
#include "ptypair.h"
#include "terminal/ui/portinasetus.h"
#include "terminal/ui/terminaali.h"

using namespace kelmor;
using namespace kelmor::terminal;
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

void Key(QWidget* w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier, QString text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(w, &press);
}

void Type(QWidget* w, const QString& text) {
    for (QChar c : text) Key(w, c.toUpper().unicode(), Qt::NoModifier, QString(c));
}

// Reads what the terminal sent while its event loop keeps running.
std::string ReadPeer(PtyPair& pty, size_t count, int ms = 3000) {
    std::string got;
    WaitFor(
        [&] {
            uint8_t buf[4096];
            ssize_t n = ::read(pty.MasterFd(), buf, sizeof buf);
            if (n > 0) got.append(reinterpret_cast<char*>(buf), static_cast<size_t>(n));
            return got.size() >= count;
        },
        ms);
    return got;
}

class FakeHost : public TerminalHost {
  public:
    FakeHost() { instances.portSettings = &dialog; }
    void RegisterTerminal(Tterminaali*, const QString& caption) override {
        registered.push_back(caption);
    }
    void UnregisterTerminal(Tterminaali*, const QString& caption) override {
        unregistered.push_back(caption);
    }
    void RenameTerminal(const QString& from, const QString& to) override {
        renamed.push_back(from + " -> " + to);
    }
    void MirrorKey(Tterminaali*, uint8_t ch) override { mirroredKeys.push_back(ch); }
    void MirrorBlock(Tterminaali*, const std::vector<uint8_t>&) override {}
    void RequestExit() override {}
    void NotAvailable() override { ++notAvailable; }
    void TerminalClosed(Tterminaali*) override { ++closed; }
    Tportinasetus& PortSettingsDialog() override { return dialog; }
    SingleInstances& Instances() override { return instances; }
    shell::ShellServices& Services() override { return services; }
    QPoint MainOrigin() const override { return {}; }
    QRect MainGeometry() const override { return {0, 0, 800, 600}; }

    kelmor::testing::FakeShellServices services;
    Tportinasetus dialog;
    SingleInstances instances;
    std::vector<QString> registered, unregistered, renamed;
    std::vector<uint8_t> mirroredKeys;
    int notAvailable = 0;
    int closed = 0;
};

// A device that forwards to the real one and records the size of every write.
class RecordingDevice : public platform::SerialDevice {
  public:
    explicit RecordingDevice(std::vector<size_t>& writes)
        : real_(platform::MakePosixSerialDevice()), writes_(writes) {}
    platform::OpenResult Open(const std::string& p) override { return real_->Open(p); }
    void Close() override { real_->Close(); }
    bool IsOpen() const override { return real_->IsOpen(); }
    bool Configure(const platform::LineSettings& s) override { return real_->Configure(s); }
    ssize_t Read(uint8_t* b, size_t m) override { return real_->Read(b, m); }
    ssize_t Write(const uint8_t* b, size_t c) override {
        ssize_t n = real_->Write(b, c);
        if (n > 0) writes_.push_back(static_cast<size_t>(n));
        return n;
    }
    bool WaitReadable(int t) override { return real_->WaitReadable(t); }
    bool WaitWritable(int t) override { return real_->WaitWritable(t); }
    int InputQueue() override { return real_->InputQueue(); }
    int OutputQueue() override { return real_->OutputQueue(); }
    bool PurgeInput() override { return real_->PurgeInput(); }
    bool PurgeOutput() override { return real_->PurgeOutput(); }
    bool SetDtr(bool on) override { return real_->SetDtr(on); }
    bool SetRts(bool on) override {
        rtsChanges.push_back(on);
        return real_->SetRts(on);
    }
    std::optional<uint32_t> ModemStatus() override { return real_->ModemStatus(); }
    std::optional<platform::LineErrorCounts> ErrorCounts() override { return counts; }
    bool HungUp() const override { return real_->HungUp(); }
    std::string LastError() const override { return real_->LastError(); }
    std::vector<bool> rtsChanges;
    platform::LineErrorCounts counts;

  private:
    std::unique_ptr<platform::SerialDevice> real_;
    std::vector<size_t>& writes_;
};

class TerminalTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::SetDefaultPrompter(&prompter);
        ::unlink(platform::SettingsPath().c_str());
        ASSERT_TRUE(pty.Ok());
        setenv("KELMOR_COM1", pty.SlavePath().c_str(), 1);
        setenv("KELMOR_COM2", pty2.SlavePath().c_str(), 1);
    }
    void TearDown() override {
        terminals.clear();
        platform::SetDefaultPrompter(nullptr);
        unsetenv("KELMOR_COM1");
        unsetenv("KELMOR_COM2");
    }

    // Opens a terminal through its first settings dialog with the given values.
    Tterminaali* Open(std::function<void(TerminalPortSettings&)> change = {}) {
        host.dialog.runner = [change](Tportinasetus& d) {
            TerminalPortSettings s = d.Values();
            if (change) change(s);
            d.SetValues(s);
            d.OKClick();
            return static_cast<int>(QDialog::Accepted);
        };
        terminals.push_back(std::make_unique<Tterminaali>(host));
        Tterminaali* t = terminals.back().get();
        t->show();
        WaitFor([&] { return t->windowTitle() != "Terminal" || host.closed > 0; }, 2000);
        return t;
    }

    std::string Shown(Tterminaali& t) { return t.TextArea().toPlainText().toStdString(); }

    FakePrompter prompter;
    PtyPair pty;
    PtyPair pty2;
    FakeHost host;
    std::vector<std::unique_ptr<Tterminaali>> terminals;
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace

TEST_F(TerminalTest, FirstShowOpensPortRegistersAndShowsCaption) {
    Tterminaali* t = Open();
    ASSERT_TRUE(t->Port().IsOpen());
    EXPECT_EQ(t->windowTitle().toStdString(), "COM1: 9600 None  8 1 | None | Echo | CR -> CR/LF");
    ASSERT_EQ(host.registered.size(), 1u);
    EXPECT_EQ(host.registered[0], t->windowTitle());
    EXPECT_TRUE(host.dialog.Setup().InUse().Contains(0));
}

TEST_F(TerminalTest, CancelledOrFailedFirstSettingsCloseTheTerminal) {
    host.dialog.runner = [](Tportinasetus&) { return static_cast<int>(QDialog::Rejected); };
    auto cancelled = std::make_unique<Tterminaali>(host);
    cancelled->show();
    EXPECT_TRUE(WaitFor([&] { return host.closed == 1; }));
    EXPECT_TRUE(host.registered.empty());

    setenv("KELMOR_COM3", "/dev/kelmor-no-such-device", 1);
    Tterminaali* failed = Open([](TerminalPortSettings& s) { s.serialPort = 2; });
    EXPECT_TRUE(WaitFor([&] { return host.closed == 2; }));
    EXPECT_FALSE(failed->Port().IsOpen());
    EXPECT_TRUE(host.registered.empty());
    EXPECT_FALSE(prompter.Texts().empty());  // the port's own message
    EXPECT_FALSE(host.dialog.Setup().InUse().Contains(2));
    unsetenv("KELMOR_COM3");
}

TEST_F(TerminalTest, ReceivedTextInTheThreeViews) {
    Tterminaali* t = Open();
    ASSERT_TRUE(t->Port().IsOpen());
    pty.Write(std::string("A\r"));
    pty.Write(std::string("\nB"));
    ASSERT_TRUE(WaitFor([&] { return Shown(*t) == "A\nB"; })) << Shown(*t);

    t->Display().SetViewType(kViewHex);
    t->ClearArea();
    pty.Write(std::string("A\r"));
    ASSERT_TRUE(WaitFor([&] { return Shown(*t) == "\\41\n\\0D"; })) << Shown(*t);
    QTextBlock first = t->TextArea().document()->firstBlock();
    EXPECT_EQ(first.begin().fragment().charFormat().foreground().color(), QColor(0, 0, 255));

    t->Display().SetViewType(kViewMixed);
    t->ClearArea();
    pty.Write(
        std::string("AB\x01"
                    "C"));
    ASSERT_TRUE(WaitFor([&] { return Shown(*t) == "AB\\01C"; })) << Shown(*t);
    std::vector<QColor> colours;
    for (auto it = t->TextArea().document()->firstBlock().begin(); !it.atEnd(); ++it)
        colours.push_back(it.fragment().charFormat().foreground().color());
    ASSERT_EQ(colours.size(), 3u);
    EXPECT_EQ(colours[1], QColor(0, 0, 255));
    EXPECT_NE(colours[0], QColor(0, 0, 255));
    EXPECT_EQ(colours[0], colours[2]);
}

TEST_F(TerminalTest, TypedCharactersEchoAndCrBecomesCrLf) {
    Tterminaali* t = Open();
    ASSERT_TRUE(t->Port().IsOpen());
    t->TextArea().setFocus();
    Type(&t->TextArea(), "hi");
    Key(&t->TextArea(), Qt::Key_Return, Qt::NoModifier, "\r");
    EXPECT_EQ(ReadPeer(pty, 4), "hi\r\n");
    EXPECT_EQ(Shown(*t), "hi\n");

    t->Core().Options().crLf = false;
    t->Core().Options().localEcho = false;
    Key(&t->TextArea(), Qt::Key_Return, Qt::NoModifier, "\r");
    Key(&t->TextArea(), Qt::Key_C, Qt::ControlModifier, "\x03");
    EXPECT_EQ(ReadPeer(pty, 2), "\r\x03");
    EXPECT_EQ(Shown(*t), "hi\n");
}

TEST_F(TerminalTest, PasteGoesOutInTransmitSizedChunksWithEchoPerChunk) {
    std::vector<size_t> writes;
    RecordingDevice* device = nullptr;
    terminals.push_back(std::make_unique<Tterminaali>(host));
    Tterminaali* t = terminals.back().get();
    t->Port().SetDeviceFactory([&]() -> std::unique_ptr<platform::SerialDevice> {
        auto d = std::make_unique<RecordingDevice>(writes);
        device = d.get();
        return d;
    });
    host.dialog.runner = [](Tportinasetus& d) {
        d.OKClick();
        return static_cast<int>(QDialog::Accepted);
    };
    t->show();
    ASSERT_TRUE(WaitFor([&] { return t->Port().IsOpen(); }));
    std::string text(3000, 'p');
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
    QApplication::clipboard()->setText(QString::fromStdString(text));
    t->Paste();
    // The first chunk is queued and echoed at once; the rest follow as writes finish.
    EXPECT_EQ(Shown(*t).size(), 1024u);
    EXPECT_EQ(ReadPeer(pty, 3000), text);
    ASSERT_TRUE(WaitFor([&] { return writes.size() >= 3; }));
    EXPECT_EQ(writes, (std::vector<size_t>{1024, 1024, 952}));
    EXPECT_EQ(Shown(*t), text);
    ASSERT_NE(device, nullptr);
}

TEST_F(TerminalTest, RtsControlRaisesBeforeEachWriteAndDropsAfterTheDelay) {
    std::vector<size_t> writes;
    RecordingDevice* device = nullptr;
    terminals.push_back(std::make_unique<Tterminaali>(host));
    Tterminaali* t = terminals.back().get();
    t->Port().SetDeviceFactory([&]() -> std::unique_ptr<platform::SerialDevice> {
        auto d = std::make_unique<RecordingDevice>(writes);
        device = d.get();
        return d;
    });
    host.dialog.runner = [](Tportinasetus& d) {
        TerminalPortSettings s = d.Values();
        s.handshake = 3;
        d.SetValues(s);
        d.OKClick();
        return static_cast<int>(QDialog::Accepted);
    };
    t->show();
    ASSERT_TRUE(WaitFor([&] { return t->Port().IsOpen(); }));
    EXPECT_TRUE(t->Core().Options().rtsControl);
    EXPECT_EQ(t->Core().RtsDropDelayMs(), 6);
    device->rtsChanges.clear();
    QElapsedTimer timer;
    timer.start();
    t->SendBlock(std::vector<uint8_t>(2000, 'r'));
    EXPECT_EQ(ReadPeer(pty, 2000).size(), 2000u);
    // Raised before each of the two chunks, dropped after each (6 ms at 9600 bit/s, waited on a
    // timer: the GUI thread does not sleep).
    ASSERT_TRUE(WaitFor([&] { return device->rtsChanges.size() >= 4; }));
    WaitFor([] { return false; }, 50);
    EXPECT_EQ(device->rtsChanges, (std::vector<bool>{true, false, true, false}));
    EXPECT_GE(timer.elapsed(), 12);
    EXPECT_EQ(t->Port().RTSmode(), serial::rtsDISABLE);
    EXPECT_TRUE(t->windowTitle().contains("Q5X/Q6X"));
}

TEST_F(TerminalTest, ProgrammingModeRoundTripFromQ5xQ6x) {
    Tterminaali* t = Open([](TerminalPortSettings& s) {
        s.baudrate = 3;
        s.parity = 2;
        s.handshake = 3;
        s.mirror = true;
        s.viewType = 1;
        s.packetInterval = 2;
    });
    ASSERT_TRUE(t->Port().IsOpen());
    const QString normal = t->windowTitle();
    t->ToggleProgrammingMode();
    EXPECT_EQ(t->windowTitle().toStdString(), "COM1: Programming mode");
    EXPECT_EQ(t->Action("ProgSettings")->text(), "Normal settings");
    EXPECT_EQ(t->Port().Baudrate(), serial::br__9600);
    EXPECT_EQ(t->Port().pariteetti(), serial::_pbNone);
    EXPECT_FALSE(t->Core().Options().rtsControl);
    EXPECT_FALSE(t->Core().Options().mirror);
    EXPECT_TRUE(t->Core().Options().localEcho);
    EXPECT_EQ(t->Display().ViewType(), kViewText);
    EXPECT_EQ(t->Core().CrInterval(), 0);

    t->ToggleProgrammingMode();
    EXPECT_EQ(t->windowTitle(), normal);
    EXPECT_EQ(t->Action("ProgSettings")->text(), "Prog settings");
    EXPECT_EQ(t->Port().Baudrate(), serial::br__2400);
    EXPECT_EQ(t->Port().pariteetti(), serial::pbEven);
    EXPECT_TRUE(t->Core().Options().rtsControl);
    EXPECT_TRUE(t->Core().Options().mirror);
    EXPECT_EQ(t->Display().ViewType(), kViewHex);
    EXPECT_EQ(t->Core().CrInterval(), 2000);
    EXPECT_TRUE(host.renamed.empty());
}

TEST_F(TerminalTest, ClosingInProgrammingModeUnregistersTheNormalCaption) {
    Tterminaali* t = Open();
    const QString normal = t->windowTitle();
    t->ToggleProgrammingMode();
    t->close();
    ASSERT_EQ(host.unregistered.size(), 1u);
    EXPECT_EQ(host.unregistered[0], normal);
    EXPECT_FALSE(t->Port().IsOpen());
    EXPECT_FALSE(host.dialog.Setup().InUse().Contains(0));
}

TEST_F(TerminalTest, LogFileHoldsExactlyTheInsertedText) {
    Tterminaali* t = Open([](TerminalPortSettings& s) { s.viewType = 2; });
    std::string path = platform::ProgramDir() + "/terminal.txt";
    t->logFileChooser = [&] { return QString::fromStdString(path); };
    t->LogFileCommand();
    ASSERT_TRUE(t->Display().LogOn());
    EXPECT_TRUE(t->Action("LogFile")->isChecked());
    pty.Write(std::string("ok\x01\r\n"));
    ASSERT_TRUE(WaitFor([&] { return t->Display().LogTotal() >= 13; }));
    t->Display().AppendText("(stamp)", kColourMaroon);
    QLabel* indicator = t->findChild<QLabel*>("LogIndicator");
    ASSERT_NE(indicator, nullptr);
    EXPECT_TRUE(indicator->isVisibleTo(t));
    EXPECT_TRUE(indicator->text().contains(QString("%1 Bytes").arg(t->Display().LogTotal())));
    t->LogFileCommand();
    EXPECT_FALSE(t->Display().LogOn());
    EXPECT_FALSE(indicator->isVisibleTo(t));
    EXPECT_EQ(ReadFile(path), "ok\\01\r\n\\0D\\0A(stamp)");
}

TEST_F(TerminalTest, TrimmingAtTenKilobyteScrollBack) {
    Tterminaali* t = Open([](TerminalPortSettings& s) { s.scrollBack = 10; });
    EXPECT_EQ(t->Display().ScrollBackMaximum(), 10240);
    EXPECT_EQ(t->Display().TrimTarget(), 9216);
    std::string line(79, 'z');
    for (int i = 0; i < 200; ++i) {
        t->Display().AppendText(line + "\r\n", kColourDefault);
        ASSERT_LE(t->TextArea().document()->characterCount() - 1, 10240);
    }
    EXPECT_GE(t->TextArea().document()->characterCount() - 1, 9000);
    EXPECT_EQ(t->TextArea().document()->firstBlock().text().toStdString(), line);
}

TEST_F(TerminalTest, LineErrorsReportedOncePerFifteenSeconds) {
    std::vector<size_t> writes;
    RecordingDevice* device = nullptr;
    terminals.push_back(std::make_unique<Tterminaali>(host));
    Tterminaali* t = terminals.back().get();
    t->Port().SetDeviceFactory([&]() -> std::unique_ptr<platform::SerialDevice> {
        auto d = std::make_unique<RecordingDevice>(writes);
        device = d.get();
        return d;
    });
    host.dialog.runner = [](Tportinasetus& d) {
        d.ClickRadio("Parity", 2);
        d.OKClick();
        return static_cast<int>(QDialog::Accepted);
    };
    t->show();
    ASSERT_TRUE(WaitFor([&] { return t->Port().IsOpen(); }));
    EXPECT_TRUE(t->Port().Eventit().Contains(serial::ceErr));
    WaitFor([] { return false; }, 200);  // the port starts watching the counters
    device->counts.parity = 1;
    device->counts.framing = 1;
    ASSERT_TRUE(WaitFor([&] { return !Shown(*t).empty(); })) << Shown(*t);
    EXPECT_EQ(Shown(*t), "\nERROR: RX parity error occured\n\nERROR: RX frame error occured\n");
    EXPECT_EQ(t->TextArea()
                  .document()
                  ->findBlockByNumber(1)
                  .begin()
                  .fragment()
                  .charFormat()
                  .foreground()
                  .color(),
              QColor(255, 0, 0));
    EXPECT_TRUE(t->Core().ErrorTimerActive());
    device->counts.overrun = 1;
    WaitFor([] { return false; }, 300);
    EXPECT_EQ(Shown(*t).find("overrun"), std::string::npos);
}

TEST_F(TerminalTest, ClosePortGreysAndOpenPortRestores) {
    Tterminaali* t = Open();
    t->ClosePortCommand();
    EXPECT_FALSE(t->Port().IsOpen());
    EXPECT_TRUE(t->Grey());
    EXPECT_EQ(t->TextArea().palette().color(QPalette::Base), QColor(0x80, 0x80, 0x80));
    EXPECT_FALSE(t->Action("ClosePort")->isVisible());
    EXPECT_TRUE(t->Action("OpenPort")->isVisible());
    t->OpenPortCommand();
    EXPECT_TRUE(t->Port().IsOpen());
    EXPECT_FALSE(t->Grey());
    EXPECT_TRUE(t->ClosePortVisible());
    pty.Write(std::string("back"));
    EXPECT_TRUE(WaitFor([&] { return Shown(*t) == "back"; }));
}

TEST_F(TerminalTest, UnpluggedDeviceGreysAndSaysSoOnce) {
    Tterminaali* t = Open();
    ASSERT_TRUE(t->Port().IsOpen());
    prompter.Clear();
    pty.CloseMaster();
    ASSERT_TRUE(WaitFor([&] { return t->Grey(); }));
    for (int i = 0; i < 50; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(2);
    }
    EXPECT_EQ(prompter.Count(), 1u);
    EXPECT_NE(prompter.Texts()[0].find("COM1"), std::string::npos);
    EXPECT_TRUE(t->Action("OpenPort")->isVisible());
}

TEST_F(TerminalTest, PortProposalSkipsPortsInUse) {
    platform::IniFile ini(platform::SettingsPath());
    ini.WriteString("Terminal port", "Serial port", "0");
    setenv("KELMOR_COM3", pty.SlavePath().c_str(), 1);
    Tterminaali* a = Open([](TerminalPortSettings& s) { s.serialPort = 0; });
    Tterminaali* b = Open([](TerminalPortSettings& s) { s.serialPort = 1; });
    ASSERT_TRUE(a->Port().IsOpen());
    ASSERT_TRUE(b->Port().IsOpen());
    TerminalPortSettings proposed;
    host.dialog.runner = [&](Tportinasetus& d) {
        proposed = d.Values();
        return static_cast<int>(QDialog::Rejected);
    };
    auto c = std::make_unique<Tterminaali>(host);
    c->show();
    ASSERT_TRUE(WaitFor([&] { return host.closed == 1; }));
    EXPECT_EQ(proposed.serialPort, 2);
    a->close();
    auto d = std::make_unique<Tterminaali>(host);
    d->show();
    ASSERT_TRUE(WaitFor([&] { return host.closed == 3; }));
    EXPECT_EQ(proposed.serialPort, 0);
    unsetenv("KELMOR_COM3");
}

TEST_F(TerminalTest, ExistingTerminalMovesToAnotherPort) {
    Tterminaali* t = Open();
    ASSERT_TRUE(t->Port().IsOpen());
    host.dialog.runner = [](Tportinasetus& d) {
        d.ClickRadio("Port number", 1);
        d.ClickRadio("Baud rate", 9);  // applied at once
        d.OKClick();
        return static_cast<int>(QDialog::Accepted);
    };
    t->Settings();
    EXPECT_EQ(t->Port().Portin_nro(), serial::COM2);
    EXPECT_TRUE(t->Port().IsOpen());
    EXPECT_EQ(t->Port().Baudrate(), serial::br115200);
    EXPECT_FALSE(host.dialog.Setup().InUse().Contains(0));
    EXPECT_TRUE(host.dialog.Setup().InUse().Contains(1));
    ASSERT_EQ(host.renamed.size(), 1u);
    EXPECT_TRUE(host.renamed[0].endsWith("-> " + t->windowTitle()));
    pty2.Write(std::string("two"));
    EXPECT_TRUE(WaitFor([&] { return Shown(*t) == "two"; }));
    // The accepted values are stored for the next new terminal.
    platform::IniFile ini(platform::SettingsPath());
    EXPECT_EQ(ini.ReadInteger("Terminal port", "Serial port", -1), 1);
    EXPECT_EQ(ini.ReadInteger("Terminal port", "Baudrate", -1), 9);
}

TEST_F(TerminalTest, SettingsDialogCancelKeepsImmediateLineChanges) {
    Tterminaali* t = Open();
    host.dialog.runner = [](Tportinasetus& d) {
        d.ClickRadio("Parity", 1);
        d.ClickRadio("Handshake", 3);  // only on OK
        return static_cast<int>(QDialog::Rejected);
    };
    t->Settings();
    EXPECT_EQ(t->Port().pariteetti(), serial::pbOdd);
    EXPECT_FALSE(t->Core().Options().rtsControl);
}

TEST_F(TerminalTest, CrIntervalBreaksTheLineAndStampsTheNextData) {
    Tterminaali* t = Open([](TerminalPortSettings& s) { s.timeStamp = true; });
    ASSERT_TRUE(t->Port().IsOpen());
    t->Core().SetCrInterval(150, false);  // 150 ms stands in for seconds
    pty.Write(std::string("one"));
    ASSERT_TRUE(WaitFor([&] { return Shown(*t).rfind("one", 0) == 0; })) << Shown(*t);
    ASSERT_TRUE(WaitFor([&] { return Shown(*t) == "one\n"; })) << Shown(*t);
    EXPECT_FALSE(t->Core().CrTimerActive());
    pty.Write(std::string("two"));
    ASSERT_TRUE(WaitFor([&] { return Shown(*t).size() > 8 && Shown(*t).back() == 'o'; }));
    std::string shown = Shown(*t);
    ASSERT_GE(shown.size(), 10u);
    EXPECT_EQ(shown.substr(0, 5), "one\n(");
    EXPECT_EQ(shown.substr(shown.size() - 4), ")two");
    QTextBlock second = t->TextArea().document()->findBlockByNumber(1);
    EXPECT_EQ(second.begin().fragment().charFormat().foreground().color(), QColor(128, 0, 0));
}

TEST_F(TerminalTest, WithoutCrIntervalEveryChunkIsStampedExceptInProgrammingMode) {
    Tterminaali* t = Open([](TerminalPortSettings& s) { s.timeStamp = true; });
    ASSERT_TRUE(t->Port().IsOpen());
    pty.Write(std::string("a"));
    ASSERT_TRUE(WaitFor([&] { return !Shown(*t).empty() && Shown(*t).back() == 'a'; }));
    pty.Write(std::string("b"));
    ASSERT_TRUE(WaitFor([&] { return Shown(*t).back() == 'b'; }));
    std::string shown = Shown(*t);
    EXPECT_EQ(std::count(shown.begin(), shown.end(), '('), 2);
    t->ToggleProgrammingMode();
    pty.Write(std::string("c"));
    ASSERT_TRUE(WaitFor([&] { return Shown(*t).back() == 'c'; }));
    EXPECT_EQ(Shown(*t), shown + "c");
}

TEST_F(TerminalTest, ViewFollowsNewLinesUnlessScrolledBack) {
    Tterminaali* t = Open();
    t->resize(400, 200);
    QScrollBar* bar = t->TextArea().verticalScrollBar();
    std::string lines;
    for (int i = 0; i < 100; ++i) lines += "line " + std::to_string(i) + "\r\n";
    t->SetFocused(true);  // focused: no forced scroll, the view follows by itself
    t->Display().ShowData(reinterpret_cast<const uint8_t*>(lines.data()), lines.size());
    QCoreApplication::processEvents();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
    bar->setValue(0);  // the user reads back; a short piece that does not wrap leaves the view
    t->Display().ShowData(reinterpret_cast<const uint8_t*>("more"), 4);
    EXPECT_EQ(bar->value(), 0);
}
