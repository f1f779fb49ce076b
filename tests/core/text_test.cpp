#include <gtest/gtest.h>

#include "core/hex.h"
#include "core/mixedtext.h"

using namespace kelmor::core;

TEST(MixedText, EscapesAndWhatStaysAsTyped) {
    struct Case {
        std::string text, bytes;
    } cases[] = {
        {"AB\\41", "ABA"},
        {"AT\\0D", "AT\r"},
        {"\\0d\\0A", "\r\n"},             // either case
        {"\\4G", "\\4G"},                 // not hexadecimal
        {"x\\4", "x\\4"},                 // backslash and one digit at the end
        {"x\\", "x\\"},
        {"\\5C41", "\\41"},               // a produced byte is not scanned again
        {"\\00z", std::string("\0z", 2)},
        {"", ""},
    };
    for (auto& c : cases) EXPECT_EQ(MixedToBytes(c.text), c.bytes) << c.text;
}

TEST(Hex, FormatsAndParses) {
    std::vector<uint8_t> bytes{0x24, 0x01, 0x00, 0x4C, 0x2C, 0x2A};
    EXPECT_EQ(FormatHexBytes(bytes), "24 01 00 4C 2C 2A");
    EXPECT_EQ(EscapedHexBytes(bytes.data(), 2), "\\24\\01");
    EXPECT_EQ(HexWord(0x6F91, 4), "6F91");
    EXPECT_EQ(HexWord(0x1, 4), "0001");
    EXPECT_EQ(ParseHexBytes("24 01,0x00 4c"), (std::vector<uint8_t>{0x24, 0x01, 0x00, 0x4C}));
    EXPECT_FALSE(ParseHexBytes("2"));
    EXPECT_FALSE(ParseHexBytes("zz"));
}
