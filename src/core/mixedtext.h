#pragma once
// Mixed text: a backslash followed by two hexadecimal digits (either case) stands for one byte.
// Anything else, a backslash without two digits after it included, stands for itself. A byte
// produced by an escape is never looked at again ("\5C41" gives '\', '4', '1').
#include <string>
#include <string_view>

namespace kelmor::core {

std::string MixedToBytes(std::string_view text);

// True when position i of text starts a valid escape.
bool IsMixedEscape(std::string_view text, size_t i);

}  // namespace kelmor::core
