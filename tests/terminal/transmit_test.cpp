// Script texts, transmit packets and the TX test writer, without windows: the files they read
// and write, the bytes they send, and the sending over a pseudo-terminal.
#include "terminal/transmit.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/crc16.h"
#include "fakeprompter.h"
#include "platform/inifile.h"
#include "platform/programdir.h"
#include "ptypair.h"
#include "terminal/display.h"
#include "terminal/scriptfiles.h"
#include "terminal/terminalcore.h"
#include "terminal/txtest.h"

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
        QThread::usleep(200);
    }
    return true;
}

std::string Bytes(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string Le32(uint32_t v) {
    std::string s;
    for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

std::string Home() { return platform::ProgramDir(); }

ScriptSet SampleScripts() {
    ScriptSet s;
    for (int n = 0; n < kScriptCount; ++n) s.texts[n] = "script " + std::to_string(n + 1);
    s.texts[2] = "AT\\0D";
    s.mixed[2] = true;
    s.texts[4] = "";
    s.texts[6] = std::string("line one\r\nline two\0\xFF", 20);
    s.mixed[11] = true;
    return s;
}

}  // namespace

// ---- mixed text as scripts and packets send it ----

TEST(MixedText, ScriptsAndPacketsSendEscapesAsDefined) {
    struct Case {
        const char* text;
        bool mixed;
        std::string sent;
    } cases[] = {
        {"AT\\0D", true, "AT\r"},
        {"\\0d\\0A", true, "\r\n"},
        {"AB\\41", true, "ABA"},
        {"x\\4G", true, "x\\4G"},  // not two hexadecimal digits: as typed
        {"x\\zz", true, "x\\zz"},
        {"ab\\4", true, "ab\\4"},  // a backslash in one of the last
                                   // two positions
        {"ab\\", true, "ab\\"},
        {"\\5C41", true, "\\41"},     // a produced byte is not looked at
                                      // again
        {"AT\\0D", false, "AT\\0D"},  // plain text goes as it stands
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Bytes(ScriptBytes(c.text, c.mixed)), c.sent) << c.text;
        int counter = -1;
        TransmitOptions options;
        options.mixed = c.mixed;
        EXPECT_EQ(Bytes(BuildTextPacket(c.text, options, counter)), c.sent) << c.text;
    }
    EXPECT_TRUE(ScriptBytes("", true).empty());
}

// ---- scripts.txt, the settings section and .stf ----

// Each test starts without the program folder's files (tests may share one process).
class ScriptFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        ::unlink((Home() + "/scripts.txt").c_str());
        ::unlink(platform::SettingsPath().c_str());
    }
};

TEST_F(ScriptFiles, SaveThenLoadRestoresTextsAndFlags) {
    ScriptSet s = SampleScripts();
    ASSERT_TRUE(SaveScripts(Home(), platform::SettingsPath(), s));
    ScriptLoad load = LoadScripts(Home(), platform::SettingsPath());
    EXPECT_TRUE(load.found);
    EXPECT_TRUE(load.message.empty());
    EXPECT_EQ(load.scripts, s);
    // The layout: a little-endian length before each text, nothing else.
    std::string file = ReadFile(Home() + "/scripts.txt");
    EXPECT_EQ(file.substr(0, 12), Le32(8) + "script 1");
    EXPECT_EQ(file, FormatScriptsTxt(s));
    platform::IniFile ini(platform::SettingsPath());
    EXPECT_EQ(ini.ReadString("Script texts", "SHIFT F3", ""), "1");
    EXPECT_EQ(ini.ReadString("Script texts", "SHIFT F1", ""), "0");
}

TEST_F(ScriptFiles, MissingFileGivesEmptyScriptsAndFlagStartingWithOneIsMixed) {
    platform::IniFile ini(platform::SettingsPath());
    ASSERT_TRUE(ini.WriteString("Script texts", "SHIFT F3", "1abc"));
    ASSERT_TRUE(ini.WriteString("Script texts", "SHIFT F4", "01"));
    ScriptLoad none = LoadScripts(Home(), platform::SettingsPath());
    EXPECT_FALSE(none.found);
    EXPECT_TRUE(none.message.empty());
    EXPECT_EQ(none.scripts, ScriptSet{});  // no flags read without the texts

    WriteFile(Home() + "/scripts.txt", std::string(48, '\0'));
    ScriptLoad load = LoadScripts(Home(), platform::SettingsPath());
    EXPECT_TRUE(load.message.empty());
    EXPECT_TRUE(load.scripts.mixed[2]);
    EXPECT_FALSE(load.scripts.mixed[3]);
}

TEST_F(ScriptFiles, DamagedScriptsTxtKeepsWholeRecordsAndSaysSo) {
    const std::string two = Le32(2) + "ab" + Le32(3) + "cde";
    struct Case {
        const char* what;
        std::string bytes;
        int recordsRead;
    } cases[] = {
        {"length past the end", two + Le32(100) + "short", 2},
        {"length of 4 GB", two + Le32(0xFFFFFFFFu) + "x", 2},
        {"length over a script's size", Le32(static_cast<uint32_t>(kMaxScriptBytes) + 1), 0},
        {"cut length", two + std::string("\x05\x00", 2), 2},
        {"empty file", "", 0},
    };
    for (const Case& c : cases) {
        ScriptParse p = ParseScriptsTxt(c.bytes);
        EXPECT_FALSE(p.Ok()) << c.what;
        EXPECT_EQ(p.recordsRead, c.recordsRead) << c.what;
        if (c.recordsRead == 2) {
            EXPECT_EQ(p.scripts.texts[0], "ab");
            EXPECT_EQ(p.scripts.texts[1], "cde");
        }
        for (int n = c.recordsRead; n < kScriptCount; ++n) EXPECT_TRUE(p.scripts.texts[n].empty());
    }
    // A file of zeros is twelve empty scripts; what follows them is not read.
    ScriptParse zeros = ParseScriptsTxt(std::string(100000, '\0'));
    EXPECT_TRUE(zeros.Ok());
    EXPECT_EQ(zeros.scripts, ScriptSet{});

    WriteFile(Home() + "/scripts.txt", two + Le32(0xFFFFFFFFu));
    ScriptLoad load = LoadScripts(Home(), platform::SettingsPath());
    EXPECT_EQ(load.scripts.texts[1], "cde");
    EXPECT_NE(load.message.find("is damaged"), std::string::npos) << load.message;
    EXPECT_NE(load.message.find("Shift-F3 on are empty"), std::string::npos) << load.message;
}

TEST_F(ScriptFiles, FailedSaveLeavesTheOldFilesWhole) {
    ScriptSet old = SampleScripts();
    ASSERT_TRUE(SaveScripts(Home(), platform::SettingsPath(), old));
    const std::string oldTexts = ReadFile(Home() + "/scripts.txt");
    const std::string oldIni = ReadFile(platform::SettingsPath());
    ScriptSet changed = old;
    changed.texts[0] = "changed";
    changed.mixed[0] = true;

    // The settings cannot be written: neither file changes.
    EXPECT_FALSE(SaveScripts(Home(), Home() + "/no-such-folder/kelmor.ini", changed));
    EXPECT_EQ(ReadFile(Home() + "/scripts.txt"), oldTexts);

    // The texts cannot be written (a folder is in their place): the flags are put back.
    const std::string other = Home() + "/other";
    std::filesystem::create_directories(other + "/scripts.txt");
    const std::string otherIni = other + "/kelmor.ini";
    ASSERT_TRUE(SaveScripts(Home(), otherIni, old));
    const std::string before = ReadFile(otherIni);
    EXPECT_FALSE(SaveScripts(other, otherIni, changed));
    EXPECT_EQ(ReadFile(otherIni), before);
    EXPECT_EQ(ReadFile(platform::SettingsPath()), oldIni);
}

TEST_F(ScriptFiles, StfRoundTripAndDamagedFilesChangeNothing) {
    ScriptSet s = SampleScripts();
    const std::string path = Home() + "/set.stf";
    std::string message;
    ASSERT_TRUE(SaveStfFile(path, s, message)) << message;
    std::string file = ReadFile(path);
    EXPECT_EQ(file.substr(0, 11), std::string("\x00\x00\x08script 1", 11));
    ScriptSet back;
    ASSERT_TRUE(LoadStfFile(path, back, message)) << message;
    EXPECT_EQ(back, s);

    const std::string damaged[] = {
        file.substr(0, file.size() - 1),         // cut last text
        file.substr(0, 2),                       // cut header
        std::string("\x01\xFF\xFF", 3) + "abc",  // length past the end
        std::string(20, '\0'),                   // zeros, too short for twelve records
    };
    for (const std::string& bytes : damaged) {
        WriteFile(path, bytes);
        ScriptSet kept = s;
        EXPECT_FALSE(LoadStfFile(path, kept, message));
        EXPECT_NE(message.find("is damaged"), std::string::npos) << message;
        EXPECT_EQ(kept, s);
    }
    EXPECT_FALSE(LoadStfFile(Home() + "/missing.stf", back, message));

    // A text whose length does not fit 16 bits is refused, not wrapped.
    s.texts[5] = std::string(70000, 'x');
    WriteFile(path, "old");
    EXPECT_FALSE(SaveStfFile(path, s, message));
    EXPECT_NE(message.find("Shift-F6"), std::string::npos) << message;
    EXPECT_EQ(ReadFile(path), "old");
}

// ---- transmit packets, files and delays ----

TEST(TransmitPacket, CounterCrcAndCrLfInThatOrder) {
    TransmitOptions o{true, true, true, true};
    int counter = -1;
    std::vector<uint8_t> p = BuildTextPacket("AB\\41\r\nz", o, counter);
    const std::string body = "00000ABA\r\nz";
    ASSERT_EQ(p.size(), body.size() + 4);
    EXPECT_EQ(Bytes(p).substr(0, body.size()), body);
    const uint16_t crc = core::MsgCrc(0xFFFF, body);
    EXPECT_EQ(p[body.size()], crc >> 8);
    EXPECT_EQ(p[body.size() + 1], crc & 0xFF);
    EXPECT_EQ(Bytes(p).substr(body.size() + 2), "\r\n");

    EXPECT_EQ(Bytes(BuildTextPacket("x", o, counter)).substr(0, 6), "00001x");
    counter = 99998;
    EXPECT_EQ(Bytes(BuildTextPacket("x", o, counter)).substr(0, 5), "99999");
    EXPECT_EQ(Bytes(BuildTextPacket("x", o, counter)).substr(0, 5), "00000");
}

TEST(TransmitPacket, DelayRulesAndNames) {
    EXPECT_EQ(RepeatIntervalMs("0,05"), 190);
    EXPECT_EQ(RepeatIntervalMs("0.2"), 200);
    EXPECT_EQ(RepeatIntervalMs("1,5"), 1500);
    EXPECT_EQ(RepeatIntervalMs("abc"), 190);
    EXPECT_EQ(RepeatIntervalMs("1e12"), 2000000000);
    EXPECT_EQ(NormaliseDelay("0,1", ','), "0,2");
    EXPECT_EQ(NormaliseDelay("x", '.'), "0.2");
    EXPECT_EQ(NormaliseDelay("1.5", '.'), "1.5");
    EXPECT_EQ(SpinDelay("0,2", false, ','), "0,2");
    EXPECT_EQ(SpinDelay("0,2", true, ','), "0,3");
    EXPECT_EQ(SpinDelay("7.25", true, '.'), "7.3");
    EXPECT_EQ(TransmitCaption("COM1: 9600 None"), "Transmit window COM1:");
    EXPECT_EQ(TransmitWindowName("Transmit window COM1:"), "Transmit window COM1");
    EXPECT_EQ(TransmitWindowName("Transmit window Termi"), "Transmit window Termi");
}

TEST_F(ScriptFiles, TextFileIsCappedAndStopsAtNulFlagsMustBeExactlyOne) {
    const std::string path = Home() + "/t.txw";
    WriteFile(path, std::string("abc\0def", 7));
    TransmitText t = LoadTransmitText(path);
    EXPECT_TRUE(t.found);
    EXPECT_EQ(t.text, "abc");
    EXPECT_TRUE(t.cut);
    WriteFile(path, std::string(kTransmitTextCap + 5000, 'x'));
    t = LoadTransmitText(path);
    EXPECT_EQ(t.text.size(), kTransmitTextCap);
    EXPECT_TRUE(t.cut);
    EXPECT_FALSE(LoadTransmitText(Home() + "/none.txw").found);

    platform::IniFile ini(platform::SettingsPath());
    ASSERT_TRUE(ini.WriteStrings("Transmit window COM1", {{"CR_LF", "1"}, {"Mixed", "2"}}));
    TransmitFlags f = ReadTransmitFlags(platform::SettingsPath(), "Transmit window COM1");
    EXPECT_TRUE(f.crLf);
    EXPECT_FALSE(f.mixed);
    EXPECT_FALSE(f.crc);

    std::vector<uint8_t> bytes;
    WriteFile(path, "");
    EXPECT_EQ(ReadTransmitFile(path, bytes), FileRead::Empty);
    WriteFile(path, "12345");
    EXPECT_EQ(ReadTransmitFile(path, bytes, 4), FileRead::TooLarge);
    EXPECT_EQ(ReadTransmitFile(path, bytes), FileRead::Ok);
    EXPECT_EQ(Bytes(bytes), "12345");
    EXPECT_EQ(ReadTransmitFile(Home() + "/none", bytes), FileRead::Unreadable);
}

// ---- TransmitSender against a recording terminal ----

namespace {

class RecordingTarget : public TransmitTarget {
  public:
    void SendBlock(std::vector<uint8_t> bytes) override { sent.push_back(Bytes(bytes)); }
    void DiscardPendingSend() override { ++discarded; }
    std::vector<std::string> sent;
    int discarded = 0;
};

struct SenderFixture {
    SenderFixture() : sender(target, prompter) {
        sender.request = [this] { return request; };
    }
    RecordingTarget target;
    FakePrompter prompter;
    TransmitRequest request;
    TransmitSender sender;
};

}  // namespace

TEST(TransmitSender, UserClicksRestartTheCounterContinuousSendingCountsOn) {
    SenderFixture f;
    f.request.text = "x";
    f.request.options.counter = true;
    for (int i = 0; i < 3; ++i) f.sender.Send(true);
    EXPECT_EQ(f.target.sent, (std::vector<std::string>{"00000x", "00000x", "00000x"}));

    f.target.sent.clear();
    f.request.continuous = true;
    f.request.delay = "0,05";
    bool active = false;
    f.sender.onActiveChanged = [&](bool a) { active = a; };
    f.sender.Send(true);
    EXPECT_TRUE(active);
    f.sender.AllSent();
    EXPECT_TRUE(f.sender.RepeatTimerActive());
    EXPECT_EQ(f.sender.RepeatTimerInterval(), 190);
    ASSERT_TRUE(WaitFor([&] { return f.target.sent.size() == 2; }));
    f.sender.AllSent();
    ASSERT_TRUE(WaitFor([&] { return f.target.sent.size() == 3; }));
    EXPECT_EQ(f.target.sent, (std::vector<std::string>{"00000x", "00001x", "00002x"}));

    // Cancel stops the repeat (the window stays), a second Cancel closes.
    EXPECT_FALSE(f.sender.Cancel());
    EXPECT_FALSE(active);
    EXPECT_FALSE(f.sender.RepeatTimerActive());
    EXPECT_EQ(f.target.discarded, 1);
    EXPECT_TRUE(f.sender.Cancel());
    EXPECT_EQ(f.target.discarded, 2);
}

TEST(TransmitSender, NothingGoesOutAfterAnErrorMessage) {
    SenderFixture f;
    f.request.continuous = true;
    f.sender.Send(true);
    f.request.fromFile = true;
    f.sender.Send(true);
    f.request.fileSelected = true;
    f.request.filePath = Home() + "/empty";
    WriteFile(f.request.filePath, "");
    f.sender.Send(true);
    EXPECT_EQ(f.prompter.Texts(),
              (std::vector<std::string>{kNoTextToSend, kNoFileSelected, kFileIsEmpty}));
    EXPECT_TRUE(f.target.sent.empty());
    EXPECT_FALSE(f.sender.Active());
}

TEST(TransmitSender, PortClosedStopsContinuousSendingPortBackSendsOnce) {
    SenderFixture f;
    f.request.text = "p";
    f.request.continuous = true;
    f.sender.Send(true);
    f.sender.AllSent();
    f.sender.Notice(TransmitMessage::PortClosed);
    ASSERT_TRUE(WaitFor([&] { return !f.sender.Active(); }));
    EXPECT_FALSE(f.sender.RepeatTimerActive());
    EXPECT_EQ(f.target.discarded, 1);
    f.sender.Notice(TransmitMessage::PortBack);
    ASSERT_TRUE(WaitFor([&] { return f.target.sent.size() == 2; }));
    // Continuous is still ticked: the resumed packet starts continuous sending again.
    EXPECT_TRUE(f.sender.Active());
}

// ---- over a pty, through a terminal's traffic ----

namespace {

class CoreTarget : public TransmitTarget {
  public:
    explicit CoreTarget(TerminalCore& core) : core_(core) {}
    void SendBlock(std::vector<uint8_t> bytes) override { core_.SendBlock(std::move(bytes)); }
    void DiscardPendingSend() override {}

  private:
    TerminalCore& core_;
};

// Bytes from the master side, each chunk with the time it arrived.
struct Arrivals {
    std::vector<std::pair<int64_t, std::string>> chunks;
    std::string All() const {
        std::string s;
        for (auto& c : chunks) s += c.second;
        return s;
    }
};

void Drain(PtyPair& pty, Arrivals& a, const QElapsedTimer& clock) {
    char buf[4096];
    ssize_t n;
    while ((n = ::read(pty.MasterFd(), buf, sizeof buf)) > 0)
        a.chunks.push_back({clock.nsecsElapsed() / 1000, std::string(buf, n)});
}

}  // namespace

TEST(TransmitOverPty, CountedPacketWithCrcAndContinuousSendingWaitsAfterTheLastByte) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    MemoryTextArea area;
    TerminalDisplay display(area);
    TerminalCore core(display);
    FakePrompter prompter;
    core.Port().SetPrompter(&prompter);
    core.Port().SetDevicePath(pty.SlavePath());
    core.Port().SetPortin_nro(serial::COM1);
    ASSERT_TRUE(core.OpenPort());
    CoreTarget target(core);
    TransmitSender sender(target, prompter);
    TransmitRequest request;
    request.text = "HELLO";
    request.options = {true, false, true, true};
    sender.request = [&] { return request; };
    core.transmitWindowOpen = true;
    core.onTransmitMessage = [&](TransmitMessage m) { sender.Notice(m); };

    QElapsedTimer clock;
    clock.start();
    Arrivals a;
    sender.Send(true);
    ASSERT_TRUE(WaitFor([&] {
        Drain(pty, a, clock);
        return a.All().size() >= 14;
    }));
    const std::string body = "00000HELLO";
    const uint16_t crc = core::MsgCrc(0xFFFF, body);
    EXPECT_EQ(a.All(), body + char(crc >> 8) + char(crc & 0xFF) + "\r\n");

    // Continuous with 0.2 s: each packet starts no sooner than the delay after the previous
    // packet's last byte left.
    a.chunks.clear();
    request.continuous = true;
    request.delay = "0.2";
    sender.Send(true);
    ASSERT_TRUE(WaitFor(
        [&] {
            Drain(pty, a, clock);
            return a.All().size() >= 3 * 14;
        },
        5000));
    EXPECT_FALSE(sender.Cancel());
    const std::string all = a.All();
    EXPECT_EQ(all.substr(0, 5), "00000");
    EXPECT_EQ(all.substr(14, 5), "00001");
    EXPECT_EQ(all.substr(28, 5), "00002");
    int64_t lastByteOfPacket = -1;
    size_t seen = 0;
    for (auto& [at, bytes] : a.chunks) {
        if (lastByteOfPacket >= 0 && seen % 14 == 0) {
            EXPECT_GE(at - lastByteOfPacket, 180000);
        }
        seen += bytes.size();
        if (seen % 14 == 0) lastByteOfPacket = at;
    }
    // Stopped: nothing more comes.
    a.chunks.clear();
    QElapsedTimer quiet;
    quiet.start();
    while (quiet.elapsed() < 400) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        Drain(pty, a, clock);
    }
    EXPECT_TRUE(a.All().empty());
}

// ---- TX test ----

TEST(TxTest, BlocksAreWholeCopiesOfTheText) {
    std::vector<uint8_t> block = TxTestBlock("UU", 115200);
    ASSERT_GE(block.size(), 1000u);
    EXPECT_EQ(block.size() % 2, 0u);
    EXPECT_EQ(Bytes(block).find_first_not_of('U'), std::string::npos);
    EXPECT_EQ(Bytes(TxTestBlock("ABC", 300, 1)), "ABC");
    EXPECT_TRUE(TxTestBlock("", 9600).empty());

    serial::TCommPort port;
    ConfigureTxTestPort(port, {1, 9, 1, 2, 0, 1});
    EXPECT_EQ(port.Portin_nro(), serial::COM2);
    EXPECT_EQ(port.Baudrate(), serial::br115200);
    EXPECT_EQ(port.RTSmode(), serial::rtsHANDSHAKE);
    EXPECT_EQ(port.Kattely(), serial::fcNone);
    EXPECT_EQ(port.pariteetti(), serial::pbEven);
    EXPECT_EQ(port.Databits(), serial::db_7_Seven);
    EXPECT_EQ(port.Stopbits(), serial::sbTwo);
    EXPECT_FALSE(port.taustaajo());
    ConfigureTxTestPort(port, {0, 5, 2, 0, 1, 0});
    EXPECT_EQ(port.RTSmode(), serial::rtsDISABLE);
    EXPECT_EQ(port.Kattely(), serial::fcXONXOFF);
}

TEST(TxTest, SessionReleasesWritesWithoutPauseStopsAndReacquires) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    setenv("KELMOR_COM2", pty.SlavePath().c_str(), 1);
    FakePrompter prompter;
    TxTestSession session;
    session.Port().SetPrompter(&prompter);
    session.releasePauseMs = session.closePauseMs = session.reacquirePauseMs = 10;
    std::vector<std::string> log;
    session.releasePort = [&](int i) { log.push_back("release " + std::to_string(i)); };
    session.reacquirePort = [&](int i) {
        log.push_back("reacquire " + std::to_string(i) + (session.Port().IsOpen() ? " open" : ""));
    };
    session.Start({1, 9, 0, 0, 1, 0}, "UU");
    EXPECT_EQ(log, std::vector<std::string>{"release 1"});
    ASSERT_TRUE(WaitFor([&] { return session.Port().IsOpen(); }));
    session.Start({1, 9, 0, 0, 1, 0}, "xx");  // ignored while sending
    std::string got;
    ASSERT_TRUE(WaitFor([&] {
        char buf[4096];
        ssize_t n = ::read(pty.MasterFd(), buf, sizeof buf);
        if (n > 0) got.append(buf, n);
        return got.size() >= 20000;
    }));
    EXPECT_EQ(got.find_first_not_of('U'), std::string::npos);
    session.Stop();
    EXPECT_TRUE(session.Sending());  // the GUI thread did not wait for the writer
    // Keep reading so the writer is never stuck on a full pty.
    ASSERT_TRUE(WaitFor([&] {
        char buf[4096];
        while (::read(pty.MasterFd(), buf, sizeof buf) > 0) {
        }
        return !session.Sending();
    }));
    EXPECT_FALSE(session.Port().IsOpen());
    EXPECT_EQ(log, (std::vector<std::string>{"release 1", "reacquire 1"}));
    unsetenv("KELMOR_COM2");
}
