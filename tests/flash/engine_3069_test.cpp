// The H8/3069 runs (boot path, update path, OEM update) against the simulated chip.
#include <gtest/gtest.h>

#include <algorithm>

#include "flash/massflash_3069.h"
#include "flash/oempackets.h"
#include "flash/srecord.h"
#include "flashrig.h"
#include "sim/srecordwriter.h"

namespace kelmor::testing {
namespace {

using flash::CMassFlash_3069;
using sim::FaultKind;
using sim::FaultPoint;

constexpr uint32_t kProgramSize = 0x9000;

struct H3069Run {
    explicit H3069Run(sim::ModemConfig config = {}, bool update = false)
        : rig(Prepare(config, update)) {
        image = sim::PatternImage(kProgramSize - 100);
        engine.link = rig.Setup();
        engine.observer = &rig.observer;
        engine.update = update;
        engine.image = image.data();
        engine.imageSize = static_cast<uint32_t>(image.size());
        engine.programSize = kProgramSize;
        engine.randomByte = [] { return uint8_t{0x5A}; };
    }
    static sim::ModemConfig Prepare(sim::ModemConfig config, bool update) {
        config.chip = sim::Chip::H83069;
        config.mode = update ? sim::Mode::Update : sim::Mode::Boot;
        return config;
    }
    // The first `length` bytes of the flash equal the image.
    bool FlashHoldsImage(uint32_t length) {
        const auto& f = rig.Flash();
        return std::equal(image.begin(), image.begin() + length, f.begin());
    }
    int Run() { return engine.Run(); }

    FlashRig rig;
    CMassFlash_3069 engine;
    std::vector<uint8_t> image;
};

TEST(H83069Engine, BootPathProgramsTheImageOverAnErasedFlash) {
    H3069Run run;
    EXPECT_EQ(run.Run(), 0);
    EXPECT_EQ(run.rig.Flash(), run.image);  // whole flash erased by the boot program
    EXPECT_EQ(run.rig.observer.loader, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(run.engine.programProgress.load(), static_cast<int32_t>(kProgramSize));
    EXPECT_EQ(run.rig.observer.begun, 1);
    EXPECT_EQ(run.engine.LoaderSteps(), 8);
    // The boot path never sends the update path's end byte.
    EXPECT_NE(run.rig.Sent().back(), 0xFE);
}

TEST(H83069Engine, UpdatePathErasesBlocksUpToTheProgramSize) {
    H3069Run run({}, true);
    EXPECT_EQ(run.Run(), 0);
    EXPECT_TRUE(run.FlashHoldsImage(0x10000));  // blocks 0..8, programmed and erased
    // Block 9 onwards still hold the old firmware.
    EXPECT_NE(run.rig.Flash()[0x10000], 0xFF);
    for (uint8_t k = 0; k <= 8; ++k)
        EXPECT_EQ(run.rig.SentCount({0x58, 0x01, k, static_cast<uint8_t>(0x100 - 0x59 - k)}), 1u)
            << int(k);
    EXPECT_EQ(run.rig.SentCount({0x58, 0x01, 0x09}), 0u);
    EXPECT_EQ(run.rig.SentCount({0x58, 0x01, 0xFF, 0xA8}), 1u);
    EXPECT_EQ(run.rig.observer.loader.back(), 1748);
    EXPECT_EQ(run.engine.LoaderSteps(), 1748);
    auto sent = run.rig.Sent();
    EXPECT_EQ(std::string(sent.begin(), sent.begin() + 7), "QVFLASH");
    EXPECT_EQ(sent.back(), 0xFE);
}

TEST(H83069Engine, OemUpdateSendsScrambledPagesThatLandAsTheImage) {
    sim::ModemConfig config;
    H3069Run run(config, true);
    auto scrambled = run.image;
    std::vector<uint8_t> bodies;
    size_t n = flash::BuildOemPackets(scrambled, kProgramSize, bodies, [] { return uint8_t{7}; });
    run.engine.oem = true;
    run.engine.image = bodies.data();
    run.engine.imageSize = static_cast<uint32_t>(bodies.size());
    run.engine.programSize = static_cast<uint32_t>(n);
    EXPECT_EQ(run.Run(), 0);
    EXPECT_TRUE(run.FlashHoldsImage(kProgramSize));
    auto sent = run.rig.Sent();
    EXPECT_EQ(std::string(sent.begin(), sent.begin() + 7), "QVFLOEM");
    EXPECT_EQ(sent[7], 0x05);  // ENQ straight away: no synchronisation, no loader
    auto end = flash::OemEndFrameBytes(0x5A);
    EXPECT_EQ(run.rig.SentCount({0x50, end[0], end[1], end[2], end[3]}), 1u);
}

TEST(H83069Engine, NewBitRateFrameCarriesTheCrystal) {
    auto a = CMassFlash_3069::NewBitRateFrame(0, 24576000);
    EXPECT_EQ(a, (std::vector<uint8_t>{
                     0x3F, 0x07, 0x00, 0xC0, 0x04, 0xCD, 0x01, 0x01, 0x00,
                     static_cast<uint8_t>(0x100 - ((0x3F + 7 + 0xC0 + 0x04 + 0xCD + 2) & 0xFF))}));
    auto b = CMassFlash_3069::NewBitRateFrame(1, 33000000);
    EXPECT_EQ(b[2], 0x04);
    EXPECT_EQ(b[3], 0x80);
    EXPECT_EQ((b[4] << 8) | b[5], 1650);
    // In a run on a 33 MHz modem the same frame goes out and the line still works.
    sim::ModemConfig config;
    config.crystalHz = 33000000;
    H3069Run run(config);
    run.engine.crystal = 33000000;
    EXPECT_EQ(run.Run(), 0);
    EXPECT_EQ(run.rig.SentCount(CMassFlash_3069::NewBitRateFrame(0, 33000000)), 1u);
    EXPECT_EQ(run.rig.line->HostRates().back(), 38400);
}

TEST(H83069Engine, SpeedModesSwitchTheHostRate) {
    // Speed mode 0 asks for 0x00C0 and the host goes to 38400; modes 1 and 2 ask for 0x0480 and
    // go to 115200 and 9600. The simulated chip's crystal is picked so that the rate its
    // bit-rate register gives is the one the host switches to.
    struct Case {
        int speed;
        uint32_t hostCrystal, chipCrystal;
        int rate;
    } cases[] = {{0, 24576000, 24576000, 38400},
                 {1, 29491200, 14745600, 115200},
                 {2, 29491200, 1228800, 9600}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.speed);
        sim::ModemConfig config;
        config.crystalHz = c.chipCrystal;
        H3069Run run(config);
        run.engine.speedMode = c.speed;
        run.engine.crystal = c.hostCrystal;
        EXPECT_EQ(run.Run(), 0);
        EXPECT_EQ(run.rig.line->HostRates().back(), c.rate);
    }
}

TEST(H83069Engine, ARateTheChipCannotMakeIsReportedWithItsErrorCode) {
    H3069Run run;
    run.engine.speedMode = 1;  // 115200 from a 12.29 MHz setting is 11 % off
    EXPECT_EQ(run.Run(), 0xBF);
    EXPECT_EQ(run.rig.prompter.Texts(), std::vector<std::string>{"36"});
    EXPECT_EQ(run.engine.ResultText(0xBF), "ERROR: Unknown error occured!");
    EXPECT_EQ(run.rig.Flash()[0], sim::SimulatedModem({}).FlashContent()[0]);  // untouched
}

TEST(H83069Engine, BootProgramErrorBytesBecomeTheResult) {
    struct Case {
        int command;
        std::vector<uint8_t> reply;
        int expected;
    } cases[] = {
        {0x10, {0x90, 0x21}, 0x90},  // device selection refused
        {0x22, {0x80}, 128},         // command error
        {0x27, {0x21}, 33},          // a bare error code reads as its text
        {0x40, {0x51}, 81},         {0x43, {0xD0, 0x2A}, 0xD0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        sim::ModemConfig config;
        sim::Fault f = MakeFault(FaultPoint::Command, FaultKind::ErrorReply);
        f.command = c.command;
        f.reply = c.reply;
        config.faults = {f};
        H3069Run run(config);
        EXPECT_EQ(run.Run(), c.expected);
    }
    sim::ModemConfig config;
    sim::Fault e6 = MakeFault(FaultPoint::SyncEnd, FaultKind::ErrorReply);
    e6.reply = {0xFF};
    config.faults = {e6};
    H3069Run run(config);
    EXPECT_EQ(run.Run(), 255);
    EXPECT_EQ(run.engine.ResultText(255), "ERROR: Bit-rate-adjustment confirmation error");
    EXPECT_EQ(run.engine.ResultText(33), "ERROR: Device code mismatch error");
}

TEST(H83069Engine, NoReplyToDeviceSelectionWaitsAbout10sMoreThenInitialisationError1) {
    sim::ModemConfig config;
    sim::Fault f = MakeFault(FaultPoint::Command, FaultKind::NoAnswer);
    f.command = 0x10;
    config.faults = {f};
    H3069Run run(config);
    int64_t start = run.rig.clock.Now();
    EXPECT_EQ(run.Run(), 101);
    EXPECT_EQ(run.engine.ResultText(101), "ERROR: Initialization error ! 1");
    // 10 s for the reply and 10 s more for a late one.
    EXPECT_GE(run.rig.clock.Now() - start, 20000);
    EXPECT_LT(run.rig.clock.Now() - start, 22000);
}

TEST(H83069Engine, SumCheckErrorResendsTheFrameAtMostTenTimes) {
    for (int errors : {10, 11}) {
        SCOPED_TRACE(errors);
        sim::ModemConfig config;
        config.faults = {MakeFault(FaultPoint::Frame, FaultKind::SumError, 3, errors)};
        H3069Run run(config);
        EXPECT_EQ(run.Run(), errors == 10 ? 0 : 100);
        if (errors == 10) {
            EXPECT_EQ(run.rig.Flash(), run.image);
        }
    }
    H3069Run run;
    EXPECT_EQ(run.engine.ResultText(100), "ERROR: Data packet (128 bytes) programming failure !");
}

TEST(H83069Engine, UpdatePathFaultsEndWithTheirCodes) {
    struct Case {
        const char* name;
        std::vector<sim::Fault> faults;
        int expected;
    } cases[] = {
        {"no flash-mode reply", {MakeFault(FaultPoint::FlashMode, FaultKind::NoAnswer)}, 1},
        {"sync never answered", {MakeFault(FaultPoint::Sync, FaultKind::NoAnswer, 0, -1)}, 1},
        {"no loader length echo", {MakeFault(FaultPoint::LoaderLength, FaultKind::NoAnswer)}, 3},
        {"loader echo missing", {MakeFault(FaultPoint::LoaderEcho, FaultKind::NoAnswer, 1000)}, 4},
        {"wrong loader echo", {MakeFault(FaultPoint::LoaderEcho, FaultKind::WrongEcho, 5)}, 5},
        {"ACK on the 49th ENQ", {MakeFault(FaultPoint::Enq, FaultKind::NoAnswer, 0, 48)}, 8},
        {"no loader CRC", {MakeFault(FaultPoint::LoaderCrc, FaultKind::NoAnswer)}, 9},
        {"wrong loader CRC", {MakeFault(FaultPoint::LoaderCrc, FaultKind::WrongCrc)}, 10},
        {"line unplugged while programming",
         {MakeFault(FaultPoint::Frame, FaultKind::Unplug, 20)},
         100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::ModemConfig config;
        config.faults = c.faults;
        H3069Run run(config, true);
        EXPECT_EQ(run.Run(), c.expected);
    }
}

TEST(H83069Engine, FlashModeReplyChecks) {
    using platform::Answer;
    struct Case {
        const char* name;
        const char* token;
        bool warning, nms;
        uint8_t model;
        std::initializer_list<Answer> answers;
        int expected;
        size_t questions;
    } cases[] = {
        {"single window, old H8/3048 firmware", "FLASH OK", false, false, 0, {}, 85, 0},
        {"multi window asks, No", "FLASH OK", true, false, 3, {Answer::No}, 85, 1},
        {"multi window asks, Yes: firmware 3.00", "FLASH OK", true, false, 3, {Answer::Yes}, 0, 1},
        {"H8/3069 firmware", "H3069 OK", false, false, 0, {}, 0, 0},
        {"unknown reply", "HELLO", false, false, 0, {}, 97, 0},
        {"VHF file on a UHF modem", "HQ7XUHF+", false, true, 2, {}, 97, 0},
        {"UHF file on a VHF modem", "HQ7XVHF+", false, true, 1, {}, 97, 0},
        {"UHF file on a UHF modem", "HQ7XUHF+", false, true, 1, {}, 0, 0},
        {"NMS file, plain firmware", "H3069 OK", false, true, 1, {}, 97, 0},
        {"old NMS firmware accepted", "H3069 OK", true, true, 3, {Answer::Yes}, 0, 1},
        {"old NMS firmware refused", "H3069 OK", true, true, 3, {Answer::No}, 85, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::ModemConfig config;
        config.flashToken = c.token;
        H3069Run run(config, true);
        run.engine.h8_3069Warning = c.warning;
        run.engine.nms = c.nms;
        run.engine.model = c.model;
        run.rig.prompter.Script(c.answers);
        EXPECT_EQ(run.Run(), c.expected);
        EXPECT_EQ(run.rig.prompter.Count(), c.questions);
        for (const auto& p : run.rig.prompter.Prompts()) {
            EXPECT_EQ(p.caption, "FLASH ERROR !!");
            EXPECT_EQ(p.defaultButton, Answer::No);
        }
    }
    sim::ModemConfig refusing;
    refusing.oemToken = "NO";
    H3069Run refused(refusing, true);
    refused.engine.oem = true;
    EXPECT_EQ(refused.Run(), 97);
}

TEST(H83069Engine, BoardCheckAndPortFailures) {
    sim::ModemConfig config;
    config.dsr = false;
    H3069Run run(config);
    run.engine.boardCheck = true;
    EXPECT_EQ(run.Run(), 113);
    EXPECT_EQ(run.engine.ResultText(113), "ERROR: Board not in plase ! ");

    H3069Run closed;
    closed.engine.link.deviceFactory = [] {
        auto d = std::make_unique<sim::SimSerialDevice>(nullptr);
        d->FailOpen(platform::OpenResult::NotFound);
        return d;
    };
    EXPECT_EQ(closed.Run(), 48);

    H3069Run empty;
    empty.engine.programSize = 0;  // the boot program would erase everything for nothing
    EXPECT_EQ(empty.Run(), 51);
    H3069Run tooBig;
    tooBig.engine.imageSize = 1000;
    EXPECT_EQ(tooBig.Run(), 51);
    EXPECT_TRUE(tooBig.rig.Sent().empty());
}

TEST(H83069Engine, AbortDuringTheLoaderOrAfterItsCrc) {
    {
        H3069Run run({}, true);
        run.rig.observer.onLoader = [&](int p) {
            if (p >= 64) run.engine.abort.store(true);
        };
        EXPECT_EQ(run.Run(), 98);
        EXPECT_EQ(run.rig.observer.loader.back(), 64);
    }
    {
        // Set just before the CRC check: the flashing-begun notice is the last sign before it.
        struct AbortOnBegin : RecordingObserver {
            CMassFlash_3069* engine = nullptr;
            void FlashingBegun() override { engine->abort.store(true); }
        } observer;
        H3069Run run({}, true);
        observer.engine = &run.engine;
        run.engine.observer = &observer;
        EXPECT_EQ(run.Run(), 98);
        EXPECT_EQ(run.engine.ResultText(98), "User interrupted flashing!");
        EXPECT_EQ(run.rig.SentCount({0x58, 0x01, 0x00, 0xA7}), 0u);  // no erasure
        EXPECT_NE(run.rig.Flash()[0], 0xFF);
    }
}

TEST(H83069Engine, InterruptIsHeardInEveryLongStep) {
    {
        // Programming: between two frames (at 9600 bit/s the step lasts minutes).
        struct AbortOnFrame : RecordingObserver {
            CMassFlash_3069* engine = nullptr;
            void ProgramProgress(int p) override {
                RecordingObserver::ProgramProgress(p);
                engine->abort.store(true);
            }
        } observer;
        H3069Run run;
        observer.engine = &run.engine;
        run.engine.observer = &observer;
        EXPECT_EQ(run.Run(), 98);
        EXPECT_EQ(observer.program, (std::vector<int>{128}));
    }
    {
        // Synchronisation with a silent boot program: 301 attempts would take 16 s.
        sim::ModemConfig silent;
        silent.faults = {MakeFault(FaultPoint::Sync, FaultKind::NoAnswer, 0, -1)};
        H3069Run run(silent);
        int syncs = 0;
        run.rig.clock.onSleep = [&](int64_t ms) {
            if (ms == 3 && ++syncs == 5) run.engine.abort.store(true);
        };
        EXPECT_EQ(run.Run(), 98);
        EXPECT_LE(run.rig.SentCount({0x00}), 6u);
    }
    {
        // A command that gets no reply is waited for up to 10 s; the interrupt cuts it short.
        sim::ModemConfig config;
        config.faults = {MakeFault(FaultPoint::Command, FaultKind::NoAnswer, 0, -1)};
        config.faults.back().command = 0x10;
        H3069Run run(config);
        int64_t start = 0;
        run.rig.observer.onLoader = [&](int step) {
            if (step != 1) return;
            start = run.rig.clock.Now();
            run.engine.abort.store(true);
        };
        EXPECT_EQ(run.Run(), 98);
        EXPECT_LT(run.rig.clock.Now() - start, 1000);
    }
}

TEST(H83069Engine, AfterAnInterruptNoQuestionIsShownAndTheRunReportsTheInterrupt) {
    sim::ModemConfig config;
    config.flashToken = "FLASH OK";  // firmware 3.00: the multi windows ask
    H3069Run run(config, true);
    run.engine.h8_3069Warning = true;
    run.rig.clock.onSleep = [&](int64_t ms) {
        if (ms == 500) run.engine.abort.store(true);
    };
    run.rig.prompter.Script({platform::Answer::Yes});
    EXPECT_EQ(run.Run(), 98);
    EXPECT_EQ(run.rig.prompter.Count(), 0u);
}

}  // namespace
}  // namespace kelmor::testing
