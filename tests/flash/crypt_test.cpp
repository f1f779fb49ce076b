#include "flash/crypt.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace kelmor::flash {
namespace {

using Block = std::array<uint8_t, 8>;

Block Encrypt(const std::array<uint8_t, 16>& key, Block block, unsigned rounds = 10) {
    CCrypt crypt;
    CCrypt::KeySchedule schedule;
    crypt.ExpandKey(key.data(), rounds, true, schedule);
    crypt.EncryptBlock(block.data(), schedule);
    return block;
}

TEST(CCrypt, Tables) {
    CCrypt crypt;
    EXPECT_EQ(crypt.Exp(0), 1);
    EXPECT_EQ(crypt.Exp(1), 45);
    EXPECT_EQ(crypt.Exp(2), 45 * 45 % 257);
    EXPECT_EQ(crypt.Exp(128), 0);  // 45^128 = 256 (mod 257)
    for (int i = 0; i < 256; ++i) EXPECT_EQ(crypt.Log(crypt.Exp(static_cast<uint8_t>(i))), i);
}

// Examples published by J. L. Massey with the strengthened key schedule: "Announcement of a
// Strengthened Key Schedule for the Cipher SAFER" (ETH Zurich, September 1995), also carried
// in the test set of the SAFER reference toolkit by R. De Moliner (safer V1.2).
TEST(CCrypt, SaferSk128PublishedExamples) {
    struct Case {
        std::array<uint8_t, 16> key;
        Block plain, cipher;
    };
    const Case cases[] = {
        {{1, 2, 3, 4, 5, 6, 7, 8, 0, 0, 0, 0, 0, 0, 0, 0},
         {1, 2, 3, 4, 5, 6, 7, 8},
         {0xFF, 0x78, 0x11, 0xE4, 0xB3, 0xA7, 0x2E, 0x71}},
        {{0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1},
         {1, 2, 3, 4, 5, 6, 7, 8},
         {0x41, 0x4C, 0x54, 0x5A, 0xB6, 0x99, 0x4A, 0xF7}},
    };
    for (const Case& c : cases) EXPECT_EQ(Encrypt(c.key, c.plain), c.cipher);
}

TEST(CCrypt, ExpandKeyCapsRoundsAndStoresCount) {
    CCrypt crypt;
    CCrypt::KeySchedule a, b;
    std::array<uint8_t, 16> key{};
    crypt.ExpandKey(key.data(), 20, true, a);
    crypt.ExpandKey(key.data(), 13, true, b);
    EXPECT_EQ(a[0], 13);
    EXPECT_EQ(a, b);
    crypt.ExpandKey(key.data(), 10, true, a);
    EXPECT_EQ(a[0], 10);
    // The first round key is the second key half as given.
    std::array<uint8_t, 16> key2{0, 0, 0, 0, 0, 0, 0, 0, 9, 8, 7, 6, 5, 4, 3, 2};
    crypt.ExpandKey(key2.data(), 10, true, a);
    EXPECT_TRUE(std::equal(a.begin() + 1, a.begin() + 9, key2.begin() + 8));
}

// Cipher feedback: the keystream of block k is E(ciphertext block k-1), starting from the IV
// register; a short tail uses only the first bytes of the last keystream block.
TEST(CCrypt, CfbMatchesItsDefinitionAndRoundTrips) {
    CCrypt crypt;
    CCrypt::KeySchedule schedule;
    std::array<uint8_t, 16> key{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0,
                                0x0F, 0x1E, 0x2D, 0x3C, 0x4B, 0x5A, 0x69, 0x78};
    crypt.ExpandKey(key.data(), 10, true, schedule);
    for (size_t length : {0u, 1u, 7u, 8u, 9u, 16u, 21u}) {
        std::vector<uint8_t> plain(length);
        for (size_t i = 0; i < length; ++i) plain[i] = static_cast<uint8_t>(i * 37 + 5);
        std::vector<uint8_t> cipher = plain;
        crypt.EncryptCfb(cipher.data(), length, schedule, kContainerIv.data(), 4);

        // Independent computation from the block cipher.
        Block reg{'7', '1', '9', '3', 0, 0, 0, 0};
        for (size_t pos = 0; pos < length; pos += 8) {
            crypt.EncryptBlock(reg.data(), schedule);
            size_t n = std::min<size_t>(8, length - pos);
            for (size_t i = 0; i < n; ++i) {
                ASSERT_EQ(cipher[pos + i], plain[pos + i] ^ reg[i]) << length << " " << pos + i;
                reg[i] = cipher[pos + i];
            }
        }
        std::vector<uint8_t> back = cipher;
        crypt.DecryptCfb(back.data(), length, schedule, kContainerIv.data(), 4);
        EXPECT_EQ(back, plain) << length;
    }
}

}  // namespace
}  // namespace kelmor::flash
