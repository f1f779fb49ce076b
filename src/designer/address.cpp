#include "designer/address.h"

#include "core/hex.h"

namespace kelmor::designer {

namespace {

std::string_view Trim(std::string_view text) {
    const char* blanks = " \t\r\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

}  // namespace

std::optional<uint32_t> ReadPrefixedHex(std::string_view text) {
    if (text.size() < 3 || text.substr(0, 2) != "0x") return std::nullopt;
    uint64_t value = 0;
    for (char c : text.substr(2)) {
        int digit = core::HexDigitValue(c);
        if (digit < 0) return std::nullopt;
        value = value * 16 + static_cast<uint64_t>(digit);
        if (value > 0xFFFFFFFFull) return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

uint32_t AddressValue(std::string& text) {
    std::string prefixed(Trim(text));
    if (prefixed.find("0x") == std::string::npos) prefixed.insert(0, "0x");
    auto value = ReadPrefixedHex(prefixed);
    if (!value) {
        text = "error";
        return 0;
    }
    text = prefixed;
    return *value;
}

std::optional<uint32_t> ParseAddress(const std::string& text) {
    std::string copy = text;
    uint32_t value = AddressValue(copy);
    if (copy == "error") return std::nullopt;
    return value;
}

long long DecimalValue(std::string_view text) {
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.size() > 18) return 0;
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

}  // namespace kelmor::designer
