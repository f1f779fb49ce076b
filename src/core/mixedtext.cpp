#include "core/mixedtext.h"

#include "core/hex.h"

namespace kelmor::core {

bool IsMixedEscape(std::string_view text, size_t i) {
    return i + 2 < text.size() && text[i] == '\\' && HexDigitValue(text[i + 1]) >= 0 &&
           HexDigitValue(text[i + 2]) >= 0;
}

std::string MixedToBytes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (IsMixedEscape(text, i)) {
            out += static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]));
            i += 3;
        } else {
            out += text[i++];
        }
    }
    return out;
}

}  // namespace kelmor::core
