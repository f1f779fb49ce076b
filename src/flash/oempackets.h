#pragma once
// The OEM packet form of a flash image: each 128-byte page scrambled with the OEM key and led
// by a masked address word holding a random byte.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "flash/srecord.h"

namespace kelmor::flash {

inline constexpr size_t kOemPacketSize = 132;
inline constexpr std::array<uint8_t, 8> kOemKey = {0x3E, 0x71, 0xC4, 0x1D, 0x92, 0x6B, 0xE8, 0x07};
inline constexpr uint32_t kOemMask = 0x3CC33CC3;

// A source of random bytes (0..255). Injectable so tests are deterministic.
using RandomByteSource = std::function<uint8_t()>;
// A generator seeded once with the time of day, as the conversion needs.
RandomByteSource TimeSeededRandomBytes();

// w = value ^ mask, sent as bytes (w >> 16), (w >> 24), w, (w >> 8).
std::array<uint8_t, 4> OemWordBytes(uint32_t value);
// Inverse of OemWordBytes (for checks and the simulator).
uint32_t OemWordFromBytes(const uint8_t* bytes);
// The page header: (address << 8) | r.
inline std::array<uint8_t, 4> OemAddressBytes(uint32_t address, uint8_t r) {
    return OemWordBytes((address << 8) | r);
}
// The OEM end of programming: (0xFFFFFF00 | r).
inline std::array<uint8_t, 4> OemEndFrameBytes(uint8_t r) { return OemWordBytes(0xFFFFFF00u | r); }

// Scrambles image bytes 0..programSize-1 in place with the OEM key, then writes one 132-byte body
// per page (address word, 128 image bytes) for addresses below programSize and kFlashSize.
// destination is resized to (programSize / 128) * 132 + 132 bytes; the result is the number of
// bytes written (132 per page). image must hold kFlashSize bytes.
size_t BuildOemPackets(FlashImage& image, uint32_t programSize, std::vector<uint8_t>& destination,
                       const RandomByteSource& random);

}  // namespace kelmor::flash
