#include "modemcfg/definitiontool.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "modemcfg/definition.h"
#include "platform/inifile.h"
#include "platform/programdir.h"

namespace kelmor::modemcfg {
namespace {

// Export rows as a spreadsheet writes them: TAB-separated, CR LF.
std::string Export(std::initializer_list<const char*> rows) {
    std::string out;
    for (auto* r : rows) out += std::string(r) + "\r\n";
    return out;
}

std::vector<std::string> Keys(const std::string& smfText, const std::string& section) {
    std::string path = platform::ProgramDir() + "/keys.smf";
    platform::WriteFileAtomic(path, smfText);
    return platform::IniFile(path).ReadSection(section);
}

TEST(MakeSmf, KeysOfAByteAndAChoiceParameter) {
    MakeSmfResult r = MakeSmfText(Export({
        "T1\t\t\t",
        "Name\tT1\t\t",
        ">>>>>>>>\t\t\t",
        "Type\tLevel\tText\tHelp",
        "B\t5\tChannel\tChannel|Radio channel",
        "\t\t3\t",
        "R\t0\tRate\tRate|Air rate",
        "\t\t1\t",
        "\t\tSlow\t",
        "\t\tFast\t",
        ">>>>>>>>\t\t\t",
    }));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.typeName, "T1");
    EXPECT_EQ(Keys(r.text, "Properties"),
              (std::vector<std::string>{"B51", "B51_v", "R01", "R01_v", "R01_1", "R01_2"}));
    EXPECT_EQ(Keys(r.text, "help text"), (std::vector<std::string>{"B51_h", "R01_h"}));
    EXPECT_EQ(Keys(r.text, "Version"), (std::vector<std::string>{"Name", "Number"}));

    std::vector<ParameterGroup> groups;
    std::string error;
    ASSERT_TRUE(ParseParameterGroups(r.text, groups, error));
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].flags, 3);
    EXPECT_EQ(groups[0].hint, "Channel|Radio channel");
    EXPECT_EQ(groups[1].choices, (std::vector<std::string>{"Slow", "Fast"}));
}

TEST(MakeSmf, RunningNumbersCountPerTypeLetter) {
    MakeSmfResult r = MakeSmfText(Export({
        "T2\t",
        "Name\tT2\t",
        ">>>>>>>>",
        "headings",
        "B\t0\tFirst\t",
        "\t\t3",
        "W\t5\tWord\t",
        "\t\t3",
        "\t\tignored: further rows of a non-choice",
        "h\t9\tSerial\t",
        "\t\t0",
        "b\t9\tSecond\t",
        "\t\t0",
        "H\t9\tOther\t",
    }));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(Keys(r.text, "Properties"),
              (std::vector<std::string>{"B01", "B01_v", "W51", "W51_v", "h91", "h91_v", "b92",
                                        "b92_v", "H92"}));
}

TEST(MakeSmf, OtherTypesReuseTheLastNumberAndAnyLevelCharacterStands) {
    MakeSmfResult r = MakeSmfText(Export({
        "T3\t",
        "Name\tT3\t",
        ">>>>>>>>",
        "headings",
        "X\t0\tBefore any\t",
        "B\t5\tFirst\t",
        "X\t0\tNot a type letter\t",
        "B\tx\tLevel x\t",
        "?\t9\tAsk\t",
        "\t\t4",
    }));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(Keys(r.text, "Properties"),
              (std::vector<std::string>{"X00", "B51", "X01", "Bx2", "?92", "?92_v"}));
}

TEST(MakeSmf, TheNumberItWritesPassesTheCheck) {
    std::string longCaption(120, 'x');  // longer than the old 79-character rows
    std::string row = "S\t0\t" + longCaption + "\tlong|" + longCaption;
    MakeSmfResult r = MakeSmfText(Export(
        {"Long\t", "Name\tL\t", "Settings\t9600,8,N,1\t", "Kelmor ini\tyes\t", "Routable\tfalse\t",
         "Version number\t7\t", ">>>>>>>>", "h", row.c_str(), "\t\t2"}));
    ASSERT_TRUE(r.ok) << r.error;
    std::string dir = platform::ProgramDir();
    ASSERT_TRUE(platform::WriteFileAtomic(dir + "/Long.smf", r.text));
    Integrity i = ComputeIntegrity(dir, "Long.smf");
    EXPECT_TRUE(i.Ok()) << i.computed << " " << i.stored;
    EXPECT_EQ(i.stored, r.number);
    Definition d = ReadDefinition(dir, "Long.smf");
    ASSERT_EQ(d.groups.size(), 1u);
    EXPECT_EQ(d.groups[0].caption, longCaption);
    EXPECT_FALSE(d.routable);
    EXPECT_EQ(d.version, 7);
}

TEST(MakeSmf, ExportsOutsideTheFormatAreRefused) {
    struct Case {
        std::string text;
        const char* why;
    } cases[] = {
        {"", "empty"},
        {Export({"T\t", "Name\tT"}), ">>>>>>>>"},
        {Export({"../evil\t", ">>>>>>>>", "h"}), "cannot be the name"},
        {Export({"\t", ">>>>>>>>", "h"}), "cannot be the name"},
        {Export({"T\t", "[x]\ty", ">>>>>>>>", "h"}), "cannot be a key"},
        {Export({"T\t", ">>>>>>>>", "h", "B"}), "line 4"},
        // Keys the settings file could not hold.
        {Export({"T\t", ">>>>>>>>", "h", "[\t0\tWhat\t"}), "cannot be a key"},
        {Export({"T\t", ">>>>>>>>", "h", "B\t=\tWhat\t"}), "cannot be a key"},
    };
    for (auto& c : cases) {
        MakeSmfResult r = MakeSmfText(c.text);
        EXPECT_FALSE(r.ok) << c.text;
        EXPECT_NE(r.error.find(c.why), std::string::npos) << r.error;
    }
}

TEST(MakeSmf, WritesTheFileAndReportsBothNames) {
    std::string dir = platform::ProgramDir();
    std::string exportPath = dir + "/sheet.txt";
    ASSERT_TRUE(platform::WriteFileAtomic(
        exportPath, Export({"Made\t", "Name\tM\t", ">>>>>>>>", "h", "M\t0\tEcho\t", "\t\t3"})));
    ASSERT_TRUE(platform::WriteFileAtomic(dir + "/Made.smf", "old contents"));
    MakeSmfResult r = MakeSmf(exportPath, dir);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.message,
              "Conversion from\r\n" + exportPath + "\r\nto " + dir + "/Made.smf\r\nfinnished OK");
    std::string written;
    ASSERT_TRUE(platform::ReadFileBytes(dir + "/Made.smf", written));
    EXPECT_EQ(written, r.text);
    EXPECT_FALSE(MakeSmf(dir + "/absent.txt", dir).ok);
}

TEST(MakeSmf, SampleDefinitionsAreExactlyWhatTheToolMakesOfTheirExports) {
    const std::string dir = KELMOR_DEFINITIONS_DIR;
    for (const char* type : {"KL450", "KL160"}) {
        std::string exportBytes, smf;
        ASSERT_TRUE(platform::ReadFileBytes(dir + "/" + type + ".txt", exportBytes));
        ASSERT_TRUE(platform::ReadFileBytes(dir + "/" + type + ".smf", smf));
        MakeSmfResult r = MakeSmfText(exportBytes);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(r.typeName, type);
        EXPECT_EQ(r.text, smf) << type << ".smf is out of date: run kelmor-tool make-smf " << type
                               << ".txt --out-dir resources/definitions";
    }
}

TEST(LoaderToHex, ElevenConstantsALine) {
    std::string twelve;
    for (int i = 0; i < 12; ++i) twelve += static_cast<char>(i == 11 ? 0xAB : i);
    EXPECT_EQ(LoaderToHexText(twelve),
              "0x00,0x01,0x02,0x03,0x04,0x05,0x06,0x07,0x08,0x09,0x0a,\r\n0xab,");
    EXPECT_EQ(LoaderToHexText(""), "");
    EXPECT_EQ(LoaderToHexText(std::string(11, '\xff')).substr(50), "0xff,\r\n");
    EXPECT_EQ(LoaderToHexText(std::string(22, 'A')).size(), 22u * 5 + 4);
}

TEST(LoaderToHex, WritesBesideTheLoaderAndNeverOverIt) {
    std::string dir = platform::ProgramDir();
    ASSERT_TRUE(platform::WriteFileAtomic(dir + "/boot.bin", std::string("\x01\x02", 2)));
    std::string out, error;
    ASSERT_TRUE(LoaderToHex(dir + "/boot.bin", out, error)) << error;
    EXPECT_EQ(out, dir + "/boot.txt");
    std::string text;
    ASSERT_TRUE(platform::ReadFileBytes(out, text));
    EXPECT_EQ(text, "0x01,0x02,");

    ASSERT_TRUE(platform::WriteFileAtomic(dir + "/empty.bin", ""));
    ASSERT_TRUE(LoaderToHex(dir + "/empty.bin", out, error));
    ASSERT_TRUE(platform::ReadFileBytes(out, text));
    EXPECT_EQ(text, "");

    EXPECT_FALSE(LoaderToHex(dir + "/boot.txt", out, error));
    ASSERT_TRUE(platform::ReadFileBytes(dir + "/boot.txt", text));
    EXPECT_EQ(text, "0x01,0x02,") << "the input survives";
    EXPECT_FALSE(LoaderToHex(dir + "/absent.bin", out, error));
    EXPECT_NE(error.find("cannot read"), std::string::npos);
}

}  // namespace
}  // namespace kelmor::modemcfg
