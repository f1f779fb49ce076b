#pragma once
// The 128-bit firmware key as typed in four fields of 8 hexadecimal digits.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelmor::flash {

using FirmwareKey = std::array<uint8_t, 16>;

inline constexpr const char* kKeyFormatInvalid = "The format of key is NOT valid! Check It!";

// 8 when text is exactly 8 hexadecimal digits (either case) and the 4 bytes were written, first
// two digits first; 0 otherwise (bytes before the bad digit may already be written).
int ParseKeyGroup(std::string_view text, uint8_t* destination);

// Fields 1, 2, 3 give key bytes 0-3, 4-7, 8-11 and field 3 again bytes 12-15: the fourth field
// is neither checked nor used, which keys already issued to customers rely on. False at the
// first bad field among 1..3 (key then incomplete).
bool ParseKeyFields(std::string_view field1, std::string_view field2, std::string_view field3,
                    std::string_view field4, FirmwareKey& key);

// The key the window shows before anything is typed: every field "00000000".
inline FirmwareKey ZeroKey() { return FirmwareKey{}; }

}  // namespace kelmor::flash
