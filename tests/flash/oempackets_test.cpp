#include "flash/oempackets.h"

#include <gtest/gtest.h>

#include <deque>

namespace kelmor::flash {
namespace {

RandomByteSource Script(std::deque<uint8_t> bytes) {
    auto queue = std::make_shared<std::deque<uint8_t>>(std::move(bytes));
    return [queue] {
        uint8_t b = queue->front();
        queue->pop_front();
        return b;
    };
}

TEST(OemPackets, WordByteOrder) {
    // (0x80 << 8 | 0x11) ^ 0x3CC33CC3 = 0x3CC3BCD2, sent as bits 16-23, 24-31, 0-7, 8-15.
    EXPECT_EQ(OemAddressBytes(0x80, 0x11), (std::array<uint8_t, 4>{0xC3, 0x3C, 0xD2, 0xBC}));
    // End of programming: (0xFFFFFF00 | 0x42) ^ 0x3CC33CC3 = 0xC33CC381.
    EXPECT_EQ(OemEndFrameBytes(0x42), (std::array<uint8_t, 4>{0x3C, 0xC3, 0x81, 0xC3}));
    auto b = OemAddressBytes(0x7FF80, 0xEE);
    EXPECT_EQ(OemWordFromBytes(b.data()), (0x7FF80u << 8 | 0xEE));
}

TEST(OemPackets, TwoPagesOfAnImage) {
    FlashImage image = NewFlashImage();
    for (size_t i = 0; i < 256; ++i) image[i] = static_cast<uint8_t>(i);
    std::vector<uint8_t> out;
    size_t n = BuildOemPackets(image, 256, out, Script({0x5A, 0xA5}));
    EXPECT_EQ(n, 264u);
    EXPECT_EQ(out.size(), 256 / 128 * 132 + 132u);
    EXPECT_EQ(OemWordFromBytes(&out[0]), (0u << 8) | 0x5A);
    EXPECT_EQ(OemWordFromBytes(&out[132]), (128u << 8) | 0xA5);
    for (size_t i = 0; i < 256; ++i) {
        uint8_t expected = static_cast<uint8_t>(i) ^ kOemKey[i % 8];
        EXPECT_EQ(out[(i / 128) * 132 + 4 + i % 128], expected) << i;
        EXPECT_EQ(image[i], expected) << i;  // scrambled in place
    }
    EXPECT_EQ(image[256], 0xFF);  // beyond the program size: untouched
}

TEST(OemPackets, PartialLastPageAndWholeFlash) {
    FlashImage image = NewFlashImage();
    std::vector<uint8_t> out;
    EXPECT_EQ(BuildOemPackets(image, 200, out, Script({1, 2})), 264u);
    EXPECT_EQ(out.size(), 264u);

    image = NewFlashImage();
    EXPECT_EQ(BuildOemPackets(image, kFlashSize, out, [] { return uint8_t{7}; }),
              kFlashSize / 128 * 132);
    EXPECT_EQ(OemWordFromBytes(&out[kFlashSize / 128 * 132 - 132]), ((kFlashSize - 128) << 8) | 7u);
}

}  // namespace
}  // namespace kelmor::flash
