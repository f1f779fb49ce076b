#include "terminal/scriptfiles.h"

#include <fstream>

#include "core/mixedtext.h"
#include "platform/inifile.h"

namespace kelmor::terminal {

namespace {

// The largest sound file of each kind; reading stops one byte past it.
constexpr size_t kMaxScriptsTxtBytes = kScriptCount * (4 + kMaxScriptBytes);
constexpr size_t kMaxStfBytes = kScriptCount * (3 + kMaxStfTextBytes);

std::string FromShiftF(int n) { return "Shift-F" + std::to_string(n); }

}  // namespace

std::string ScriptKey(int n) { return "SHIFT F" + std::to_string(n); }

ScriptParse ParseScriptsTxt(std::string_view bytes) {
    ScriptParse result;
    size_t pos = 0;
    for (int n = 0; n < kScriptCount; ++n) {
        if (bytes.size() - pos < 4) {
            result.error = "the record of " + FromShiftF(n + 1) + " is cut short";
            return result;
        }
        uint32_t length = 0;
        for (int i = 3; i >= 0; --i)
            length = (length << 8) | static_cast<uint8_t>(bytes[pos + static_cast<size_t>(i)]);
        pos += 4;
        if (length > kMaxScriptBytes) {
            result.error = "the length of " + FromShiftF(n + 1) + " (" + std::to_string(length) +
                           " bytes) is more than a script can hold";
            return result;
        }
        if (length > bytes.size() - pos) {
            result.error = "the text of " + FromShiftF(n + 1) + " runs past the end of the file";
            return result;
        }
        result.scripts.texts[static_cast<size_t>(n)] = std::string(bytes.substr(pos, length));
        pos += length;
        result.recordsRead = n + 1;
    }
    return result;
}

std::string FormatScriptsTxt(const ScriptSet& scripts) {
    std::string out;
    for (const std::string& text : scripts.texts) {
        const auto length = static_cast<uint32_t>(text.size());
        for (int i = 0; i < 4; ++i) out += static_cast<char>((length >> (8 * i)) & 0xFF);
        out += text;
    }
    return out;
}

ScriptParse ParseStf(std::string_view bytes) {
    ScriptParse result;
    size_t pos = 0;
    for (int n = 0; n < kScriptCount; ++n) {
        if (bytes.size() - pos < 3) {
            result.error = "the record of " + FromShiftF(n + 1) + " is cut short";
            return result;
        }
        const bool mixed = bytes[pos] != 0;
        const size_t length = static_cast<size_t>(static_cast<uint8_t>(bytes[pos + 1])) << 8 |
                              static_cast<uint8_t>(bytes[pos + 2]);
        pos += 3;
        if (length > bytes.size() - pos) {
            result.error = "the text of " + FromShiftF(n + 1) + " runs past the end of the file";
            return result;
        }
        result.scripts.mixed[static_cast<size_t>(n)] = mixed;
        result.scripts.texts[static_cast<size_t>(n)] = std::string(bytes.substr(pos, length));
        pos += length;
        result.recordsRead = n + 1;
    }
    return result;
}

bool FormatStf(const ScriptSet& scripts, std::string& out, std::string& error) {
    out.clear();
    for (size_t n = 0; n < scripts.texts.size(); ++n) {
        const std::string& text = scripts.texts[n];
        if (text.size() > kMaxStfTextBytes) {
            // A longer length would wrap and every record after it would be read wrongly.
            error = "The script of " + FromShiftF(static_cast<int>(n) + 1) + " is " +
                    std::to_string(text.size()) + " bytes long; a script text file holds at most " +
                    std::to_string(kMaxStfTextBytes) + " bytes per script.";
            return false;
        }
        out += static_cast<char>(scripts.mixed[n] ? 1 : 0);
        out += static_cast<char>((text.size() >> 8) & 0xFF);
        out += static_cast<char>(text.size() & 0xFF);
        out += text;
    }
    return true;
}

std::vector<uint8_t> ScriptBytes(std::string_view text, bool mixed) {
    const std::string bytes = mixed ? core::MixedToBytes(text) : std::string(text);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

bool ReadFileCapped(const std::string& path, size_t cap, std::string& bytes, bool& truncated) {
    bytes.clear();
    truncated = false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    char buffer[65536];
    while (in && bytes.size() <= cap) {
        const size_t want = std::min(sizeof buffer, cap + 1 - bytes.size());
        in.read(buffer, static_cast<std::streamsize>(want));
        bytes.append(buffer, static_cast<size_t>(in.gcount()));
        if (in.gcount() == 0) break;
    }
    if (in.bad()) return false;
    if (bytes.size() > cap) {
        bytes.resize(cap);
        truncated = true;
    }
    return true;
}

ScriptLoad LoadScripts(const std::string& folder, const std::string& settingsPath) {
    ScriptLoad load;
    const std::string path = folder + "/" + kScriptsFileName;
    std::string bytes;
    bool truncated = false;
    if (!ReadFileCapped(path, kMaxScriptsTxtBytes, bytes, truncated)) return load;
    load.found = true;
    ScriptParse parse = ParseScriptsTxt(bytes);
    load.scripts = parse.scripts;
    if (!parse.Ok())
        load.message = "The file " + path + " is damaged (" + parse.error + "). The scripts from " +
                       FromShiftF(parse.recordsRead + 1) + " on are empty.";
    platform::IniFile ini(settingsPath);
    for (int n = 1; n <= kScriptCount; ++n) {
        const std::string value = ini.ReadString(kScriptSection, ScriptKey(n), "0");
        load.scripts.mixed[static_cast<size_t>(n - 1)] = !value.empty() && value[0] == '1';
    }
    return load;
}

bool SaveScripts(const std::string& folder, const std::string& settingsPath,
                 const ScriptSet& scripts) {
    platform::IniFile ini(settingsPath);
    std::vector<std::pair<std::string, std::string>> oldFlags, newFlags;
    for (int n = 1; n <= kScriptCount; ++n) {
        if (ini.KeyExists(kScriptSection, ScriptKey(n)))
            oldFlags.emplace_back(ScriptKey(n), ini.ReadString(kScriptSection, ScriptKey(n), ""));
        newFlags.emplace_back(ScriptKey(n), scripts.mixed[static_cast<size_t>(n - 1)] ? "1" : "0");
    }
    if (!ini.WriteStrings(kScriptSection, newFlags)) return false;
    if (platform::WriteFileAtomic(folder + "/" + kScriptsFileName, FormatScriptsTxt(scripts)))
        return true;
    // The texts stayed as they were: so must their flags.
    if (oldFlags.empty())
        ini.EraseSection(kScriptSection);
    else
        ini.WriteStrings(kScriptSection, oldFlags);
    return false;
}

bool LoadStfFile(const std::string& path, ScriptSet& scripts, std::string& message) {
    std::string bytes;
    bool truncated = false;
    if (!ReadFileCapped(path, kMaxStfBytes, bytes, truncated)) {
        message = "Unable to read script text file " + path;
        return false;
    }
    ScriptParse parse = ParseStf(bytes);
    if (!parse.Ok()) {
        message = "The script text file " + path + " is damaged (" + parse.error +
                  "). No scripts were loaded.";
        return false;
    }
    scripts = parse.scripts;
    return true;
}

bool SaveStfFile(const std::string& path, const ScriptSet& scripts, std::string& message) {
    std::string bytes;
    if (!FormatStf(scripts, bytes, message)) return false;
    if (!platform::WriteFileAtomic(path, bytes)) {
        message = "Unable to write script text file " + path;
        return false;
    }
    return true;
}

}  // namespace kelmor::terminal
