#pragma once
// The twelve script texts of Shift+F1 … Shift+F12 and their files: "scripts.txt" in the program
// folder (per script a 32-bit little-endian length and the text), the mixed flags in the
// settings section "Script texts", and the script text files (".stf": per script a flag byte, a
// 16-bit big-endian length and the text). Texts are Windows-1252 bytes with CR LF line breaks.
//
// Script files come from anywhere: every length is checked against what the file still holds
// before anything is allocated, and a file is read only up to the size twelve of the longest
// scripts can take.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelmor::terminal {

inline constexpr int kScriptCount = 12;
// A script box holds at most 64000 characters; with every line break sent as CR LF that is at
// most twice as many bytes.
inline constexpr size_t kMaxScriptChars = 64000;
inline constexpr size_t kMaxScriptBytes = 2 * kMaxScriptChars;
// A ".stf" record has a 16-bit length.
inline constexpr size_t kMaxStfTextBytes = 0xFFFF;

inline constexpr const char* kScriptSection = "Script texts";
inline constexpr const char* kScriptsFileName = "scripts.txt";

struct ScriptSet {
    std::array<std::string, kScriptCount> texts;
    std::array<bool, kScriptCount> mixed{};
    bool operator==(const ScriptSet&) const = default;
};

// "SHIFT F1" … "SHIFT F12" (n = 1 … 12).
std::string ScriptKey(int n);

// A parse keeps every record read whole; records from the first damaged one on stay empty and
// `error` says what was wrong (empty when the file was sound).
struct ScriptParse {
    ScriptSet scripts;
    int recordsRead = 0;
    std::string error;
    bool Ok() const { return error.empty(); }
};

// "scripts.txt" bytes (texts only; the flags live in the settings file). Bytes after the
// twelfth record are ignored.
ScriptParse ParseScriptsTxt(std::string_view bytes);
std::string FormatScriptsTxt(const ScriptSet& scripts);

// ".stf" bytes; a flag byte other than 0 counts as mixed.
ScriptParse ParseStf(std::string_view bytes);
// False (and a message in error) when a text does not fit a 16-bit length.
bool FormatStf(const ScriptSet& scripts, std::string& out, std::string& error);

// The bytes script `text` sends: with `mixed`, the backslash escapes resolved.
std::vector<uint8_t> ScriptBytes(std::string_view text, bool mixed);

// ---- files ----

struct ScriptLoad {
    ScriptSet scripts;
    bool found = false;   // "scripts.txt" existed
    std::string message;  // for the user; empty when all went well
};

// Start-up: the scripts of "scripts.txt" in `folder` and their flags from the settings file.
// A missing "scripts.txt" gives empty scripts, no flags read and no message.
ScriptLoad LoadScripts(const std::string& folder, const std::string& settingsPath);

// "OK": the flags into the settings file and the texts into "scripts.txt", each replaced
// whole, so a failed write leaves the old file as it was. When the texts cannot be written
// after the flags were, the old flags are put back. False: the caller shows
// "Unable to write ini file. Access denied".
bool SaveScripts(const std::string& folder, const std::string& settingsPath,
                 const ScriptSet& scripts);

// "Load ..." of a script text file: false with a message when the file cannot be read or is
// damaged; `scripts` is then left alone.
bool LoadStfFile(const std::string& path, ScriptSet& scripts, std::string& message);
bool SaveStfFile(const std::string& path, const ScriptSet& scripts, std::string& message);

// Reads at most `cap` bytes of a file; `truncated` tells whether more were there. False when
// the file cannot be opened.
bool ReadFileCapped(const std::string& path, size_t cap, std::string& bytes, bool& truncated);

}  // namespace kelmor::terminal
