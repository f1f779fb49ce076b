#include "flash/oempackets.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <random>

namespace kelmor::flash {

RandomByteSource TimeSeededRandomBytes() {
    auto seed = static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    auto engine = std::make_shared<std::mt19937>(static_cast<std::mt19937::result_type>(seed));
    return [engine] { return static_cast<uint8_t>((*engine)() & 0xFF); };
}

std::array<uint8_t, 4> OemWordBytes(uint32_t value) {
    uint32_t w = value ^ kOemMask;
    return {static_cast<uint8_t>(w >> 16), static_cast<uint8_t>(w >> 24), static_cast<uint8_t>(w),
            static_cast<uint8_t>(w >> 8)};
}

uint32_t OemWordFromBytes(const uint8_t* b) {
    uint32_t w = static_cast<uint32_t>(b[1]) << 24 | static_cast<uint32_t>(b[0]) << 16 |
                 static_cast<uint32_t>(b[3]) << 8 | b[2];
    return w ^ kOemMask;
}

size_t BuildOemPackets(FlashImage& image, uint32_t programSize, std::vector<uint8_t>& destination,
                       const RandomByteSource& random) {
    size_t scrambled = std::min<size_t>(programSize, image.size());
    for (size_t i = 0; i < scrambled; ++i) image[i] ^= kOemKey[i % kOemKey.size()];

    destination.assign(programSize / kFlashPageSize * kOemPacketSize + kOemPacketSize, 0);
    size_t written = 0;
    for (uint32_t a = 0; a < programSize && a < kFlashSize; a += kFlashPageSize) {
        if (a + kFlashPageSize > image.size()) break;  // never read past a short image
        auto header = OemAddressBytes(a, random());
        std::copy(header.begin(), header.end(), destination.begin() + written);
        std::copy_n(image.begin() + a, kFlashPageSize, destination.begin() + written + 4);
        written += kOemPacketSize;
    }
    return written;
}

}  // namespace kelmor::flash
