// The H8 boot-mode run against the simulated chip.
#include <gtest/gtest.h>

#include "core/crc16.h"
#include "flash/firmwarefile.h"
#include "flash/firmwarepack.h"
#include "flash/massflash.h"
#include "flash/srecord.h"
#include "flashrig.h"
#include "sim/srecordwriter.h"

namespace kelmor::testing {
namespace {

using flash::CMassFlash;
using sim::FaultKind;
using sim::FaultPoint;

constexpr uint32_t kImageLength = 0x1234;  // not a multiple of 16 or 128

std::vector<uint8_t> Image() { return sim::PatternImage(kImageLength); }
std::string Records() { return sim::MakeSRecords(Image(), 0, kImageLength); }

struct H8Run {
    explicit H8Run(sim::ModemConfig config = {}) : rig(std::move(config)) {
        engine.link = rig.Setup();
        engine.observer = &rig.observer;
        UsePlain(Records());
    }
    void UsePlain(std::string text) {
        file = std::move(text);
        engine.enciphered = false;
        Point();
    }
    void UseContainer(std::string packed, const flash::FirmwareKey& key) {
        file = std::move(packed);
        engine.enciphered = true;
        engine.key = key;
        Point();
    }
    void Point() {
        engine.data = reinterpret_cast<const uint8_t*>(file.data());
        engine.fileSize = static_cast<int32_t>(file.size());
    }
    int Run() { return engine.Run(); }

    FlashRig rig;
    CMassFlash engine;
    std::string file;
};

// The flash the records describe: erased, then the records written.
std::vector<uint8_t> ExpectedFlash(const std::string& text) {
    auto image = flash::NewFlashImage();
    FakePrompter quiet;
    EXPECT_GT(flash::ParseSRecordLines(text, image, quiet), 0u);
    return image;
}

TEST(H8Engine, BootRunFromPlainRecordsLeavesTheImageInFlash) {
    H8Run run;
    EXPECT_EQ(run.Run(), 0);
    EXPECT_EQ(run.rig.Flash(), ExpectedFlash(run.file));
    EXPECT_EQ(run.rig.SentCount({0x00}) >= 1, true);
    EXPECT_EQ(run.rig.observer.loader.back(), 1436);
    EXPECT_EQ(run.rig.observer.begun, 1);
    EXPECT_GT(run.engine.programProgress.load(), static_cast<int32_t>(run.file.rfind("S9")));
    EXPECT_LE(run.engine.programProgress.load(), static_cast<int32_t>(run.file.size()));
    EXPECT_EQ(run.rig.prompter.Count(), 0u);
    EXPECT_EQ(CMassFlash::ResultText(0), "Programming completed succesfully!");
}

TEST(H8Engine, BootRunFromContainerAtEitherSpeed) {
    for (int speed : {0, 1}) {
        SCOPED_TRACE(speed);
        H8Run run;
        flash::FirmwareKey key{};
        for (size_t i = 0; i < key.size(); ++i) key[i] = static_cast<uint8_t>(0x11 * i);
        run.UseContainer(flash::PackContainer("ZorvaFlash", Records(), key), key);
        run.engine.speedMode = speed;
        EXPECT_EQ(run.Run(), 0);
        EXPECT_EQ(run.rig.Flash(), ExpectedFlash(Records()));
        EXPECT_EQ(run.rig.line->HostRates().back(), speed ? 115200 : 38400);
    }
}

TEST(H8Engine, UpdateRunAsksTheFirmwareAndEndsWithFE) {
    sim::ModemConfig config;
    config.mode = sim::Mode::Update;
    H8Run run(config);
    run.engine.update = true;
    EXPECT_EQ(run.Run(), 0);
    EXPECT_EQ(run.rig.Flash(), ExpectedFlash(run.file));
    auto sent = run.rig.Sent();
    EXPECT_EQ(std::string(sent.begin(), sent.begin() + 7), "QVFLASH");
    EXPECT_EQ(sent.back(), 0xFE);
}

TEST(H8Engine, SynchronisationSendsOneByteWhenAnsweredAtOnce) {
    H8Run run;
    ASSERT_EQ(run.Run(), 0);
    auto sent = run.rig.Sent();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[0], 0x00);
    EXPECT_EQ(sent[1], 0x55);
}

TEST(H8Engine, SilentModemGets31SyncBytes20MsApartThenCode1) {
    sim::ModemConfig config;
    config.faults = {MakeFault(FaultPoint::Sync, FaultKind::NoAnswer, 0, -1)};
    H8Run run(config);
    int64_t start = run.rig.clock.Now();
    EXPECT_EQ(run.Run(), 1);
    EXPECT_EQ(run.rig.Sent(), std::vector<uint8_t>(31, 0x00));
    // 10 ms open wait + 1600 ms settle + 31 x 20 ms.
    EXPECT_EQ(run.rig.clock.Now() - start, 10 + 1600 + 31 * 20);
    EXPECT_EQ(CMassFlash::ResultText(1), "ERROR: Couldn't find Zorva Modem!");
}

struct FaultCase {
    const char* name;
    std::vector<sim::Fault> faults;
    int expected;
};

TEST(H8Engine, ModemFaultsEndWithTheirCodes) {
    auto late = [](FaultPoint p, int ms) {
        sim::Fault f = MakeFault(p, FaultKind::Late);
        f.delayMs = ms;
        return f;
    };
    const FaultCase cases[] = {
        {"no loader length echo", {MakeFault(FaultPoint::LoaderLength, FaultKind::NoAnswer)}, 3},
        {"wrong loader length echo",
         {MakeFault(FaultPoint::LoaderLength, FaultKind::WrongEcho, 1)},
         3},
        {"loader echo missing", {MakeFault(FaultPoint::LoaderEcho, FaultKind::NoAnswer, 700)}, 4},
        {"line unplugged in the loader",
         {MakeFault(FaultPoint::LoaderEcho, FaultKind::Unplug, 40)},
         4},
        {"wrong loader echo", {MakeFault(FaultPoint::LoaderEcho, FaultKind::WrongEcho, 1435)}, 5},
        {"no erase status", {MakeFault(FaultPoint::EraseStatus, FaultKind::NoAnswer)}, 6},
        {"erase status too late", {late(FaultPoint::EraseStatus, 600)}, 6},
        {"erase failure", {MakeFault(FaultPoint::EraseStatus, FaultKind::EraseFail)}, 7},
        {"no ACK to ENQ", {MakeFault(FaultPoint::Enq, FaultKind::NoAnswer, 0, -1)}, 8},
        {"ACK on the 49th ENQ", {MakeFault(FaultPoint::Enq, FaultKind::NoAnswer, 0, 48)}, 8},
        {"no loader CRC", {MakeFault(FaultPoint::LoaderCrc, FaultKind::NoAnswer)}, 9},
        {"wrong loader CRC", {MakeFault(FaultPoint::LoaderCrc, FaultKind::WrongCrc)}, 10},
        {"52 NAKs", {MakeFault(FaultPoint::Packet, FaultKind::Nak, 3, 52)}, 11},
        {"CAN", {MakeFault(FaultPoint::Packet, FaultKind::Can, 5)}, 12},
        {"no packet answer", {MakeFault(FaultPoint::Packet, FaultKind::NoAnswer, 2, -1)}, 50},
        {"26 NAKs then 26 time-outs",
         {MakeFault(FaultPoint::Packet, FaultKind::Nak, 1, 26),
          MakeFault(FaultPoint::Packet, FaultKind::NoAnswer, 27, -1)},
         50},
        {"answers that mean nothing",
         {MakeFault(FaultPoint::Packet, FaultKind::Garbage, 0, -1)},
         50},
        {"line unplugged in the records",
         {MakeFault(FaultPoint::Packet, FaultKind::Unplug, 10)},
         50},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::ModemConfig config;
        config.faults = c.faults;
        H8Run run(config);
        EXPECT_EQ(run.Run(), c.expected);
        EXPECT_EQ(run.engine.result.load(), c.expected);
        EXPECT_FALSE(run.engine.ResultText(c.expected).empty());
    }
}

TEST(H8Engine, FiftyOneNaksAndTimeOutsAreTolerated) {
    for (FaultKind kind : {FaultKind::Nak, FaultKind::NoAnswer}) {
        sim::ModemConfig config;
        config.faults = {MakeFault(FaultPoint::Packet, kind, 4, 51)};
        H8Run run(config);
        EXPECT_EQ(run.Run(), 0);
        EXPECT_EQ(run.rig.Flash(), ExpectedFlash(run.file));
    }
}

TEST(H8Engine, FlashModeRepliesAndTheQuestion) {
    struct Case {
        const char* token;
        std::initializer_list<platform::Answer> answers;
        int expected;
        size_t questions;
    } cases[] = {
        {"H3069 OK", {}, 55, 0},
        {"FLASH OK", {}, 0, 0},
        {"WHAT?", {platform::Answer::No}, 51, 1},
        {"WHAT?", {platform::Answer::Yes}, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.token);
        sim::ModemConfig config;
        config.mode = sim::Mode::Update;
        config.flashToken = c.token;
        H8Run run(config);
        run.engine.update = true;
        run.rig.prompter.Script(c.answers);
        EXPECT_EQ(run.Run(), c.expected);
        ASSERT_EQ(run.rig.prompter.Count(), c.questions);
        if (c.questions) {
            auto p = run.rig.prompter.Prompts()[0];
            EXPECT_EQ(p.caption, "FLASH ERROR !!");
            EXPECT_EQ(
                p.text,
                "But if leds are in order\r\nRTS CTS    TD         RD          CD\r\nRED NONE "
                "GREEN ORANGE RED\r\nYou may try to continue\r\n\r\nContinue anyway ?");
            EXPECT_EQ(p.defaultButton, platform::Answer::No);
            EXPECT_EQ(p.buttons, platform::Buttons::YesNo);
        }
        if (c.expected == 55) {
            EXPECT_EQ(run.rig.SentCount({0x00}), 0u);  // no boot byte sent
        }
    }
}

TEST(H8Engine, EmptyFlashModeReplyGoesOnWithoutAsking) {
    sim::ModemConfig config;
    config.mode = sim::Mode::Update;
    config.faults = {MakeFault(FaultPoint::FlashMode, FaultKind::NoAnswer)};
    H8Run run(config);
    run.engine.update = true;
    EXPECT_EQ(run.Run(), 0);
    EXPECT_EQ(run.rig.prompter.Count(), 0u);
}

TEST(H8Engine, DataChecksAndOpenFailureBeforeTheModem) {
    flash::FirmwareKey key{}, wrong{};
    wrong[0] = 1;
    std::string good = flash::PackContainer("ZorvaFlash", Records(), key);
    std::string badCrc = good;
    badCrc.back() = static_cast<char>(badCrc.back() ^ 1);
    {
        H8Run run;
        run.UseContainer(good, wrong);
        EXPECT_EQ(run.Run(), 42);
    }
    {
        H8Run run;
        run.UseContainer(badCrc, key);
        EXPECT_EQ(run.Run(), 41);
    }
    {
        H8Run run;
        run.UsePlain("X" + Records());  // does not begin with "S0"
        EXPECT_EQ(run.Run(), 43);
        EXPECT_TRUE(run.rig.Sent().empty());
    }
    for (const char* text :
         {"S0030000FC\r\nS1G3", "S0030000FC\r\nS1130000ZZ", "S0030000FC\r\nSX"}) {
        SCOPED_TRACE(text);
        H8Run run;
        run.UsePlain(text);
        EXPECT_EQ(run.Run(), 43);
    }
    {
        H8Run run;
        run.engine.link.deviceFactory = [] {
            auto d = std::make_unique<sim::SimSerialDevice>(nullptr);
            d->FailOpen(platform::OpenResult::Busy);
            return d;
        };
        EXPECT_EQ(run.Run(), 40);
        EXPECT_EQ(CMassFlash::ResultText(40), "ERROR: Couldn't open com port!");
    }
}

TEST(H8Engine, RecordPacketsCarryCountPlusOneAndTheirCrc) {
    // S1 with count 0x13: 2 address bytes, 16 data bytes, 1 checksum byte.
    std::string text =
        "S00600004844521B\r\nS1130000000102030405060708090A0B0C0D0E0F74\r\nS9030000FC\r\n";
    H8Run run;
    run.UsePlain(text);
    ASSERT_EQ(run.Run(), 0);
    std::vector<uint8_t> packet = {'S', '1', 0x14, 0x00, 0x00};
    for (uint8_t i = 0; i < 16; ++i) packet.push_back(i);
    uint16_t crc = core::Mcrf4xxCrc(packet.data(), packet.size());
    packet.push_back(static_cast<uint8_t>(crc >> 8));
    packet.push_back(static_cast<uint8_t>(crc));
    EXPECT_EQ(packet.size(), 23u);
    EXPECT_EQ(run.rig.SentCount(packet), 1u);
    EXPECT_EQ(run.rig.Flash()[15], 15);
}

TEST(H8Engine, S8DoesNotEndTheTransferOnlyS9Does) {
    auto image = sim::PatternImage(64);
    sim::SRecordOptions s8;
    s8.endWithS8 = true;
    std::string first = sim::MakeSRecords(image, 0, 32, s8);
    std::string second = sim::MakeSRecords(image, 32, 32);
    H8Run run;
    run.UsePlain(first + second.substr(second.find("\r\n") + 2));  // one S0 only
    ASSERT_EQ(run.Run(), 0);
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 64, run.rig.Flash().begin()));
}

TEST(H8Engine, EveryRecordIsCheckedBeforeThePortIsTouched) {
    // A damaged record near the end used to be found only after the loader had erased the
    // flash, leaving the modem empty. Now the whole text is checked first.
    std::string text = Records();
    size_t last = text.rfind("S1");
    std::string badSum = text;
    badSum[badSum.find("\r\n", last) - 1] ^= 1;  // checksum digit of the last data record
    std::string noEnd = text.substr(0, text.rfind("S9"));
    std::string badDigit = text;
    badDigit[last + 10] = 'g';
    std::string shortRecord = text.substr(0, last + 12) + "\r\nS9030000FC\r\n";
    flash::FirmwareKey key{};
    for (const auto& [name, plain] :
         std::vector<std::pair<const char*, std::string>>{{"checksum", badSum},
                                                          {"no S9", noEnd},
                                                          {"digit", badDigit},
                                                          {"short record", shortRecord}}) {
        for (bool container : {false, true}) {
            SCOPED_TRACE(std::string(name) + (container ? " in a container" : " plain"));
            H8Run run;
            if (container)
                run.UseContainer(flash::PackContainer("ZorvaFlash", plain, key), key);
            else
                run.UsePlain(plain);
            EXPECT_EQ(run.Run(), 43);
            EXPECT_TRUE(run.rig.Sent().empty());
            EXPECT_NE(run.rig.Flash()[0], 0xFF);  // the old firmware is still there
        }
    }
    EXPECT_EQ(flash::CheckH8RecordText(text), 0);
}

TEST(H8Engine, AbortDuringTheLoaderStopsAfterTheCurrentChunk) {
    H8Run run;
    run.rig.observer.onLoader = [&](int p) {
        if (p >= 320) run.engine.abort.store(true);
    };
    EXPECT_EQ(run.Run(), 52);
    EXPECT_EQ(run.rig.observer.loader.back(), 320);
    EXPECT_EQ(run.rig.observer.begun, 0);
    EXPECT_EQ(CMassFlash::ResultText(52), "User interrupted flashing!");
    // The flash still holds the old firmware.
    EXPECT_NE(run.rig.Flash()[0], 0xFF);
}

TEST(H8Engine, AfterAnInterruptNoQuestionIsShownAndTheRunReportsTheInterrupt) {
    // The user interrupts while the firmware's reply to the flash-mode request is awaited.
    sim::ModemConfig config;
    config.mode = sim::Mode::Update;
    config.flashToken = "WHAT?";
    H8Run run(config);
    run.engine.update = true;
    run.rig.clock.onSleep = [&](int64_t ms) {
        if (ms == 500) run.engine.abort.store(true);
    };
    run.rig.prompter.Script({platform::Answer::Yes});
    EXPECT_EQ(run.Run(), 52);
    EXPECT_EQ(run.rig.prompter.Count(), 0u);
}

TEST(H8Engine, ResultTexts) {
    EXPECT_EQ(CMassFlash::ResultText(11), "ERROR: Hitachi couldn't burn (NAK), tried 50 times!");
    EXPECT_EQ(CMassFlash::ResultText(0xFFFF), "Port not enabled!");
    EXPECT_EQ(CMassFlash::ResultText(2), "ERROR: Unknown error occured!");
    EXPECT_EQ(CMassFlash().LoaderSteps(), 1436);
}

}  // namespace
}  // namespace kelmor::testing
