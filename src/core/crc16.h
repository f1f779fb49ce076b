#pragma once
// The CRC-16 routines of the modem protocol, the definition files and the firmware files.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kelmor::core {

// Reflected CCITT CRC-16 (polynomial 0x8408), four bits at a time, no final inversion.
// Initial 0xFFFF gives CRC-16/MCRF4XX, initial 0 gives CRC-16/KERMIT. Results go into messages
// and files high byte first.
uint16_t MsgCrc(uint16_t initial, const uint8_t* bytes, size_t count);
inline uint16_t MsgCrc(uint16_t initial, std::string_view bytes) {
    return MsgCrc(initial, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}
inline uint16_t Mcrf4xxCrc(const uint8_t* bytes, size_t count) { return MsgCrc(0xFFFF, bytes, count); }
inline uint16_t KermitCrc(const uint8_t* bytes, size_t count) { return MsgCrc(0x0000, bytes, count); }

// CRC of the OEM firmware files: polynomial 0x1021 most significant bit first, register 0xFFFF,
// r = T2[r >> 8] ^ (r << 8) ^ b per byte, no final step.
uint16_t OemFileCrc(const uint8_t* bytes, size_t count);
inline uint16_t OemFileCrc(std::string_view bytes) {
    return OemFileCrc(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace kelmor::core
