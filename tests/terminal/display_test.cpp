// The display's conversions, trimming and log, on a text area held in memory.
#include "terminal/display.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "fakeprompter.h"
#include "platform/programdir.h"

using namespace kelmor::terminal;

namespace {

std::vector<uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

// "text" with each character's colour digit underneath, e.g. "AB\01C" / "0011110".
std::string ColourString(const MemoryTextArea& area) {
    std::string s;
    for (int c : area.Colours()) s += static_cast<char>('0' + c);
    return s;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace

TEST(DisplayConvert, ViewsAndColours) {
    struct Case {
        int view;
        std::vector<std::string> chunks;
        std::string text;     // line breaks as "\n"
        std::string colours;  // one digit per character
    };
    const Case cases[] = {
        {kViewText, {"A\r\nB"}, "A\nB", "000"},
        {kViewText, {"A\r", "\nB"}, "A\nB", "000"},  // CR LF split between reads
        {kViewText, {"A\n\rB"}, "A\nB", "000"},      // LF CR is one break too
        {kViewText, {"A\rB\nC"}, "A\nB\nC", "00000"},
        {kViewText,
         {"A\x07"
          "B"},
         "A B",
         "000"},
        {kViewText, {"A\bB\tC"}, "AB\tC", "0000"},
        {kViewHex, {"A\r"}, "\\41\n\\0D", "1111111"},
        {kViewMixed,
         {"AB\x01"
          "C"},
         "AB\\01C",
         "001110"},
        {kViewMixed, {"x\r\xff"}, "x\n\\0D\\FF", "01111111"},
    };
    for (const Case& c : cases) {
        MemoryTextArea area;
        TerminalDisplay display(area);
        display.SetViewType(c.view);
        for (const std::string& chunk : c.chunks) display.ShowData(Bytes(chunk));
        EXPECT_EQ(area.PlainText(), c.text) << "view " << c.view << " " << c.chunks[0];
        EXPECT_EQ(ColourString(area), c.colours) << "view " << c.view << " " << c.chunks[0];
    }
}

TEST(DisplayConvert, CallerBytesUntouchedAndEveryByteValueShown) {
    std::vector<uint8_t> all(256);
    for (int i = 0; i < 256; ++i) all[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    const std::vector<uint8_t> copy = all;
    MemoryTextArea area;
    TerminalDisplay display(area);
    display.SetViewType(kViewHex);
    display.ShowData(all);
    EXPECT_EQ(all, copy);
    // Three characters per byte, plus the line break before CR.
    EXPECT_EQ(area.CharacterCount(), 256u * 3 + 1);
    EXPECT_NE(area.PlainText().find("\\FF"), std::string::npos);
}

TEST(DisplayTrim, StaysUnderMaximumAndDropsWholeLines) {
    MemoryTextArea area;
    TerminalDisplay display(area);
    display.SetScrollBackMaximum(10 * 1024);
    EXPECT_EQ(display.TrimTarget(), 9216);
    std::string line(99, 'x');
    size_t peak = 0;
    bool trimmed = false;
    for (int i = 0; i < 300; ++i) {
        line[0] = static_cast<char>('A' + i % 26);
        display.AppendText(line + "\r\n", kColourDefault);
        size_t now = area.CharacterCount();
        EXPECT_LE(now, 10240u);
        if (now < peak) {
            trimmed = true;
            EXPECT_LE(now, 9216u);
        }
        peak = now;
    }
    EXPECT_TRUE(trimmed);
    // Only whole lines went: the area starts at the beginning of a line.
    EXPECT_EQ(area.LineLength(0), 100u);
    EXPECT_EQ(area.PlainText().substr(1, 99), std::string(98, 'x') + "\n");
}

TEST(DisplayTrim, OneEndlessLineKeepsItsTail) {
    MemoryTextArea area;
    TerminalDisplay display(area);
    display.SetScrollBackMaximum(10 * 1024);
    std::string block(1000, 'y');
    for (int i = 0; i < 30; ++i) display.AppendText(block, kColourDefault);
    display.AppendText("END", kColourDefault);
    EXPECT_LE(area.CharacterCount(), 10240u);
    EXPECT_EQ(area.PlainText().substr(area.PlainText().size() - 3), "END");
}

TEST(DisplayLog, HoldsExactlyTheInsertedTextAndCountsIt) {
    kelmor::testing::FakePrompter prompter;
    MemoryTextArea area;
    TerminalDisplay display(area);
    display.SetPrompter(&prompter);
    std::vector<std::pair<bool, uint64_t>> indicator;
    display.onLogChanged = [&](bool on, uint64_t total) { indicator.push_back({on, total}); };
    std::string path = kelmor::platform::ProgramDir() + "/log.txt";
    ASSERT_TRUE(display.StartLog(path));
    display.SetViewType(kViewMixed);
    display.AppendText("(stamp)", kColourMaroon);
    display.ShowData(Bytes("ok\x01\r"));
    display.AppendText("\nleading LF dropped", kColourRed);
    display.StopLog();
    display.ShowData(Bytes("after stop"));
    const std::string expected = "(stamp)ok\\01\r\n\\0Dleading LF dropped";
    EXPECT_EQ(ReadFile(path), expected);
    EXPECT_EQ(display.LogTotal(), expected.size());
    ASSERT_GE(indicator.size(), 3u);
    EXPECT_EQ(indicator.front(), std::make_pair(true, uint64_t{0}));
    EXPECT_EQ(indicator.back(), std::make_pair(false, uint64_t{expected.size()}));
    EXPECT_EQ(prompter.Count(), 0u);
}

TEST(DisplayLog, OneWriteAndOneIndicatorUpdatePerShowDataInEveryView) {
    kelmor::testing::FakePrompter prompter;
    MemoryTextArea area;
    TerminalDisplay display(area);
    display.SetPrompter(&prompter);
    int updates = 0;
    display.onLogChanged = [&](bool, uint64_t) { ++updates; };
    std::string path = kelmor::platform::ProgramDir() + "/runs.txt";
    ASSERT_TRUE(display.StartLog(path));
    // Many runs in the mixed view: printable and not, by turns.
    const std::vector<uint8_t> bytes = Bytes(
        "a\x01"
        "b\x02"
        "c\r"
        "d\x80"
        "e");
    std::string expected;
    for (int view : {kViewText, kViewHex, kViewMixed}) {
        display.SetViewType(view);
        DisplayConverter c;
        c.Convert(bytes.data(), bytes.size(), view);
        expected += c.Text();
        const uint64_t writes = display.LogWrites();
        updates = 0;
        display.ShowData(bytes);
        EXPECT_EQ(display.LogWrites(), writes + 1) << view;
        EXPECT_EQ(updates, 1) << view;
    }
    display.StopLog();
    EXPECT_EQ(ReadFile(path), expected);
}

TEST(DisplayLog, UncreatableFileIsReportedAndLogStaysOff) {
    kelmor::testing::FakePrompter prompter;
    MemoryTextArea area;
    TerminalDisplay display(area);
    display.SetPrompter(&prompter);
    EXPECT_FALSE(display.StartLog(kelmor::platform::ProgramDir() + "/no/such/dir/log.txt"));
    EXPECT_FALSE(display.LogOn());
    ASSERT_EQ(prompter.Count(), 1u);
    EXPECT_NE(prompter.Texts()[0].find("Cannot create file"), std::string::npos);
    display.AppendText("still shown", kColourDefault);
    EXPECT_EQ(area.PlainText(), "still shown");
}
