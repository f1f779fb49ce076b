#include "flash/srecord.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "fakeprompter.h"

namespace kelmor::flash {
namespace {

using testing::FakePrompter;

// A record with the count and checksum worked out: type, address bytes, data bytes.
std::string Rec(char type, std::vector<uint8_t> address, std::vector<uint8_t> data) {
    std::vector<uint8_t> bytes;
    bytes.push_back(static_cast<uint8_t>(address.size() + data.size() + 1));
    bytes.insert(bytes.end(), address.begin(), address.end());
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (uint8_t b : bytes) sum += b;
    bytes.push_back(static_cast<uint8_t>(~sum));
    std::string text = {'S', type};
    char pair[3];
    for (uint8_t b : bytes) {
        std::snprintf(pair, sizeof pair, "%02X", b);
        text += pair;
    }
    return text;
}
std::string S0() { return Rec('0', {0, 0}, {'h', 'd', 'r'}); }
std::string S9() { return Rec('9', {0, 0}, {}); }
std::string S8() { return Rec('8', {0, 0, 0}, {}); }

struct Parsed {
    uint32_t size;
    FlashImage image;
    std::vector<std::string> messages;
};
Parsed Split(const std::string& text) {
    FakePrompter prompter;
    FlashImage image = NewFlashImage();
    uint32_t size = ParseSRecordsSplit(text, image, prompter);
    return {size, std::move(image), prompter.Texts()};
}
Parsed Lines(const std::string& text) {
    FakePrompter prompter;
    FlashImage image = NewFlashImage();
    uint32_t size = ParseSRecordLines(text, image, prompter);
    return {size, std::move(image), prompter.Texts()};
}
bool OnlyFF(const FlashImage& image, size_t from = 0) {
    for (size_t i = from; i < image.size(); ++i)
        if (image[i] != 0xFF) return false;
    return true;
}
using Texts = std::vector<std::string>;

TEST(ParseSRecordsSplit, WritesS1AndS2DataWhateverTheLineEnds) {
    for (std::string eol : {"\r\n", "\n", ""}) {
        std::string text = S0() + eol + Rec('1', {0x00, 0x10}, {1, 2, 3}) + eol +
                           Rec('2', {0x01, 0x00, 0x00}, {0xAA, 0xBB}) + eol + S9() + eol;
        Parsed p = Split(text);
        EXPECT_TRUE(p.messages.empty());
        EXPECT_EQ(p.size, 0x10080u);
        EXPECT_EQ(p.image[0x10], 1);
        EXPECT_EQ(p.image[0x12], 3);
        EXPECT_EQ(p.image[0x10000], 0xAA);
        EXPECT_EQ(p.image[0x10001], 0xBB);
        p.image[0x10] = p.image[0x11] = p.image[0x12] = p.image[0x10000] = p.image[0x10001] = 0xFF;
        EXPECT_TRUE(OnlyFF(p.image));
    }
}

TEST(ParseSRecordsSplit, ProgramSizeIsThePageOfTheHighestByte) {
    struct Case {
        uint32_t highest, size;
    };
    for (Case c : {Case{0, 128}, Case{127, 128}, Case{128, 256}, Case{0x7FFFF, 0x80000}}) {
        std::vector<uint8_t> addr = {static_cast<uint8_t>(c.highest >> 16),
                                     static_cast<uint8_t>(c.highest >> 8),
                                     static_cast<uint8_t>(c.highest)};
        EXPECT_EQ(Split(Rec('2', addr, {0x42}) + S9()).size, c.size) << c.highest;
        EXPECT_EQ(ProgramSizeFor(c.highest), c.size);
    }
}

TEST(ParseSRecordsSplit, S7NeitherEndsNorWritesS8AndS9End) {
    std::string before = Rec('1', {0, 0}, {0x11});
    std::string after = Rec('1', {0x01, 0x00}, {0x22});
    Parsed p = Split(before + Rec('7', {0, 0, 0x10, 0}, {}) + after + S9());
    EXPECT_EQ(p.size, 0x180u);
    EXPECT_EQ(p.image[0x100], 0x22);
    EXPECT_EQ(p.image[0x1000], 0xFF);
    for (const std::string& end : {S8(), S9()}) {
        p = Split(before + end + after + S9());
        EXPECT_EQ(p.size, 128u);
        EXPECT_EQ(p.image[0x100], 0xFF);
    }
}

TEST(ParseSRecordsSplit, ChecksumAndMissingEndFailWithMessage) {
    std::string good = Rec('1', {0, 0}, {1, 2});
    std::string bad = good;
    bad[9] = bad[9] == '0' ? '1' : '0';  // one data digit changed
    Parsed p = Split(S0() + bad + S9());
    EXPECT_EQ(p.size, 0u);
    EXPECT_EQ(p.messages, Texts{kRecordChecksumError});

    p = Split(S0() + good);  // no end record
    EXPECT_EQ(p.size, 0u);
    EXPECT_EQ(p.messages, Texts{kRecordChecksumError});
    EXPECT_EQ(Split("").size, 0u);
}

TEST(ParseSRecordsSplit, TwoAdjacentSStopTheText) {
    Parsed p = Split(Rec('1', {0, 0}, {1}) + "S" + Rec('1', {0x10, 0}, {2}) + S9());
    EXPECT_EQ(p.size, 128u);
    EXPECT_EQ(p.image[0x1000], 0xFF);
}

// Records that would read or write out of bounds are refused, with nothing written anywhere.
TEST(SRecordParsers, OutOfBoundsRecordsAreRefused) {
    struct Case {
        std::string record;
        const char* message;
    };
    std::string longData(60, '\x01');
    const Case cases[] = {
        {"S10200FD", kRecordAddressTooShort},    // count 2: no room for a 16-bit address
        {"S2030000FC", kRecordAddressTooShort},  // count 3: no room for a 24-bit address
        {Rec('2', {0x07, 0xFF, 0xFF}, {1, 2}), kRecordOutsideFlash},
        {Rec('2', {0xFF, 0xFF, 0xF0}, {1}), kRecordOutsideFlash},
        {Rec('1', {0, 0}, std::vector<uint8_t>(longData.begin(), longData.end())), kRecordTooLong},
        {"S10A0000", kRecordTruncated},  // count says 10 bytes, none follow
    };
    for (const Case& c : cases) {
        for (bool lines : {false, true}) {
            Parsed p =
                lines ? Lines(c.record + "\r\n" + S9() + "\r\n") : Split(c.record + "\r\n" + S9());
            EXPECT_EQ(p.size, 0u) << c.record;
            EXPECT_EQ(p.messages, Texts{c.message}) << c.record << " lines=" << lines;
            EXPECT_TRUE(OnlyFF(p.image)) << c.record;
        }
    }
}

TEST(SRecordParsers, NoDataIsRefused) {
    EXPECT_EQ(Split(S0() + S9()).size, 0u);
    EXPECT_EQ(Split(S0() + S9()).messages, Texts{kRecordNoData});
    EXPECT_EQ(Lines(S0() + "\r\n" + S9() + "\r\n").messages, Texts{kRecordNoData});
}

TEST(ParseSRecordLines, CrLfLinesUpToEndRecordEmptyLineOrEndOfText) {
    std::string a = Rec('1', {0, 0}, {0x11}), b = Rec('1', {0x02, 0x00}, {0x22});
    Parsed p = Lines(S0() + "\r\n" + a + "\r\n" + b + "\r\n" + S9() + "\r\n");
    EXPECT_TRUE(p.messages.empty());
    EXPECT_EQ(p.size, 0x280u);
    EXPECT_EQ(p.image[0], 0x11);
    EXPECT_EQ(p.image[0x200], 0x22);

    p = Lines(a + "\r\n\r\n" + b + "\r\n");  // the empty line ends it
    EXPECT_TRUE(p.messages.empty());
    EXPECT_EQ(p.size, 128u);

    p = Lines(a + "\r\n" + b);  // the end of the text ends it
    EXPECT_TRUE(p.messages.empty());
    EXPECT_EQ(p.size, 0x280u);
}

TEST(ParseSRecordLines, FinalCrLfWithoutEndRecordFails) {
    Parsed p = Lines(Rec('1', {0, 0}, {0x11}) + "\r\n");
    EXPECT_EQ(p.size, 0u);
    EXPECT_EQ(p.messages, (Texts{kRecordWrongFormat, kRecordChecksumError}));
}

TEST(ParseSRecordLines, OddLinesWarnAndAreParsedAllTheSame) {
    std::string x = Rec('1', {0, 0x40}, {0x77});
    x[0] = 'X';
    Parsed p = Lines(x + "\r\n" + S9() + "\r\n");
    EXPECT_EQ(p.messages, Texts{kRecordWrongFormat});
    EXPECT_EQ(p.image[0x40], 0x77);
    EXPECT_EQ(p.size, 128u);

    // 'Z' reads as 35: count 35 * 16 + 35 = 595.
    p = Lines("S1ZZ0000\r\n" + S9() + "\r\n");
    EXPECT_EQ(p.size, 0u);
    EXPECT_EQ(p.messages, (Texts{kRecordCountTooBig, kRecordTruncated}));
}

TEST(ParseSRecordLines, BareLineFeedsAreRefused) {
    Parsed p = Lines(Rec('1', {0, 0}, {0x11}) + "\n" + Rec('1', {0x10, 0}, {0x22}) + "\n" + S9());
    EXPECT_EQ(p.size, 0u);
    EXPECT_EQ(p.messages, Texts{kRecordLineEnd});
    EXPECT_TRUE(OnlyFF(p.image));
}

}  // namespace
}  // namespace kelmor::flash
