#include "flash/firmwarepack.h"

#include "core/crc16.h"
#include "flash/crypt.h"

namespace kelmor::flash {

std::string PackContainer(std::string_view marker, std::string_view text, const FirmwareKey& key) {
    std::string bytes;
    bytes.reserve(marker.size() + text.size() + 2);
    bytes.append(marker).append(text);
    uint16_t crc = core::KermitCrc(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    bytes.push_back(static_cast<char>(crc >> 8));
    bytes.push_back(static_cast<char>(crc & 0xFF));
    CCrypt crypt;
    CCrypt::KeySchedule schedule;
    crypt.ExpandKey(key.data(), kContainerRounds, true, schedule);
    // The last byte stays plain, as the readers expect.
    crypt.EncryptCfb(reinterpret_cast<uint8_t*>(bytes.data()), bytes.size() - 1, schedule,
                     kContainerIv.data(), kContainerIv.size());
    return bytes;
}

std::string PackOemFile(FlashImage image, uint32_t programSize, const RandomByteSource& random) {
    std::vector<uint8_t> packets;
    size_t n = BuildOemPackets(image, programSize, packets, random);
    std::string bytes(packets.begin(), packets.begin() + static_cast<std::ptrdiff_t>(n));
    uint16_t crc = core::OemFileCrc(packets.data(), n);
    bytes.push_back(static_cast<char>(crc >> 8));
    bytes.push_back(static_cast<char>(crc & 0xFF));
    return bytes;
}

}  // namespace kelmor::flash
