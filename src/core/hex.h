#pragma once
// Hexadecimal formatting and parsing shared by the tool, the logs and the displays.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelmor::core {

// 0..15 for a hexadecimal digit (either case), -1 otherwise.
int HexDigitValue(char c);

// "24 01 00 4C": upper-case pairs joined by separator.
std::string FormatHexBytes(const uint8_t* bytes, size_t count, std::string_view separator = " ");
inline std::string FormatHexBytes(const std::vector<uint8_t>& bytes, std::string_view sep = " ") {
    return FormatHexBytes(bytes.data(), bytes.size(), sep);
}
inline std::string FormatHexBytes(std::string_view bytes, std::string_view sep = " ") {
    return FormatHexBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), sep);
}

// Each byte as a backslash and two upper-case digits ("\41\0D"), as logs and views show them.
std::string EscapedHexBytes(const uint8_t* bytes, size_t count);

// Upper-case hexadecimal with at least `digits` digits ("%0*X").
std::string HexWord(uint32_t value, int digits);

// Bytes from hexadecimal text: pairs of digits, blanks, commas and an optional "0x" per pair
// ignored between them. Nothing when the text holds anything else or an odd digit.
std::optional<std::vector<uint8_t>> ParseHexBytes(std::string_view text);

}  // namespace kelmor::core
