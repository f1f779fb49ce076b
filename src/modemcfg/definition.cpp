#include "modemcfg/definition.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <unordered_map>

#include "core/crc16.h"
#include "platform/inifile.h"

namespace kelmor::modemcfg {

namespace {

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

std::string Upper(std::string s) {
    for (auto& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return s;
}

std::string Lower(std::string s) {
    for (auto& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return s;
}

std::string Unquote(const std::string& v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

// A read-only view of an INI text with the lookups of platform::IniFile: names match without
// regard to case, the first section of a name and the first key of a name count, values are
// trimmed and unquoted. Lookups go through an index, so a huge file cannot make the group walk
// quadratic.
class IniText {
  public:
    struct Section {
        std::string name;
        std::vector<std::pair<std::string, std::string>> keys;
        std::unordered_map<std::string, size_t> index;  // upper-case key -> first position
    };

    explicit IniText(const std::string& bytes) {
        std::optional<size_t> current;
        for (auto& raw : SplitTextLines(bytes)) {
            std::string t = Trim(raw);
            if (t.empty() || t[0] == ';') continue;
            if (t[0] == '[') {
                size_t close = t.find(']');
                if (close == std::string::npos) continue;
                std::string name = Trim(t.substr(1, close - 1));
                current.reset();
                if (!Find(name)) {
                    sections_.push_back(Section{name, {}, {}});
                    current = sections_.size() - 1;
                }
                continue;
            }
            size_t eq = t.find('=');
            if (eq == std::string::npos || !current) continue;
            Section& s = sections_[*current];
            std::string key = Trim(t.substr(0, eq));
            s.index.emplace(Upper(key), s.keys.size());
            s.keys.emplace_back(std::move(key), Trim(t.substr(eq + 1)));
        }
    }

    const Section* Find(const std::string& name) const {
        for (auto& s : sections_)
            if (platform::EqualsNoCase(s.name, name)) return &s;
        return nullptr;
    }
    std::optional<std::string> Value(const std::string& section, const std::string& key) const {
        const Section* s = Find(section);
        if (!s) return std::nullopt;
        auto it = s->index.find(Upper(key));
        if (it == s->index.end()) return std::nullopt;
        return Unquote(s->keys[it->second].second);
    }
    std::string String(const std::string& section, const std::string& key,
                       const std::string& def) const {
        return Value(section, key).value_or(def);
    }
    int Integer(const std::string& section, const std::string& key, int def) const {
        auto v = Value(section, key);
        return v ? platform::TextToInt(*v) : def;
    }

  private:
    std::vector<Section> sections_;
};

bool IsTypeLetter(char c) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return c == 'B' || c == 'H' || c == 'M' || c == 'R' || c == 'S' || c == 'W';
}

bool GroupsFromIni(const IniText& ini, std::vector<ParameterGroup>& groups, std::string& error) {
    groups.clear();
    const auto* props = ini.Find("Properties");
    if (!props || props->keys.empty()) {
        error = kCheckIniFileText;
        return false;
    }
    std::vector<std::string> keys;
    keys.reserve(props->keys.size());
    for (auto& kv : props->keys) keys.push_back(Upper(kv.first));

    size_t i = 0;
    while (i < keys.size()) {
        const std::string& key = keys[i];
        if (key.size() < 2 || !IsTypeLetter(key[0]) || key[1] < '0' || key[1] > '9') {
            error = std::string(kCheckIniFileText) + ": key \"" + props->keys[i].first +
                    "\" of [Properties] is not a parameter key (type letter B, H, M, R, S or W, "
                    "then a security level 0..9)";
            groups.clear();
            return false;
        }
        ParameterGroup g;
        g.key = key;
        g.type = key[0];
        g.level = key[1];
        g.caption = ini.String("Properties", key, kMissingText);
        g.flags = ini.Integer("Properties", key + "_v", 0);
        g.hint = ini.String("help text", key + "_h", kMissingText);
        ++i;
        // The flags key belongs to the group only where it stands; a file without one must not
        // swallow the next parameter, which would shift every later value in the modem.
        if (i < keys.size() && keys[i] == key + "_V") ++i;
        if (g.type == 'R') {
            while (i < keys.size() && keys[i].find(key) != std::string::npos) {
                g.choices.push_back(Unquote(props->keys[i].second));
                ++i;
            }
        }
        groups.push_back(std::move(g));
    }
    return true;
}

}  // namespace

std::vector<std::string> SplitTextLines(const std::string& bytes) {
    return platform::SplitLines(bytes);
}

std::string DefinitionFileName(const std::string& typeName) {
    return typeName + kDefinitionExtension;
}

std::string DefinitionPath(const std::string& folder, const std::string& typeFileName) {
    if (folder.empty()) return typeFileName;
    if (folder.back() == '/') return folder + typeFileName;
    return folder + "/" + typeFileName;
}

std::vector<std::string> Catalogue(const std::string& folder, bool routingMode) {
    // (type name, path) of every *.smf; Windows matches the extension without regard to case.
    std::vector<std::pair<std::string, std::string>> files;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const auto& path = it->path();
        if (!platform::EqualsNoCase(path.extension().string(), kDefinitionExtension)) continue;
        std::error_code fec;
        if (!it->is_regular_file(fec)) continue;
        files.emplace_back(path.stem().string(), path.string());
    }
    std::sort(files.begin(), files.end());
    std::vector<std::string> out;
    for (auto& [name, path] : files) {
        std::string bytes;
        if (!platform::ReadFileBytes(path, bytes)) continue;
        IniText ini(bytes);
        if (ini.String("Version", "Kelmor ini", "xERROR") == "xERROR") continue;
        if (routingMode && ini.String("Version", "Routable", "true") == "false") continue;
        out.push_back(name);
    }
    return out;
}

uint16_t IntegrityNumber(const std::string& typeFileName, std::vector<std::string> lines) {
    lines.insert(lines.begin(), Lower(typeFileName));
    bool found = false;
    for (auto& line : lines) {
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        if (platform::EqualsNoCase(Trim(line.substr(0, eq)), "Number")) {
            line = line.substr(0, eq + 1) + "0000";
            found = true;
            break;
        }
    }
    if (!found) {
        size_t at = std::min<size_t>(6, lines.size());
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), "Number=0000");
    }
    std::string joined;
    for (auto& line : lines) {
        joined += line;
        joined += "\r\n";
    }
    return core::MsgCrc(0xFFFF, joined);
}

namespace {

Integrity IntegrityOfText(const std::string& typeFileName, const std::string& bytes,
                          bool readable) {
    Integrity r;
    r.readable = readable;
    r.computed = IntegrityNumber(typeFileName, SplitTextLines(bytes));
    r.stored = IniText(bytes).Integer("Version", "Number", -1);
    return r;
}

}  // namespace

Integrity ComputeIntegrity(const std::string& folder, const std::string& typeFileName) {
    std::string bytes;
    bool readable = platform::ReadFileBytes(DefinitionPath(folder, typeFileName), bytes);
    return IntegrityOfText(typeFileName, bytes, readable);
}

std::string CorruptedMessage(const std::string& typeFileName, int computed, int stored) {
    return "Ini file " + typeFileName + " has been corrupted L " + std::to_string(computed) +
           " S " + std::to_string(stored);
}

Integrity CheckIntegrity(const std::string& folder, const std::string& typeFileName,
                         bool factoryMode, platform::Prompter& prompter) {
    Integrity r = ComputeIntegrity(folder, typeFileName);
    if (r.computed == r.stored) return r;
    if (factoryMode) {
        if (prompter.Question(kFactoryCrcQuestion, "Warning", platform::Icon::Warning)) {
            // A read-only file simply keeps its old number.
            platform::IniFile ini(DefinitionPath(folder, typeFileName));
            if (r.readable && ini.WriteInteger("Version", "Number", r.computed)) {
                // A file without a Number line gets one at the end of [Version], which need not
                // be where the number was computed for; once the line exists its value no
                // longer counts, so one more pass makes the file pass its check.
                Integrity after = ComputeIntegrity(folder, typeFileName);
                if (!after.Ok()) ini.WriteInteger("Version", "Number", after.computed);
            }
        }
    } else {
        prompter.Message(CorruptedMessage(typeFileName, r.computed, r.stored));
    }
    return r;
}

TypeInfo ReadTypeInfo(const std::string& folder, const std::string& typeFileName) {
    std::string bytes;
    platform::ReadFileBytes(DefinitionPath(folder, typeFileName), bytes);
    IniText ini(bytes);
    TypeInfo info;
    info.settings = ini.String("Version", "Settings", kDefaultSettings);
    info.version = ini.Integer("Version", "Version number", 0);
    info.name = ini.String("Version", "Name", kMissingText);
    return info;
}

const TypeInfo& TypeInfoCache::ForType(const std::string& folder, const std::string& typeFileName,
                                       bool factoryMode, platform::Prompter& prompter) {
    if (typeFileName != lastType_) {
        CheckIntegrity(folder, typeFileName, factoryMode, prompter);
        info_ = ReadTypeInfo(folder, typeFileName);
    }
    lastType_ = typeFileName;
    return info_;
}

bool IsAcceptedBaudRate(int rate) {
    static constexpr int kRates[] = {300,   1200,  2400,   4800,   9600,  19200,
                                     38400, 57600, 115200, 128000, 256000};
    return std::find(std::begin(kRates), std::end(kRates), rate) != std::end(kRates);
}

SerialSettings ParseSettings(const std::string& text) {
    SerialSettings s;
    size_t comma = text.find(',');
    std::string baudText = text.substr(0, comma);
    int baud = platform::TextToInt(baudText);
    if (IsAcceptedBaudRate(baud))
        s.baudRate = baud;
    else
        s.messages.push_back("Check serial port baudrate !!\r\n" + baudText + " is invalid value");

    // Positions after the first comma: data bits +1, parity +3, stop bits +5.
    auto at = [&](size_t offset) -> std::optional<char> {
        if (comma == std::string::npos || comma + offset >= text.size()) return std::nullopt;
        return text[comma + offset];
    };
    auto shown = [](std::optional<char> c) { return c ? std::string(1, *c) : std::string(); };

    auto d = at(1);
    if (d && *d >= '4' && *d <= '8')
        s.dataBits = *d - '0';
    else
        s.messages.push_back("Check serial port databits !!\r\n" + shown(d) + " is invalid value");

    auto p = at(3);
    if (p && (*p == 'E' || *p == 'M' || *p == 'N' || *p == 'O' || *p == 'S'))
        s.parity = *p;
    else
        s.messages.push_back("Check serial port parity !!\r\n" + shown(p) + " is invalid value");

    auto b = at(5);
    if (b && *b == '1') {
        bool last = comma + 5 == text.size() - 1;
        s.stopBits = last ? StopBitsSetting::One : StopBitsSetting::OnePointFive;
    } else if (b && *b == '2') {
        s.stopBits = StopBitsSetting::Two;
    } else {
        s.messages.push_back("Check serial port stopbits !!\r\n" + shown(b) + " is invalid value");
    }
    return s;
}

bool ParseParameterGroups(const std::string& fileText, std::vector<ParameterGroup>& groups,
                          std::string& error) {
    error.clear();
    return GroupsFromIni(IniText(fileText), groups, error);
}

bool ReadParameterGroups(const std::string& path, std::vector<ParameterGroup>& groups,
                         std::string& error) {
    std::string bytes;
    platform::ReadFileBytes(path, bytes);
    return ParseParameterGroups(bytes, groups, error);
}

Definition ParseDefinition(const std::string& typeFileName, const std::string& fileText) {
    Definition d;
    std::filesystem::path p(typeFileName);
    d.typeName = p.extension().empty() ? typeFileName : p.stem().string();
    IniText ini(fileText);
    d.name = ini.String("Version", "Name", kMissingText);
    d.version = ini.Integer("Version", "Version number", 0);
    d.settings = ini.String("Version", "Settings", kDefaultSettings);
    d.routable = ini.String("Version", "Routable", "true") != "false";
    d.kelmorIni = ini.Value("Version", "Kelmor ini").has_value();
    d.storedNumber = ini.Integer("Version", "Number", -1);
    GroupsFromIni(ini, d.groups, d.error);
    return d;
}

Definition ReadDefinition(const std::string& folder, const std::string& typeFileName) {
    std::string bytes;
    if (!platform::ReadFileBytes(DefinitionPath(folder, typeFileName), bytes)) {
        Definition d = ParseDefinition(typeFileName, "");
        d.error = "cannot read " + DefinitionPath(folder, typeFileName);
        return d;
    }
    return ParseDefinition(typeFileName, bytes);
}

bool IsShown(const ParameterGroup& group, bool routingMode, bool factoryMode, char securityLevel) {
    if (group.level == '9' && securityLevel != '9') return false;
    if (factoryMode) return true;
    return routingMode ? group.ShownInRouting() : group.ShownInSingleModem();
}

bool LoadParameterGroups(const std::string& folder, const std::string& typeFileName,
                         std::vector<ParameterGroup>& groups, platform::Prompter& prompter) {
    std::string error;
    if (ReadParameterGroups(DefinitionPath(folder, typeFileName), groups, error)) return true;
    prompter.Message(error);
    return false;
}

ParameterList NewParameterList(const std::vector<ParameterGroup>& groups, bool routingMode) {
    ParameterList list;
    list.reserve(groups.size());
    for (auto& g : groups) {
        ModemParam p;
        p.type = g.type;
        p.level = g.level;
        p.shown = routingMode ? g.ShownInRouting() : g.ShownInSingleModem();
        list.push_back(std::move(p));
    }
    return list;
}

}  // namespace kelmor::modemcfg
