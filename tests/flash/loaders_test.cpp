#include "flash/loaders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "core/crc16.h"
#include "platform/inifile.h"
#include "platform/programdir.h"

namespace kelmor::flash {
namespace {

const LoaderId kAll[] = {LoaderId::H8_38400,         LoaderId::H8_115200,
                         LoaderId::H83069_Speed0Low, LoaderId::H83069_Speed0High,
                         LoaderId::H83069_Speed1Low, LoaderId::H83069_Speed1High,
                         LoaderId::H83069_Speed2Low, LoaderId::H83069_Speed2High};

TEST(Loaders, BuiltInImagesHaveTheirSizesAndDiffer) {
    std::set<uint16_t> crcs;
    for (LoaderId id : kAll) {
        auto image = BuiltInLoader(id);
        size_t expected = id <= LoaderId::H8_115200 ? kH8LoaderLength : kH83069LoaderLength;
        EXPECT_EQ(LoaderLength(id), expected);
        EXPECT_EQ(image.size(), expected) << LoaderFileName(id);
        crcs.insert(core::Mcrf4xxCrc(image.data(), image.size()));
    }
    EXPECT_EQ(crcs.size(), 8u);
}

TEST(Loaders, Selection) {
    EXPECT_EQ(SelectH8Loader(0), LoaderId::H8_38400);
    EXPECT_EQ(SelectH8Loader(1), LoaderId::H8_115200);
    EXPECT_EQ(SelectH8Loader(2), LoaderId::H8_115200);
    struct Case {
        int mode;
        uint32_t crystal;
        LoaderId id;
    };
    const Case cases[] = {
        {0, 24576000, LoaderId::H83069_Speed0Low},  {0, 24999999, LoaderId::H83069_Speed0Low},
        {0, 25000000, LoaderId::H83069_Speed0High}, {1, 24576000, LoaderId::H83069_Speed1Low},
        {1, 33000000, LoaderId::H83069_Speed1High}, {2, 24999999, LoaderId::H83069_Speed2Low},
        {2, 33000000, LoaderId::H83069_Speed2High}, {7, 33000000, LoaderId::H83069_Speed0High},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SelectH83069Loader(c.mode, c.crystal), c.id) << c.mode << " " << c.crystal;
}

TEST(Loaders, ProgramFolderFileReplacesBuiltInOnlyWhenItsSizeIsRight) {
    LoaderImage builtIn = LoadLoader(LoaderId::H8_115200);
    EXPECT_TRUE(builtIn.builtIn);
    EXPECT_TRUE(builtIn.error.empty());
    ASSERT_EQ(builtIn.bytes.size(), kH8LoaderLength);

    std::string dir = platform::ProgramDir() + "/loaders";
    std::filesystem::create_directories(dir);
    std::string path = dir + "/h8_115200.bin";
    ASSERT_TRUE(platform::WriteFileAtomic(path, std::string(kH8LoaderLength, '\x5A')));
    LoaderImage replaced = LoadLoader(LoaderId::H8_115200);
    EXPECT_FALSE(replaced.builtIn);
    EXPECT_EQ(replaced.path, path);
    EXPECT_EQ(replaced.bytes, std::vector<uint8_t>(kH8LoaderLength, 0x5A));
    // Other loaders are not affected.
    EXPECT_TRUE(LoadLoader(LoaderId::H8_38400).builtIn);

    ASSERT_TRUE(platform::WriteFileAtomic(path, std::string(kH8LoaderLength - 1, '\x5A')));
    LoaderImage refused = LoadLoader(LoaderId::H8_115200);
    EXPECT_FALSE(refused.builtIn);
    EXPECT_TRUE(refused.bytes.empty());
    EXPECT_NE(refused.error.find("1435 bytes, 1436 expected"), std::string::npos) << refused.error;
}

}  // namespace
}  // namespace kelmor::flash
