#pragma once
// Texts in files and on the line are Windows-1252 bytes; the screen wants Unicode.
// The conversion happens at the UI boundary only.
#include <string>

namespace kelmor::platform {

// Windows-1252 bytes to UTF-8. The five unassigned bytes (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to
// the C1 controls of the same value, as Windows itself does, so every byte survives a round trip.
std::string AnsiToUtf8(const std::string& ansi);
// UTF-8 to Windows-1252; characters that have no byte become '?', invalid UTF-8 bytes too.
std::string Utf8ToAnsi(const std::string& utf8);
// The code point of one Windows-1252 byte.
char32_t AnsiToCodePoint(unsigned char byte);

}  // namespace kelmor::platform
