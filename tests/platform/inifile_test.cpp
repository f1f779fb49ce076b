#include "platform/inifile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/programdir.h"

using kelmor::platform::IniFile;

namespace {

std::string Home() { return kelmor::platform::ProgramDir(); }

std::string WriteRaw(const std::string& name, const std::string& bytes) {
    std::string path = Home() + "/" + name;
    EXPECT_TRUE(kelmor::platform::WriteFileAtomic(path, bytes));
    return path;
}

std::string ReadRaw(const std::string& path) {
    std::string bytes;
    kelmor::platform::ReadFileBytes(path, bytes);
    return bytes;
}

}  // namespace

TEST(IniFile, ReadsIgnoringCaseWithDefaultsForWhatIsMissing) {
    auto path = WriteRaw("a.ini",
                         "; comment\r\n[Terminal Port]\r\nBaud Rate = 9600 \r\nName=\"quoted\"\r\n"
                         "Garbage=12x\r\nHex=0x1F\r\n");
    IniFile ini(path);
    struct Case {
        const char* section;
        const char* key;
        int def;
        int expected;
    } cases[] = {
        {"terminal port", "BAUD RATE", 5, 9600},  // names match without regard to case
        {"Terminal Port", "Missing", 5, 5},       // missing key: default
        {"No section", "Baud Rate", 7, 7},        // missing section: default
        {"Terminal Port", "Garbage", 5, 0},       // does not convert: 0
        {"Terminal Port", "Hex", 5, 31},
    };
    for (auto& c : cases)
        EXPECT_EQ(ini.ReadInteger(c.section, c.key, c.def), c.expected) << c.key;
    EXPECT_EQ(ini.ReadString("TERMINAL PORT", "name", "x"), "quoted");
    EXPECT_EQ(IniFile(Home() + "/none.ini").ReadString("S", "K", "dflt"), "dflt");
}

TEST(IniFile, WritesInPlaceAppendsAndKeepsEverythingElse) {
    auto path = WriteRaw("b.ini",
                         "[One]\nA=1\n; keep me\nB=2\n\n[Two]\nC=3\n");
    IniFile ini(path);
    ASSERT_TRUE(ini.WriteString("one", "b", "20"));     // replaced in place, spelling kept
    ASSERT_TRUE(ini.WriteString("One", "D", "4"));      // appended to its section
    ASSERT_TRUE(ini.WriteString("Three", "E", "5"));    // section appended
    EXPECT_EQ(ReadRaw(path),
              "[One]\r\nA=1\r\n; keep me\r\nB=20\r\nD=4\r\n\r\n[Two]\r\nC=3\r\n\r\n[Three]\r\nE=5\r\n");
    EXPECT_EQ(ini.ReadSection("ONE"), (std::vector<std::string>{"A", "B", "D"}));
    ASSERT_TRUE(ini.EraseSection("two"));
    EXPECT_FALSE(ini.SectionExists("Two"));
    EXPECT_EQ(ini.ReadString("Three", "E", ""), "5");
}

TEST(IniFile, ReadsRawLinesWithAnyLineEnding) {
    auto path = WriteRaw("c.smf", "a\r\nb\nc\rd");
    std::vector<std::string> lines;
    ASSERT_TRUE(IniFile::ReadLines(path, lines));
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "b", "c", "d"}));
}

TEST(IniFile, FailedWriteKeepsTheOldFileAndReportsFailure) {
    if (geteuid() == 0) GTEST_SKIP() << "root ignores folder permissions";
    std::string dir = Home() + "/locked";
    std::filesystem::create_directory(dir);
    std::string path = dir + "/k.ini";
    ASSERT_TRUE(kelmor::platform::WriteFileAtomic(path, "[S]\r\nK=1\r\n"));
    chmod(dir.c_str(), 0555);
    EXPECT_FALSE(IniFile(path).WriteString("S", "K", "2"));
    chmod(dir.c_str(), 0755);
    EXPECT_EQ(IniFile(path).ReadString("S", "K", ""), "1");
}

TEST(IniFile, WriteIntoMissingFolderFails) {
    EXPECT_FALSE(IniFile(Home() + "/no/such/folder/x.ini").WriteString("S", "K", "1"));
}

TEST(IniFile, WriteOverSomethingThatIsNotAFileFailsAndLeavesNoTemporaryFile) {
    std::string dir = Home() + "/taken.ini";
    std::filesystem::create_directory(dir);
    std::filesystem::create_directory(dir + "/inside");
    EXPECT_FALSE(IniFile(dir).WriteString("S", "K", "1"));
    EXPECT_TRUE(std::filesystem::is_directory(dir + "/inside"));
    for (auto& entry : std::filesystem::directory_iterator(Home()))
        EXPECT_EQ(entry.path().filename().string().rfind(".kelmor-", 0), std::string::npos);
}
