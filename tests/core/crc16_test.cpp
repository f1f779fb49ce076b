#include "core/crc16.h"

#include <gtest/gtest.h>

using namespace kelmor::core;

TEST(Crc16, StandardCheckValues) {
    EXPECT_EQ(MsgCrc(0xFFFF, "123456789"), 0x6F91);  // CRC-16/MCRF4XX
    EXPECT_EQ(MsgCrc(0x0000, "123456789"), 0x2189);  // CRC-16/KERMIT
    EXPECT_EQ(OemFileCrc("abc"), 0xD278);
    EXPECT_EQ(MsgCrc(0xFFFF, ""), 0xFFFF);
}

TEST(Crc16, RunsOnFromAPartialResult) {
    const std::string text = "$\x01";
    uint16_t whole = MsgCrc(0xFFFF, text + "abc");
    EXPECT_EQ(MsgCrc(MsgCrc(0xFFFF, text), "abc"), whole);
}
