#pragma once
// Settings and definition files in the INI layout, with the semantics the program's files have
// always had: section and key names match without regard to case, a missing file, section or
// key reads as the caller's default, a write replaces the key's line in place (or appends it to
// its section, or appends the section), and every other line keeps its place. Each call reads
// the file as it is on disk, so several objects may share one file. Writes go to a temporary
// file in the same folder that is renamed over the old one; false tells the caller the write
// failed (the caller shows "Unable to write ini file. Access denied").
#include <string>
#include <utility>
#include <vector>

namespace kelmor::platform {

inline constexpr const char* kIniWriteFailed = "Unable to write ini file. Access denied";

class IniFile {
  public:
    explicit IniFile(std::string path) : path_(std::move(path)) {}
    const std::string& Path() const { return path_; }

    bool Exists() const;
    bool SectionExists(const std::string& section) const;
    bool KeyExists(const std::string& section, const std::string& key) const;

    // The value with surrounding blanks removed, and one pair of enclosing quotes.
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue) const;
    // Missing key: defaultValue. A value that is not a number reads as 0 (decimal, or
    // hexadecimal with a "0x" or "$" prefix).
    int ReadInteger(const std::string& section, const std::string& key, int defaultValue) const;
    // "1"/"0" and "true"/"false" (any case); missing: defaultValue; anything else: false.
    bool ReadBool(const std::string& section, const std::string& key, bool defaultValue) const;

    // Key names of a section in file order (empty when missing).
    std::vector<std::string> ReadSection(const std::string& section) const;
    // Key/value pairs of a section in file order.
    std::vector<std::pair<std::string, std::string>> ReadSectionValues(
        const std::string& section) const;
    std::vector<std::string> ReadSections() const;

    bool WriteString(const std::string& section, const std::string& key, const std::string& value);
    bool WriteInteger(const std::string& section, const std::string& key, int value);
    bool WriteBool(const std::string& section, const std::string& key, bool value);
    // Several keys of one section in one atomic write, in the given order.
    bool WriteStrings(const std::string& section,
                      const std::vector<std::pair<std::string, std::string>>& values);
    bool DeleteKey(const std::string& section, const std::string& key);
    bool EraseSection(const std::string& section);

    // The raw lines of a file, split at CR LF, LF or CR; false when it cannot be read.
    static bool ReadLines(const std::string& path, std::vector<std::string>& lines);

  private:
    std::string path_;
};

// Lines of a text, split at CR LF, LF or CR; a last line without an ending counts too.
std::vector<std::string> SplitLines(const std::string& bytes);
// Reads a whole file into bytes; false when it cannot be read.
bool ReadFileBytes(const std::string& path, std::string& bytes);
// Writes bytes to a temporary file in the same folder and renames it over path.
bool WriteFileAtomic(const std::string& path, const std::string& bytes);

// True when the file exists and may not be written: its owner protected it, and a write must
// fail rather than replace it.
bool FileReadOnly(const std::string& path);

// Case-insensitive ASCII comparison, as section and key names compare.
bool EqualsNoCase(const std::string& a, const std::string& b);
// Number from text as the settings have always read them: blanks trimmed, optional sign,
// decimal or 0x/$ hexadecimal; anything that does not convert is 0.
int TextToInt(const std::string& text);

}  // namespace kelmor::platform
