// The single and multi flash windows, offscreen, against simulated modems on pseudo-terminals in
// real time.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <thread>

#include "fakeshellservices.h"
#include "flash/firmwarepack.h"
#include "flash/flashsetup.h"
#include "flash/ui/multiflash.h"
#include "flash/ui/singleflash.h"
#include "platform/inifile.h"
#include "platform/programdir.h"
#include "sim/ptyrunner.h"
#include "sim/srecordwriter.h"

namespace kelmor::testing {
namespace {

using flash::ui::TCMultiFlashDlg;
using flash::ui::TCSingleFlashDlg;
using platform::Answer;
using shell::MultiFlashKind;

constexpr const char* kOk = "Programming completed succesfully!";
constexpr const char* kInterrupted = "User interrupted flashing!";

// A simulated modem serving a pseudo-terminal, mapped to COM<port>.
struct PtyModem {
    PtyModem(int port, sim::ModemConfig config) : runner(std::move(config)) {
        setenv(("KELMOR_COM" + std::to_string(port)).c_str(), runner.DevicePath().c_str(), 1);
        thread = std::thread([this] { runner.Run(stop); });
    }
    ~PtyModem() {
        stop = true;
        thread.join();
    }
    const std::vector<uint8_t>& Flash() { return runner.Modem().FlashContent(); }

    sim::PtyRunner runner;
    std::atomic<bool> stop{false};
    std::thread thread;
};

sim::ModemConfig Modem(sim::Chip chip, sim::Mode mode, std::string token = {}) {
    sim::ModemConfig c;
    c.chip = chip;
    c.mode = mode;
    c.flashToken = std::move(token);
    return c;
}

// An NMS modem: its crystal is the 33 MHz one.
sim::ModemConfig NmsModem() {
    sim::ModemConfig c = Modem(sim::Chip::H83069, sim::Mode::Update, "HQ7XUHF+");
    c.crystalHz = 33000000;
    return c;
}

// A prompter that lets a test act while a prompt is on screen (in the GUI thread).
struct HookPrompter : FakePrompter {
    std::function<void(const platform::Prompt&)> onAsk;
    Answer Ask(const platform::Prompt& p) override {
        if (onAsk) onAsk(p);
        return FakePrompter::Ask(p);
    }
};

struct Shell : FakeShellServices {
    platform::Prompter& Prompter() override { return hook; }
    HookPrompter hook;
};

std::string Home() { return platform::ProgramDir(); }

// Each test starts from no settings (the windows remember ports, enables and options).
void ForgetSettings() { std::remove(platform::SettingsPath().c_str()); }

std::string WriteFile(const std::string& name, const std::string& bytes) {
    std::string path = Home() + "/" + name;
    EXPECT_TRUE(platform::WriteFileAtomic(path, bytes));
    return path;
}

template <typename T>
T* Child(QWidget& w, const char* name) {
    T* c = w.findChild<T*>(name);
    EXPECT_NE(c, nullptr) << name;
    return c;
}

void Click(QWidget& w, const char* name) {
    auto* b = Child<QAbstractButton>(w, name);
    ASSERT_TRUE(b->isEnabled()) << name;
    QTest::mouseClick(b, Qt::LeftButton);
}

bool HasText(const FakePrompter& p, const std::string& text) {
    for (const auto& t : p.Texts())
        if (t.find(text) != std::string::npos) return true;
    return false;
}

bool FlashHolds(const std::vector<uint8_t>& flash, const std::vector<uint8_t>& image, size_t n) {
    return std::equal(image.begin(), image.begin() + static_cast<long>(n), flash.begin());
}

// ---- single flash window ----

TEST(SingleFlashWindow, EachFileKindSetsItsBoxesAndFlashes) {
    ForgetSettings();
    constexpr uint32_t kLength = 0x900;
    auto image = sim::PatternImage(kLength);
    std::string records = sim::MakeSRecords(image, 0, kLength);
    flash::FirmwareKey key{};
    auto fixedByte = [] { return uint8_t{0x33}; };
    struct Case {
        const char* name;
        std::string bytes;
        sim::ModemConfig modem;
        bool h3069, oem, oemShown, nms, nmsShown, veryslowShown;
    } cases[] = {
        {"fw.sff", flash::PackContainer("ZorvaFlash", records, key),
         Modem(sim::Chip::H8, sim::Mode::Update), false, false, false, false, false, false},
        {"fw.sf2", flash::PackContainer("ZorvaFlash", records, key),
         Modem(sim::Chip::H83069, sim::Mode::Update), true, false, false, false, false, true},
        {"fw.sf3", flash::PackContainer("ZorvaUHFNMS", records, key), NmsModem(), true, false,
         false, true, true, true},
        {"fw.sfo", flash::PackOemFile(image, kLength, fixedByte),
         Modem(sim::Chip::H83069, sim::Mode::Update), true, true, true, false, false, true},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        PtyModem modem(2, c.modem);
        Shell shell;
        TCSingleFlashDlg dlg(shell);
        dlg.show();
        EXPECT_EQ(dlg.windowTitle(), "Flash Update");
        EXPECT_TRUE(shell.locks.Locked(shell::ToolButton::Open));
        std::string path = WriteFile(c.name, c.bytes);
        dlg.ChooseFile(QString::fromStdString(path));
        EXPECT_EQ(dlg.windowTitle().toStdString(), path);
        EXPECT_EQ(Child<QCheckBox>(dlg, "h8_3069")->isChecked(), c.h3069);
        EXPECT_EQ(Child<QCheckBox>(dlg, "OEM_flash1")->isChecked(), c.oem);
        EXPECT_EQ(Child<QCheckBox>(dlg, "OEM_flash1")->isVisible(), c.oemShown);
        EXPECT_EQ(Child<QCheckBox>(dlg, "HQ7Xnms")->isChecked(), c.nms);
        EXPECT_EQ(Child<QCheckBox>(dlg, "HQ7Xnms")->isVisible(), c.nmsShown);
        EXPECT_EQ(Child<QCheckBox>(dlg, "veryslow")->isVisible(), c.veryslowShown);
        Child<QComboBox>(dlg, "portti_id")->setCurrentIndex(1);  // COM2

        QSignalSpy finished(&dlg, &TCSingleFlashDlg::runFinished);
        Click(dlg, "Flash_tiedosto");
        EXPECT_FALSE(Child<QPushButton>(dlg, "Luetiedosto")->isEnabled());
        ASSERT_TRUE(finished.wait(30000));
        EXPECT_EQ(shell.hook.Texts().back(), kOk);
        EXPECT_EQ(shell.hook.Prompts().back().caption, "Information");
        EXPECT_TRUE(FlashHolds(modem.Flash(), image, kLength));
        EXPECT_TRUE(Child<QPushButton>(dlg, "Flash_tiedosto")->isEnabled());
        EXPECT_EQ(Child<QProgressBar>(dlg, "prog_bar")->value(), 0);
        // The settings remember the port and the file's folder.
        platform::IniFile ini(platform::SettingsPath());
        EXPECT_EQ(ini.ReadInteger("Single Flash", "Serial port", -1), 1);
        EXPECT_EQ(ini.ReadString("Single Flash", "Directory", ""), Home());
    }
    unsetenv("KELMOR_COM2");
}

TEST(SingleFlashWindow, WrongKeyOrBadKeyFieldStopsBeforeThePort) {
    ForgetSettings();
    auto image = sim::PatternImage(0x100);
    flash::FirmwareKey key{};
    key[0] = 0x11;
    std::string path = WriteFile(
        "fw.sf2", flash::PackContainer("ZorvaFlash", sim::MakeSRecords(image, 0, 0x100), key));
    Shell shell;
    {
        TCSingleFlashDlg dlg(shell);
        dlg.ChooseFile(QString::fromStdString(path));
        Child<QLineEdit>(dlg, "key_id1")->setText("1234567X");
        Click(dlg, "Flash_tiedosto");
        EXPECT_EQ(shell.hook.Texts().back(), "The format of key is NOT valid! Check It!");
        EXPECT_TRUE(Child<QPushButton>(dlg, "Flash_tiedosto")->isEnabled());

        Child<QLineEdit>(dlg, "key_id1")->setText("00000000");  // not the file's key
        Click(dlg, "Flash_tiedosto");
        EXPECT_EQ(shell.hook.Texts().back(), "ERROR: Wrong key or file isn't correct!");
        EXPECT_FALSE(Child<QPushButton>(dlg, "Luetiedosto")->isEnabled());
        EXPECT_FALSE(Child<QPushButton>(dlg, "Flash_tiedosto")->isEnabled());
        EXPECT_FALSE(dlg.Running());
        // Closing now asks (the buttons are off) and closes at once on Yes: nothing runs.
        shell.hook.Script({Answer::Yes});
        EXPECT_TRUE(dlg.close());
        EXPECT_EQ(shell.hook.Texts().back(), flash::kInterruptQuestion);
    }
    // The window gave the tool buttons back.
    EXPECT_FALSE(shell.locks.Locked(shell::ToolButton::Open));
}

TEST(SingleFlashWindow, InterruptDuringSynchronisationEndsTheRunAndKeepsTheWindow) {
    ForgetSettings();
    // A boot program that never answers: the run would try for about 16 s.
    sim::ModemConfig silent = Modem(sim::Chip::H83069, sim::Mode::Boot);
    sim::Fault f;
    f.point = sim::FaultPoint::Sync;
    f.kind = sim::FaultKind::NoAnswer;
    f.count = -1;
    silent.faults = {f};
    PtyModem modem(1, silent);
    auto image = sim::PatternImage(0x100);
    std::string path =
        WriteFile("fw.sf2", flash::PackContainer("ZorvaFlash", sim::MakeSRecords(image, 0, 0x100),
                                                 flash::FirmwareKey{}));
    Shell shell;
    TCSingleFlashDlg dlg(shell);
    dlg.show();
    dlg.ChooseFile(QString::fromStdString(path));
    Child<QCheckBox>(dlg, "paivita")->setChecked(false);
    QSignalSpy finished(&dlg, &TCSingleFlashDlg::runFinished);
    Click(dlg, "Flash_tiedosto");
    QTest::qWait(800);  // settled, synchronising
    ASSERT_TRUE(dlg.Running()) << ::testing::PrintToString(shell.hook.Texts());
    shell.hook.Script({Answer::Yes});
    auto asked = std::chrono::steady_clock::now();
    EXPECT_FALSE(dlg.close());  // the window stays while the run ends
    EXPECT_TRUE(dlg.Stopping());
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(2));
    EXPECT_EQ(shell.hook.Texts().back(), kInterrupted);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(Child<QPushButton>(dlg, "Flash_tiedosto")->isEnabled());
    unsetenv("KELMOR_COM1");
}

// ---- multi flash windows ----

struct RecFile {
    explicit RecFile(uint32_t length, const char* name = "fw.rec")
        : image(sim::PatternImage(length)),
          path(WriteFile(name, sim::MakeSRecords(image, 0, length))),
          length(length) {}
    std::vector<uint8_t> image;
    std::string path;
    uint32_t length;
};

// Enables the channels (1-based) on the given ports (1-based).
void UseChannels(TCMultiFlashDlg& dlg, std::initializer_list<std::pair<int, int>> channels) {
    for (int i = 1; i <= 4; ++i)
        Child<QCheckBox>(dlg, ("kayta" + std::to_string(i)).c_str())->setChecked(false);
    for (auto [channel, port] : channels) {
        std::string n = std::to_string(channel);
        Child<QCheckBox>(dlg, ("kayta" + n).c_str())->setChecked(true);
        Child<QComboBox>(dlg, ("portti_id" + n).c_str())->setCurrentIndex(port - 1);
    }
}

TEST(MultiFlashWindow, ChannelsOneAndThreeFlashAndTheOthersReportPortNotEnabled) {
    ForgetSettings();
    RecFile rec(0x1800);
    PtyModem a(3, Modem(sim::Chip::H83069, sim::Mode::Update));
    PtyModem b(5, Modem(sim::Chip::H83069, sim::Mode::Update));
    Shell shell;
    TCMultiFlashDlg dlg(shell, MultiFlashKind::MultiFlash);
    dlg.show();
    EXPECT_TRUE(shell.locks.Locked(shell::ToolButton::Flash));
    dlg.ChooseFile(QString::fromStdString(rec.path));
    EXPECT_TRUE(Child<QCheckBox>(dlg, "HQ7Xnms")->isChecked());  // a ".rec" file
    Child<QCheckBox>(dlg, "HQ7Xnms")->setChecked(false);
    Child<QCheckBox>(dlg, "h8_3069")->click();
    EXPECT_FALSE(Child<QCheckBox>(dlg, "SpeedSelection")->isEnabled());
    Child<QCheckBox>(dlg, "Update")->setChecked(true);
    UseChannels(dlg, {{1, 3}, {3, 5}});

    QSignalSpy finished(&dlg, &TCMultiFlashDlg::flashingFinished);
    Click(dlg, "Flash_tiedosto");
    EXPECT_EQ(shell.released, (std::vector<int>{2, 4}));
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_EQ(shell.hook.Texts().back(), std::string("Port1: ") + kOk +
                                             "\nPort2: Port not enabled!\nPort3: " + kOk +
                                             "\nPort4: Port not enabled!\n");
    EXPECT_EQ(shell.hook.Prompts().back().caption, "Information");
    EXPECT_EQ(dlg.LastSound(), "");  // no ok.wav in this program folder: no sound
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(dlg.ChannelRed(i));
    EXPECT_TRUE(FlashHolds(a.Flash(), rec.image, rec.length));
    EXPECT_TRUE(FlashHolds(b.Flash(), rec.image, rec.length));
    EXPECT_TRUE(QTest::qWaitFor([&] { return shell.reacquired.size() == 2; }, 2000));
    EXPECT_EQ(shell.reacquired, (std::vector<int>{2, 4}));
    platform::IniFile ini(platform::SettingsPath());
    EXPECT_EQ(ini.ReadString("Multi Flash", "Enable 3", ""), "1");
    EXPECT_EQ(ini.ReadString("Multi Flash", "Filename", ""), "fw.rec");
    EXPECT_EQ(ini.ReadInteger("Multi Flash", "Serial port3", 0), 4);
    unsetenv("KELMOR_COM3");
    unsetenv("KELMOR_COM5");
}

TEST(MultiFlashWindow, RefusalsBeforeAnyPortIsTaken) {
    ForgetSettings();
    RecFile rec(0x100);
    std::string bad = sim::MakeSRecords(rec.image, 0, 0x100);
    bad[bad.find("\r\nS1") + 20] ^= 1;  // a data digit: the record's checksum no longer fits
    std::string badPath = WriteFile("bad.a37", bad);
    Shell shell;
    TCMultiFlashDlg dlg(shell, MultiFlashKind::MultiFlash2);
    dlg.ChooseFile(QString::fromStdString(rec.path));
    struct Case {
        std::initializer_list<std::pair<int, int>> channels;
        std::string file;
        std::string message;
    } cases[] = {
        {{}, rec.path, flash::kOnePortMustBeEnabled},
        {{{3, 2}, {4, 2}}, rec.path, flash::kPortsMustDiffer},
        {{{2, 7}}, Home() + "/gone.rec", flash::FileMissingText(Home() + "/gone.rec")},
        {{{2, 7}}, badPath, "CRC error in a37 file "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        UseChannels(dlg, c.channels);
        dlg.ChooseFile(QString::fromStdString(c.file));
        Click(dlg, "Flash_tiedosto");
        EXPECT_EQ(shell.hook.Texts().back(), c.message);
        EXPECT_TRUE(shell.released.empty());
        EXPECT_TRUE(Child<QPushButton>(dlg, "Flash_tiedosto")->isEnabled());
    }
}

TEST(MultiFlashWindow, InterruptDuringTheLoaderEndsEveryChannelAndClosesTheWindow) {
    ForgetSettings();
    RecFile rec(0x800);
    PtyModem a(1, Modem(sim::Chip::H8, sim::Mode::Boot));
    PtyModem b(2, Modem(sim::Chip::H8, sim::Mode::Boot));
    Shell shell;
    auto* dlg = new TCMultiFlashDlg(shell, MultiFlashKind::MultiFlash);
    QPointer<TCMultiFlashDlg> alive(dlg);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->show();
    dlg->ChooseFile(QString::fromStdString(rec.path));
    UseChannels(*dlg, {{1, 1}, {2, 2}});
    QSignalSpy finished(dlg, &TCMultiFlashDlg::flashingFinished);
    Click(*dlg, "Flash_tiedosto");
    auto* bar = Child<QProgressBar>(*dlg, "loader2");
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->value() > 0; }, 10000))
        << ::testing::PrintToString(shell.hook.Texts());
    shell.hook.Script({Answer::Yes});
    EXPECT_FALSE(dlg->close());
    EXPECT_TRUE(dlg->Stopping());
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(shell.hook.Texts().back(), std::string("Port1: ") + kInterrupted +
                                             "\nPort2: " + kInterrupted +
                                             "\nPort3: Port not enabled!\nPort4: Port not "
                                             "enabled!\n");
    // The old firmware is still there and the window closes by itself.
    EXPECT_NE(a.Flash()[0], 0xFF);
    EXPECT_TRUE(QTest::qWaitFor([&] { return alive.isNull(); }, 3000));
    unsetenv("KELMOR_COM1");
    unsetenv("KELMOR_COM2");
}

TEST(MultiFlashWindow, InterruptDuringProgrammingAt9600) {
    ForgetSettings();
    RecFile rec(0x6000);
    sim::ModemConfig paced = Modem(sim::Chip::H83069, sim::Mode::Update);
    paced.pacing = true;
    PtyModem modem(4, paced);
    Shell shell;
    TCMultiFlashDlg dlg(shell, MultiFlashKind::MultiFlash);
    dlg.show();
    dlg.ChooseFile(QString::fromStdString(rec.path));
    Child<QCheckBox>(dlg, "h8_3069")->click();
    Child<QCheckBox>(dlg, "veryslow")->setChecked(true);
    Child<QCheckBox>(dlg, "HQ7Xnms")->setChecked(false);
    Child<QCheckBox>(dlg, "Update")->setChecked(true);
    UseChannels(dlg, {{4, 4}});
    QSignalSpy finished(&dlg, &TCMultiFlashDlg::flashingFinished);
    Click(dlg, "Flash_tiedosto");
    auto* bar = Child<QProgressBar>(dlg, "softa4");
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->value() > 0; }, 20000))
        << ::testing::PrintToString(shell.hook.Texts()) << modem.runner.Modem().Describe();
    EXPECT_FALSE(Child<QPushButton>(dlg, "peruuta")->isEnabled());  // flashing has begun
    shell.hook.Script({Answer::Yes});
    auto asked = std::chrono::steady_clock::now();
    EXPECT_FALSE(dlg.close());
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(2));
    EXPECT_NE(shell.hook.Texts().back().find(std::string("Port4: ") + kInterrupted),
              std::string::npos);
    EXPECT_TRUE(dlg.ChannelRed(3));
    unsetenv("KELMOR_COM4");
}

TEST(MultiFlashWindow, ClosingWhileAWorkerWaitsForAnAnswerNeverHangs) {
    ForgetSettings();
    // The firmware's odd reply makes the run ask; while that question is on screen the user
    // closes the window and interrupts. The GUI thread must not wait for the worker, which
    // itself waits for the GUI thread's answer.
    RecFile rec(0x200);
    PtyModem modem(6, Modem(sim::Chip::H8, sim::Mode::Update, "WHAT?"));
    Shell shell;
    TCMultiFlashDlg dlg(shell, MultiFlashKind::MultiFlash);
    dlg.show();
    dlg.ChooseFile(QString::fromStdString(rec.path));
    Child<QCheckBox>(dlg, "Update")->setChecked(true);
    UseChannels(dlg, {{2, 6}});
    bool closedDuringQuestion = false;
    shell.hook.onAsk = [&](const platform::Prompt& p) {
        if (p.caption != "FLASH ERROR !!" || closedDuringQuestion) return;
        closedDuringQuestion = true;
        shell.hook.Script({Answer::Yes, Answer::Yes});  // interrupt, then continue anyway
        dlg.close();
    };
    QSignalSpy finished(&dlg, &TCMultiFlashDlg::flashingFinished);
    Click(dlg, "Flash_tiedosto");
    ASSERT_TRUE(finished.wait(15000));
    EXPECT_TRUE(closedDuringQuestion);
    EXPECT_NE(shell.hook.Texts().back().find(std::string("Port2: ") + kInterrupted),
              std::string::npos);
    unsetenv("KELMOR_COM6");
}

TEST(MultiFlashWindow, BothWindowsFlashAtOnceOnDifferentPorts) {
    ForgetSettings();
    RecFile rec(0x1000);
    PtyModem a(7, Modem(sim::Chip::H8, sim::Mode::Boot));
    PtyModem b(8, Modem(sim::Chip::H8, sim::Mode::Boot));
    Shell shell;
    TCMultiFlashDlg first(shell, MultiFlashKind::MultiFlash);
    TCMultiFlashDlg second(shell, MultiFlashKind::MultiFlash2);
    for (auto [dlg, port] : {std::pair{&first, 7}, std::pair{&second, 8}}) {
        dlg->show();
        dlg->ChooseFile(QString::fromStdString(rec.path));
        UseChannels(*dlg, {{1, port}});
    }
    QSignalSpy firstDone(&first, &TCMultiFlashDlg::flashingFinished);
    QSignalSpy secondDone(&second, &TCMultiFlashDlg::flashingFinished);
    Click(first, "Flash_tiedosto");
    Click(second, "Flash_tiedosto");
    ASSERT_TRUE(QTest::qWaitFor([&] { return firstDone.count() && secondDone.count(); }, 30000));
    EXPECT_EQ(first.LastSummary().substr(0, 41), std::string("Port1: ") + kOk);
    EXPECT_EQ(second.LastSummary().substr(0, 41), std::string("Port1: ") + kOk);
    EXPECT_TRUE(FlashHolds(a.Flash(), rec.image, rec.length));
    EXPECT_TRUE(FlashHolds(b.Flash(), rec.image, rec.length));
    // Each window keeps its own settings section.
    platform::IniFile ini(platform::SettingsPath());
    EXPECT_EQ(ini.ReadInteger("Multi Flash", "Serial port", 0), 6);
    EXPECT_EQ(ini.ReadInteger("Multi Flash2", "Serial port", 0), 7);
    unsetenv("KELMOR_COM7");
    unsetenv("KELMOR_COM8");
}

TEST(MultiFlashWindow, SettingsComeBackAndCrystalChoicesAreExclusive) {
    ForgetSettings();
    RecFile rec(0x100, "fw.a37");
    platform::IniFile ini(platform::SettingsPath());
    ASSERT_TRUE(ini.WriteStrings("Multi Flash2", {{"Serial port2", "5"},
                                                  {"Directory", Home()},
                                                  {"Filename", "fw.a37"},
                                                  {"Enable 2", "1"},
                                                  {"Enable 3", "true"},
                                                  {"Enable h8 3069", "1"},
                                                  {"freq 24", "1"},
                                                  {"freq 33", "1"},
                                                  {"xtal freq", "30000000"}}));
    Shell shell;
    shell.dsrOption = true;
    TCMultiFlashDlg dlg(shell, MultiFlashKind::MultiFlash2);
    EXPECT_EQ(dlg.windowTitle().toStdString(), rec.path);
    EXPECT_TRUE(Child<QPushButton>(dlg, "Flash_tiedosto")->isEnabled());
    EXPECT_FALSE(Child<QCheckBox>(dlg, "HQ7Xnms")->isChecked());
    EXPECT_EQ(Child<QComboBox>(dlg, "portti_id2")->currentIndex(), 5);
    EXPECT_TRUE(Child<QCheckBox>(dlg, "kayta2")->isChecked());
    EXPECT_FALSE(Child<QCheckBox>(dlg, "kayta3")->isChecked());  // only "1" is on
    EXPECT_TRUE(Child<QCheckBox>(dlg, "h8_3069")->isChecked());
    EXPECT_TRUE(Child<QAbstractButton>(dlg, "freq_24")->isChecked());
    EXPECT_FALSE(Child<QAbstractButton>(dlg, "freq_33")->isChecked());
    // DSR option: the options that would not suit the board test stay off.
    for (const char* name : {"Update", "veryslow", "OEM_flash", "SpeedSelection", "freq_var"})
        EXPECT_FALSE(Child<QWidget>(dlg, name)->isEnabled()) << name;
}

TEST(MultiFlashWindow, RemoteStartEndsWithTheExitCode) {
    ForgetSettings();
    RecFile rec(0x400);
    {
        PtyModem modem(9, Modem(sim::Chip::H8, sim::Mode::Boot));
        Shell shell;
        TCMultiFlashDlg dlg(shell, MultiFlashKind::MultiFlash);
        QSignalSpy ended(&dlg, &TCMultiFlashDlg::remoteFinished);
        dlg.RemoteStart(9, 0b0001, QString::fromStdString(rec.path), 0);
        ASSERT_TRUE(ended.wait(20000));
        EXPECT_EQ(ended.at(0).at(0).toInt(), 0);
        EXPECT_EQ(shell.hook.Count(), 0u);  // no box
        EXPECT_TRUE(dlg.LastSound().empty());
    }
    {
        // Channel 2 has no modem behind its port: the summary is shown, then the end.
        PtyModem modem(9, Modem(sim::Chip::H8, sim::Mode::Boot));
        Shell shell;
        TCMultiFlashDlg dlg(shell, MultiFlashKind::MultiFlash);
        QSignalSpy ended(&dlg, &TCMultiFlashDlg::remoteFinished);
        setenv("KELMOR_COM10", "/nonexistent/ttyKelmor", 1);
        Child<QComboBox>(dlg, "portti_id2")->setCurrentIndex(9);
        dlg.RemoteStart(9, 0b0011, QString::fromStdString(rec.path), 0);
        ASSERT_TRUE(ended.wait(20000));
        EXPECT_NE(ended.at(0).at(0).toInt(), 0);
        EXPECT_TRUE(HasText(shell.hook, "Port1: " + std::string(kOk)))
            << ::testing::PrintToString(shell.hook.Texts());
        EXPECT_EQ(shell.hook.Prompts().back().caption, "");  // a plain message
    }
    {
        Shell shell;
        TCMultiFlashDlg dlg(shell, MultiFlashKind::MultiFlash);
        QSignalSpy ended(&dlg, &TCMultiFlashDlg::remoteFinished);
        dlg.RemoteStart(9, 1, QString::fromStdString(Home() + "/none.rec"), 0);
        ASSERT_TRUE(ended.wait(2000));
        EXPECT_NE(ended.at(0).at(0).toInt(), 0);
        EXPECT_EQ(shell.hook.Texts(),
                  std::vector<std::string>{"File does not exists !! " + Home() + "/none.rec"});
    }
    unsetenv("KELMOR_COM9");
    unsetenv("KELMOR_COM10");
}

}  // namespace
}  // namespace kelmor::testing
