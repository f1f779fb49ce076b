#include "flash/firmwarekey.h"

#include <gtest/gtest.h>

namespace kelmor::flash {
namespace {

TEST(ParseKeyGroup, AcceptsOnlyEightHexDigits) {
    struct Case {
        const char* text;
        int result;
    };
    const Case cases[] = {{"00000000", 8}, {"0123abCD", 8},  {"FFFFFFFF", 8},
                          {"0123456", 0},  {"012345678", 0}, {"0123456g", 0},
                          {"", 0},         {" 1234567", 0},  {"0x123456", 0}};
    for (const Case& c : cases) {
        uint8_t bytes[4] = {};
        EXPECT_EQ(ParseKeyGroup(c.text, bytes), c.result) << c.text;
    }
    uint8_t bytes[4];
    ASSERT_EQ(ParseKeyGroup("0123abCD", bytes), 8);
    EXPECT_EQ(bytes[0], 0x01);
    EXPECT_EQ(bytes[1], 0x23);
    EXPECT_EQ(bytes[2], 0xAB);
    EXPECT_EQ(bytes[3], 0xCD);
}

TEST(ParseKeyFields, ThirdFieldFillsBothLastQuartersAndFourthIsIgnored) {
    FirmwareKey a{}, b{};
    ASSERT_TRUE(ParseKeyFields("00112233", "44556677", "8899AABB", "CCDDEEFF", a));
    EXPECT_EQ(a, (FirmwareKey{0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA,
                              0xBB, 0x88, 0x99, 0xAA, 0xBB}));
    ASSERT_TRUE(ParseKeyFields("00112233", "44556677", "8899AABB", "not hex!", b));
    EXPECT_EQ(a, b);
}

TEST(ParseKeyFields, AnyBadFieldAmongFirstThreeFails) {
    FirmwareKey key{};
    EXPECT_FALSE(ParseKeyFields("0011223", "44556677", "8899AABB", "", key));
    EXPECT_FALSE(ParseKeyFields("00112233", "4455667G", "8899AABB", "", key));
    EXPECT_FALSE(ParseKeyFields("00112233", "44556677", "", "", key));
}

}  // namespace
}  // namespace kelmor::flash
