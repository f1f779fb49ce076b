#include "core/hex.h"

namespace kelmor::core {

namespace {
constexpr char kDigits[] = "0123456789ABCDEF";
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string FormatHexBytes(const uint8_t* bytes, size_t count, std::string_view separator) {
    std::string out;
    out.reserve(count * (2 + separator.size()));
    for (size_t i = 0; i < count; ++i) {
        if (i) out += separator;
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 0xF];
    }
    return out;
}

std::string EscapedHexBytes(const uint8_t* bytes, size_t count) {
    std::string out;
    out.reserve(count * 3);
    for (size_t i = 0; i < count; ++i) {
        out += '\\';
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 0xF];
    }
    return out;
}

std::string HexWord(uint32_t value, int digits) {
    std::string out;
    do {
        out.insert(out.begin(), kDigits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    while (static_cast<int>(out.size()) < digits) out.insert(out.begin(), '0');
    return out;
}

std::optional<std::vector<uint8_t>> ParseHexBytes(std::string_view text) {
    std::vector<uint8_t> out;
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == ' ' || c == ',' || c == '\t' || c == '\n' || c == '\r') {
            ++i;
            continue;
        }
        if (c == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')) i += 2;
        if (i + 1 >= text.size()) return std::nullopt;
        int hi = HexDigitValue(text[i]), lo = HexDigitValue(text[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out.push_back(static_cast<uint8_t>(hi * 16 + lo));
        i += 2;
    }
    return out;
}

}  // namespace kelmor::core
