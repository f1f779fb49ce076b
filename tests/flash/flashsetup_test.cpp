// What the flash windows decide before a run: folders, boxes by extension, the port test and
// the preparation of the shared data.
#include "flash/flashsetup.h"

#include <gtest/gtest.h>

#include "fakeprompter.h"
#include "platform/inifile.h"
#include "platform/programdir.h"
#include "sim/srecordwriter.h"

namespace kelmor::testing {
namespace {

TEST(FlashSetup, StartFolderFromTheStoredDirectory) {
    EXPECT_EQ(flash::StartFolderFor("ERROR"), platform::ProgramDir());
    EXPECT_EQ(flash::StartFolderFor("C:\\"), "C:");            // only backslash, last
    EXPECT_EQ(flash::StartFolderFor("C:\\fw\\"), "C:\\fw\\");  // an earlier one: kept
    EXPECT_EQ(flash::StartFolderFor("/home/tech/fw"), "/home/tech/fw");
}

TEST(FlashSetup, BoxesByExtensionInLowerCase) {
    struct Case {
        const char* path;
        bool h3069, oem, nms;
    } cases[] = {{"a.sfo", true, true, false},
                 {"a.SF2", true, false, false},
                 {"a.Sf3", true, false, true},
                 {"a.sff", false, false, false},
                 {"a.bin", false, false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        flash::FileBoxes b = flash::BoxesForFile(c.path);
        EXPECT_EQ(b.h3069, c.h3069);
        EXPECT_EQ(b.oem, c.oem);
        EXPECT_EQ(b.oemShown, c.oem);
        EXPECT_EQ(b.nms, c.nms);
        EXPECT_EQ(b.nmsShown, c.nms);
    }
}

TEST(FlashSetup, PortTestComparesEveryPairWithDisabledChannelsApart) {
    using E = std::array<bool, 4>;
    using P = std::array<int, 4>;
    EXPECT_TRUE(flash::ChannelsOnDistinctPorts(E{true, false, true, false}, P{0, 0, 1, 1}));
    EXPECT_FALSE(flash::ChannelsOnDistinctPorts(E{false, false, true, true}, P{0, 0, 4, 4}));
    EXPECT_FALSE(flash::ChannelsOnDistinctPorts(E{true, false, false, true}, P{2, 0, 0, 2}));
    EXPECT_TRUE(flash::ChannelsOnDistinctPorts(E{true, true, true, true}, P{0, 1, 2, 3}));
}

TEST(FlashSetup, MultiJobChecksEveryRecordAndBuildsOemPackets) {
    auto image = sim::PatternImage(0x300);
    std::string path = platform::ProgramDir() + "/fw.rec";
    ASSERT_TRUE(platform::WriteFileAtomic(path, sim::MakeSRecords(image, 0, 0x300)));
    FakePrompter prompter;
    flash::MultiFlashRequest r;
    r.path = path;
    r.h3069 = true;
    r.oem = true;
    flash::MultiFlashJob job;
    ASSERT_TRUE(job.Load(r, prompter, [] { return uint8_t{7}; }));
    EXPECT_EQ(job.Size(), 6u * 132);  // six pages of 128 bytes, 132 bytes each as packets
    flash::CFlashChannels channels(4);
    r.enabled = {false, true, false, false};
    r.portIndex = {0, 4, 0, 0};
    job.Configure(r, channels);
    EXPECT_TRUE(channels.h3069Active);
    EXPECT_EQ(channels.PortOf(1), 5);
    EXPECT_EQ(channels.Channel(1).h3069.programSize, 6u * 132);
    EXPECT_TRUE(channels.Channel(1).h3069.h8_3069Warning);

    // The H8 kind sends the text as it is, but only after every record has been checked.
    std::string text = sim::MakeSRecords(image, 0, 0x300);
    text[text.rfind("S1") + 9] ^= 1;
    ASSERT_TRUE(platform::WriteFileAtomic(path, text));
    r.h3069 = r.oem = false;
    EXPECT_FALSE(job.Load(r, prompter));
    EXPECT_EQ(prompter.Texts().back(), "CRC error in a37 file ");
}

TEST(FlashSetup, ResultSoundOnlyWhenItsFileIsInTheProgramFolder) {
    EXPECT_EQ(flash::ResultSoundPath(false), "");
    ASSERT_TRUE(platform::WriteFileAtomic(platform::ProgramDir() + "/error.wav", "RIFF"));
    EXPECT_EQ(flash::ResultSoundPath(true), platform::ProgramDir() + "/error.wav");
    EXPECT_EQ(flash::ResultSoundPath(false), "");
}

}  // namespace
}  // namespace kelmor::testing
