#include "modemcfg/definition.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "core/crc16.h"
#include "fakeprompter.h"
#include "platform/inifile.h"
#include "platform/programdir.h"

namespace kelmor::modemcfg {
namespace {

using platform::Answer;

// Each test its own folder, so a catalogue sees only that test's files.
class DefinitionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = platform::ProgramDir() + "/" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::create_directories(dir);
    }
    std::string dir;
    testing::FakePrompter prompter;

    void Write(const std::string& file, const std::string& text) {
        ASSERT_TRUE(platform::WriteFileAtomic(dir + "/" + file, text));
    }
    // A small definition with a correct integrity number.
    void WriteGood(const std::string& file, const std::string& extra = "") {
        std::string text =
            "[Version]\r\nName=T1\r\nVersion number=4\r\nSettings=19200,8,E,1\r\n"
            "Kelmor ini=yes\r\n" +
            extra + "Number=0\r\n\r\n[Properties]\r\nB01=Channel\r\nB01_v=3\r\n";
        std::vector<std::string> lines = SplitTextLines(text);
        std::string numbered = text;
        numbered.replace(numbered.find("Number=0"), 8,
                         "Number=" + std::to_string(IntegrityNumber(file, lines)));
        Write(file, numbered);
    }
};

const char* kSmallDefinition =
    "[Version]\r\nName=KL9\r\nVersion number=2\r\nSettings=9600,8,N,1\r\nKelmor ini=x\r\n"
    "Number=1234\r\n\r\n[Properties]\r\nB51=Channel\r\nB51_v=3\r\n";

TEST(Integrity, OnlyTheNumberValueIsLeftOut) {
    auto lines = SplitTextLines(kSmallDefinition);
    uint16_t base = IntegrityNumber("t.smf", lines);

    auto edited = lines;
    edited[5] = "Number=99999";
    EXPECT_EQ(IntegrityNumber("t.smf", edited), base);
    edited[5] = "number=";
    EXPECT_NE(IntegrityNumber("t.smf", edited), base) << "the key keeps its own spelling";
    EXPECT_EQ(IntegrityNumber("T.SMF", lines), base) << "the name line is lower case";

    struct Edit {
        size_t line;
        std::string text;
    } edits[] = {{1, "Name=KL8"}, {8, "B51=Channe1"}, {9, "B51_v=3 "}, {6, " "}};
    for (auto& e : edits) {
        auto changed = lines;
        changed[e.line] = e.text;
        EXPECT_NE(IntegrityNumber("t.smf", changed), base) << e.text;
    }
    EXPECT_NE(IntegrityNumber("u.smf", lines), base);
}

TEST(Integrity, MissingNumberLineStandsAtIndexSix) {
    std::string text =
        "[Version]\nName=A\nVersion number=1\nSettings=9600,8,N,1\nKelmor ini=x\n"
        "[Properties]\nB01=C\n";
    std::string joined =
        "a.smf\r\n[Version]\r\nName=A\r\nVersion number=1\r\n"
        "Settings=9600,8,N,1\r\nKelmor ini=x\r\nNumber=0000\r\n"
        "[Properties]\r\nB01=C\r\n";
    EXPECT_EQ(IntegrityNumber("A.smf", SplitTextLines(text)), core::MsgCrc(0xFFFF, joined));
    // Every line ending gives the same number.
    std::string cr = text, crlf;
    for (auto& c : cr)
        if (c == '\n') c = '\r';
    for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(IntegrityNumber("A.smf", SplitTextLines(cr)),
              IntegrityNumber("A.smf", SplitTextLines(text)));
    EXPECT_EQ(IntegrityNumber("A.smf", SplitTextLines(crlf)),
              IntegrityNumber("A.smf", SplitTextLines(text)));
    // A text shorter than six lines gets the line at its end.
    EXPECT_EQ(IntegrityNumber("e.smf", {}), core::MsgCrc(0xFFFF, "e.smf\r\nNumber=0000\r\n"));
}

TEST_F(DefinitionTest, CheckShowsTheCorruptionMessageOutsideFactoryMode) {
    WriteGood("Good.smf");
    EXPECT_TRUE(CheckIntegrity(dir, "Good.smf", false, prompter).Ok());
    EXPECT_EQ(prompter.Count(), 0u);

    Write("Bad.smf", kSmallDefinition);
    Integrity r = CheckIntegrity(dir, "Bad.smf", false, prompter);
    EXPECT_FALSE(r.Ok());
    ASSERT_EQ(prompter.Count(), 1u);
    EXPECT_EQ(prompter.Texts()[0],
              "Ini file Bad.smf has been corrupted L " + std::to_string(r.computed) + " S 1234");

    prompter.Clear();
    r = CheckIntegrity(dir, "Missing.smf", false, prompter);
    EXPECT_EQ(r.stored, -1);
    ASSERT_EQ(prompter.Count(), 1u);
    EXPECT_NE(prompter.Texts()[0].find(" S -1"), std::string::npos);
}

TEST_F(DefinitionTest, FactoryModeOffersToCorrectTheNumber) {
    Write("Bad.smf", kSmallDefinition);
    prompter.Script({Answer::No});
    EXPECT_FALSE(CheckIntegrity(dir, "Bad.smf", true, prompter).Ok());
    ASSERT_EQ(prompter.Count(), 1u);
    EXPECT_EQ(prompter.Prompts()[0].text, "FACTORY: Do you want to correct CRC sum to ini file");
    EXPECT_EQ(prompter.Prompts()[0].buttons, platform::Buttons::YesNo);
    EXPECT_FALSE(ComputeIntegrity(dir, "Bad.smf").Ok()) << "No leaves the file alone";

    prompter.Script({Answer::Yes});
    CheckIntegrity(dir, "Bad.smf", true, prompter);
    EXPECT_TRUE(ComputeIntegrity(dir, "Bad.smf").Ok());
    prompter.Clear();
    CheckIntegrity(dir, "Bad.smf", true, prompter);
    EXPECT_EQ(prompter.Count(), 0u);
}

TEST_F(DefinitionTest, FactoryCorrectionOfAFileWithoutNumberLine) {
    // Five keys in [Version]: the appended Number line lands at index 7, not 6.
    Write("NoNumber.smf",
          "[Version]\r\nName=N\r\nVersion number=1\r\nSettings=9600,8,N,1\r\n"
          "Kelmor ini=x\r\nRoutable=true\r\n\r\n[Properties]\r\nB01=A\r\nB01_v=3\r\n");
    prompter.Script({Answer::Yes});
    CheckIntegrity(dir, "NoNumber.smf", true, prompter);
    EXPECT_TRUE(ComputeIntegrity(dir, "NoNumber.smf").Ok());
    EXPECT_EQ(ReadDefinition(dir, "NoNumber.smf").groups.size(), 1u);
}

TEST_F(DefinitionTest, TypeInformationIsReadOncePerTypeChange) {
    WriteGood("A.smf");
    Write("B.smf", kSmallDefinition);
    TypeInfoCache cache;
    TypeInfo a = cache.ForType(dir, "A.smf", false, prompter);
    EXPECT_EQ(a.settings, "19200,8,E,1");
    EXPECT_EQ(a.version, 4);
    EXPECT_EQ(a.name, "T1");
    EXPECT_EQ(prompter.Count(), 0u);

    // The same type again: nothing is read, so a changed file does not show yet.
    std::filesystem::remove(dir + "/A.smf");
    EXPECT_EQ(cache.ForType(dir, "A.smf", false, prompter).name, "T1");
    EXPECT_EQ(prompter.Count(), 0u);

    EXPECT_EQ(cache.ForType(dir, "B.smf", false, prompter).name, "KL9");
    EXPECT_EQ(prompter.Count(), 1u);  // B's number is wrong
    EXPECT_EQ(cache.LastType(), "B.smf");

    TypeInfo gone = cache.ForType(dir, "A.smf", false, prompter);
    EXPECT_EQ(gone.settings, "9600,8,N,1");
    EXPECT_EQ(gone.version, 0);
    EXPECT_EQ(gone.name, "ERROR");
}

TEST_F(DefinitionTest, CatalogueNeedsKelmorIniAndHonoursRoutable) {
    WriteGood("Plain.smf");
    WriteGood("Single.smf", "Routable=false\r\n");
    WriteGood("Other.smf", "Routable=False\r\n");  // only exactly "false" counts
    Write("Foreign.smf", "[Version]\r\nName=X\r\n");
    Write("Notes.txt", "[Version]\r\nKelmor ini=x\r\n");
    std::filesystem::create_directory(dir + "/Dir.smf");
    EXPECT_EQ(Catalogue(dir, true), (std::vector<std::string>{"Other", "Plain"}));
    EXPECT_EQ(Catalogue(dir, false), (std::vector<std::string>{"Other", "Plain", "Single"}));
    EXPECT_TRUE(Catalogue(dir + "/nowhere", false).empty());
}

TEST(ParameterGroups, ChoiceEntriesEndAtTheFirstForeignKey) {
    std::vector<ParameterGroup> groups;
    std::string error;
    ASSERT_TRUE(
        ParseParameterGroups("[Properties]\nR51=Rate\nR51_v=3\nR51_1=Slow\nR51_2=Fast\n"
                             "B52=Count\nB52_v=1\n[help text]\nR51_h=Rate|Air rate\n",
                             groups, error))
        << error;
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].key, "R51");
    EXPECT_EQ(groups[0].type, 'R');
    EXPECT_EQ(groups[0].level, '5');
    EXPECT_EQ(groups[0].choices, (std::vector<std::string>{"Slow", "Fast"}));
    EXPECT_EQ(groups[0].flags, 3);
    EXPECT_EQ(groups[0].hint, "Rate|Air rate");
    EXPECT_EQ(groups[1].key, "B52");
    EXPECT_EQ(groups[1].hint, "ERROR");
    EXPECT_TRUE(groups[1].ShownInRouting());
    EXPECT_FALSE(groups[1].ShownInSingleModem());
}

TEST(ParameterGroups, KeysAreUpperCasedAndMissingTextsReadError) {
    std::vector<ParameterGroup> groups;
    std::string error;
    ASSERT_TRUE(ParseParameterGroups(
        "[properties]\nh92=\nh92_v=0\nm01=Echo\nm01_V=2\n[HELP TEXT]\nH92_h=Serial\n", groups,
        error));
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].key, "H92");
    EXPECT_EQ(groups[0].caption, "");  // present but empty stays empty
    EXPECT_EQ(groups[0].hint, "Serial");
    EXPECT_EQ(groups[1].key, "M01");
    EXPECT_EQ(groups[1].flags, 2);
}

TEST(ParameterGroups, AFileWithoutFlagsKeysKeepsEveryParameter) {
    std::vector<ParameterGroup> groups;
    std::string error;
    ASSERT_TRUE(
        ParseParameterGroups("[Properties]\nB01=A\nW01=B\nS01=C\nS01_v=1\n", groups, error));
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(groups[1].key, "W01");
    EXPECT_EQ(groups[1].flags, 0);
    EXPECT_EQ(groups[2].flags, 1);
}

TEST(ParameterGroups, BadDefinitionsAreRejectedWithAReason) {
    struct Case {
        const char* text;
        const char* why;
    } cases[] = {
        {"[Version]\nName=x\n", "ERROR: Check ini-file"},
        {"[Properties]\n", "ERROR: Check ini-file"},
        {"[Properties]\nB01=A\nB01_v=1\nX01=Bad\n", "\"X01\""},
        {"[Properties]\nBx1=A\n", "\"Bx1\""},
        {"[Properties]\nB=A\n", "\"B\""},
    };
    for (auto& c : cases) {
        std::vector<ParameterGroup> groups;
        std::string error;
        EXPECT_FALSE(ParseParameterGroups(c.text, groups, error)) << c.text;
        EXPECT_TRUE(groups.empty());
        EXPECT_NE(error.find(c.why), std::string::npos) << error;
    }
}

TEST(ParameterGroups, SecurityLevelDecidesWhatIsShownAndEditable) {
    auto group = [](char level, int flags) {
        ParameterGroup g;
        g.level = level;
        g.flags = flags;
        return g;
    };
    EXPECT_TRUE(IsEditable('5', '5'));
    EXPECT_FALSE(IsEditable('6', '5'));
    EXPECT_TRUE(IsShown(group('6', 3), true, false, '5'));
    EXPECT_FALSE(IsShown(group('9', 3), true, true, '5'));
    EXPECT_TRUE(IsShown(group('9', 0), true, true, '9')) << "factory mode ignores the flags";
    EXPECT_FALSE(IsShown(group('0', 2), true, false, '9'));
    EXPECT_TRUE(IsShown(group('0', 2), false, false, '0'));
}

TEST_F(DefinitionTest, MissingPropertiesAreReportedThroughThePrompter) {
    Write("Empty.smf", "[Version]\r\nName=E\r\n");
    std::vector<ParameterGroup> groups;
    EXPECT_FALSE(LoadParameterGroups(dir, "Empty.smf", groups, prompter));
    EXPECT_EQ(prompter.Texts(), (std::vector<std::string>{"ERROR: Check ini-file"}));
    EXPECT_TRUE(LoadParameterGroups(KELMOR_DEFINITIONS_DIR, "KL450.smf", groups, prompter));
    EXPECT_EQ(groups.size(), 27u);
}

TEST(Settings, ParsedIntoFourPartsWithTheMessagesOfTheRejectedOnes) {
    struct Case {
        const char* text;
        std::optional<int> baud;
        std::optional<int> bits;
        std::optional<char> parity;
        std::optional<StopBitsSetting> stop;
        const char* message;  // first message, or nullptr
    } cases[] = {
        {"19200,8,E,1", 19200, 8, 'E', StopBitsSetting::One, nullptr},
        {"9600,8,N,1", 9600, 8, 'N', StopBitsSetting::One, nullptr},
        {"256000,7,O,2", 256000, 7, 'O', StopBitsSetting::Two, nullptr},
        {"1200,4,M,1.5", 1200, 4, 'M', StopBitsSetting::OnePointFive, nullptr},
        {"300,5,S,1", 300, 5, 'S', StopBitsSetting::One, nullptr},
        {"600,8,N,1", std::nullopt, 8, 'N', StopBitsSetting::One,
         "Check serial port baudrate !!\r\n600 is invalid value"},
        {"9600,8,X,1", 9600, 8, std::nullopt, StopBitsSetting::One,
         "Check serial port parity !!\r\nX is invalid value"},
        {"9600,8,N,3", 9600, 8, 'N', std::nullopt,
         "Check serial port stopbits !!\r\n3 is invalid value"},
        {"9600,9,N,1", 9600, std::nullopt, 'N', StopBitsSetting::One,
         "Check serial port databits !!\r\n9 is invalid value"},
    };
    for (auto& c : cases) {
        SerialSettings s = ParseSettings(c.text);
        EXPECT_EQ(s.baudRate, c.baud) << c.text;
        EXPECT_EQ(s.dataBits, c.bits) << c.text;
        EXPECT_EQ(s.parity, c.parity) << c.text;
        EXPECT_EQ(s.stopBits, c.stop) << c.text;
        if (c.message) {
            ASSERT_EQ(s.messages.size(), 1u) << c.text;
            EXPECT_EQ(s.messages[0], c.message);
        } else {
            EXPECT_TRUE(s.Ok()) << c.text;
        }
    }
    // Nothing usable: every part is reported, nothing is set.
    SerialSettings empty = ParseSettings("");
    EXPECT_EQ(empty.messages.size(), 4u);
    EXPECT_FALSE(empty.baudRate || empty.dataBits || empty.parity || empty.stopBits);
}

TEST(SampleDefinitions, BothPassTheirChecksAndCoverTheFormat) {
    const std::string dir = KELMOR_DEFINITIONS_DIR;
    for (const char* file : {"KL450.smf", "KL160.smf"}) {
        Definition d = ReadDefinition(dir, file);
        ASSERT_TRUE(d.Ok()) << file << ": " << d.error;
        EXPECT_TRUE(ComputeIntegrity(dir, file).Ok()) << file;
        EXPECT_TRUE(d.kelmorIni);
        EXPECT_GE(d.groups.size(), 20u);
        EXPECT_LE(d.groups.size(), 40u);
        std::string types, levels;
        bool factorySeen = false;
        for (auto& g : d.groups) {
            if (types.find(g.type) == std::string::npos) types += g.type;
            if (levels.find(g.level) == std::string::npos) levels += g.level;
            if (g.level == '9')
                factorySeen = true;
            else
                EXPECT_FALSE(factorySeen) << file << ": factory parameters stand last";
            EXPECT_NE(g.caption, "ERROR");
            EXPECT_NE(g.hint.find('|'), std::string::npos) << g.key;
            if (g.type == 'R') {
                EXPECT_GE(g.choices.size(), 2u) << g.key;
            }
        }
        EXPECT_EQ(types.size(), 6u) << file << " " << types;
        EXPECT_EQ(levels, "059") << file;
        EXPECT_TRUE(ParseSettings(d.settings).Ok());
    }
    EXPECT_EQ(Catalogue(dir, true), (std::vector<std::string>{"KL450"}));
    EXPECT_EQ(Catalogue(dir, false), (std::vector<std::string>{"KL160", "KL450"}));
}

}  // namespace
}  // namespace kelmor::modemcfg
