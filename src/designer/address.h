#pragma once
// Terminal addresses: hexadecimal text, with or without a "0x" prefix, as 32-bit values.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelmor::designer {

// Reads "0x" followed by one or more hexadecimal digits (leading zeros allowed) whose value
// fits 32 bits. Nothing for anything else.
std::optional<uint32_t> ReadPrefixedHex(std::string_view text);

// Blanks trimmed, "0x" put in front when the text holds none, then read as hexadecimal. The
// caller's text becomes the trimmed and prefixed text, or "error" with the value 0 when it
// does not read.
uint32_t AddressValue(std::string& text);

// The same conversion on a copy: nothing when the text does not read.
std::optional<uint32_t> ParseAddress(const std::string& text);

// Decimal text as the program has always read numbers: blanks trimmed, optional sign;
// anything that does not convert is 0.
long long DecimalValue(std::string_view text);

}  // namespace kelmor::designer
