#include "core/crc16.h"

#include <array>

namespace kelmor::core {

namespace {
// Entry k: the register after shifting the nibble k through the reflected polynomial.
constexpr std::array<uint16_t, 16> kNibble = [] {
    std::array<uint16_t, 16> t{};
    for (uint16_t k = 0; k < 16; ++k) {
        uint16_t crc = k;
        for (int i = 0; i < 4; ++i) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0x8408) : static_cast<uint16_t>(crc >> 1);
        t[k] = crc;
    }
    return t;
}();
static_assert(kNibble[1] == 0x1081 && kNibble[2] == 0x2102 && kNibble[15] == 0xF78F);

constexpr std::array<uint16_t, 256> kMsbFirst = [] {
    std::array<uint16_t, 256> t{};
    for (uint16_t k = 0; k < 256; ++k) {
        uint16_t crc = static_cast<uint16_t>(k << 8);
        for (int i = 0; i < 8; ++i) crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x1021) : static_cast<uint16_t>(crc << 1);
        t[k] = crc;
    }
    return t;
}();
static_assert(kMsbFirst[1] == 0x1021 && kMsbFirst[2] == 0x2042);
}  // namespace

uint16_t MsgCrc(uint16_t initial, const uint8_t* bytes, size_t count) {
    uint16_t crc = initial;
    for (size_t i = 0; i < count; ++i) {
        uint8_t a = bytes[i];
        crc = static_cast<uint16_t>(kNibble[(crc ^ a) & 0x0F] ^ (crc >> 4));
        crc = static_cast<uint16_t>(kNibble[(crc ^ (a >> 4)) & 0x0F] ^ (crc >> 4));
    }
    return crc;
}

uint16_t OemFileCrc(const uint8_t* bytes, size_t count) {
    uint16_t r = 0xFFFF;
    for (size_t i = 0; i < count; ++i)
        r = static_cast<uint16_t>(kMsbFirst[r >> 8] ^ (r << 8) ^ bytes[i]);
    return r;
}

}  // namespace kelmor::core
