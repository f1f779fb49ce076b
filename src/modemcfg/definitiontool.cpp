#include "modemcfg/definitiontool.h"

#include <cstdio>
#include <filesystem>
#include <vector>

#include "modemcfg/definition.h"
#include "platform/inifile.h"

namespace kelmor::modemcfg {

namespace {

constexpr const char* kEndMarker = ">>>>>>>>";

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> out(1);
    for (char c : line) {
        if (c == '\t')
            out.emplace_back();
        else
            out.back() += c;
    }
    return out;
}

std::string FieldAt(const std::vector<std::string>& f, size_t i) {
    return i < f.size() ? f[i] : std::string();
}

bool IsTypeLetter(char c) {
    switch (c) {
        case 'B':
        case 'H':
        case 'M':
        case 'R':
        case 'S':
        case 'W':
        case 'b':
        case 'h':
        case 'm':
        case 'r':
        case 's':
        case 'w':
            return true;
        default:
            return false;
    }
}

// The sections of the file being written, with the write semantics of the settings files: a
// key written again replaces its value in place, a new key goes to the end of its section.
struct OutSection {
    std::string name;
    std::vector<std::pair<std::string, std::string>> keys;

    void Set(const std::string& key, const std::string& value) {
        for (auto& kv : keys)
            if (platform::EqualsNoCase(kv.first, key)) {
                kv.second = value;
                return;
            }
        keys.emplace_back(key, value);
    }
};

struct OutFile {
    std::vector<OutSection> sections;

    // A reference stays valid only until the next new section.
    OutSection& Section(const std::string& name) {
        for (auto& s : sections)
            if (platform::EqualsNoCase(s.name, name)) return s;
        return sections.emplace_back(OutSection{name, {}});
    }
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        for (auto& s : sections) {
            if (!lines.empty()) lines.emplace_back();
            lines.push_back("[" + s.name + "]");
            for (auto& [k, v] : s.keys) lines.push_back(k + "=" + v);
        }
        return lines;
    }
};

std::string Join(const std::vector<std::string>& lines) {
    std::string out;
    for (auto& l : lines) out += l + "\r\n";
    return out;
}

std::string LineError(size_t index, const std::string& what) {
    return "line " + std::to_string(index + 1) + ": " + what;
}

// A key the settings file can hold: no '=', no section or comment mark in front, no control
// characters.
bool ValidParameterKey(const std::string& key) {
    if (key.empty() || key[0] == '[' || key[0] == ';') return false;
    for (char c : key)
        if (c == '=' || static_cast<unsigned char>(c) < 0x20) return false;
    return true;
}

bool ValidTypeName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (char c : name)
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) return false;
    return true;
}

}  // namespace

MakeSmfResult MakeSmfText(const std::string& exportBytes) {
    MakeSmfResult r;
    auto lines = SplitTextLines(exportBytes);
    if (lines.empty()) {
        r.error = "the export is empty";
        return r;
    }
    r.typeName = Fields(lines[0])[0];
    if (!ValidTypeName(r.typeName)) {
        r.error = LineError(0, "\"" + r.typeName + "\" cannot be the name of a definition file");
        return r;
    }

    OutFile out;
    out.Section("Version");
    size_t i = 1;
    for (; i < lines.size() && lines[i].find(kEndMarker) == std::string::npos; ++i) {
        auto f = Fields(lines[i]);
        const std::string& key = f[0];
        if (key.empty()) continue;  // a blank row of the sheet
        if (key.find('=') != std::string::npos || key[0] == '[' || key[0] == ';') {
            r.error = LineError(i, "\"" + key + "\" cannot be a key of [Version]");
            return r;
        }
        out.Section("Version").Set(key, FieldAt(f, 1));
    }
    if (i >= lines.size()) {
        r.error = "no line with \">>>>>>>>\" ends the version block";
        return r;
    }
    i += 2;  // the marker and the column headings

    // Running numbers per type letter, either case.
    int numbers[26] = {};
    int lastNumber = 0;
    std::string current;  // key of the parameter continuation lines belong to
    char currentType = 0;
    int continuation = 0;
    for (; i < lines.size() && lines[i].find(kEndMarker) == std::string::npos; ++i) {
        const std::string& line = lines[i];
        if (line.empty()) continue;
        auto f = Fields(line);
        if (line[0] == '\t') {
            if (current.empty()) continue;  // rows before the first parameter
            ++continuation;
            if (continuation == 1) {
                out.Section("Properties").Set(current + "_v", FieldAt(f, 2));
            } else if (currentType == 'R') {
                out.Section("Properties")
                    .Set(current + "_" + std::to_string(continuation - 1), FieldAt(f, 2));
            }
            continue;
        }
        if (line.size() < 3) {
            r.error = LineError(i, "a parameter line needs its type and security level");
            return r;
        }
        // The key is the type character and the level character as they stand, and the type's
        // running number; a line of any other type reuses the number last given out.
        char upper = static_cast<char>(line[0] & ~0x20);
        int number = lastNumber;
        if (IsTypeLetter(line[0])) number = lastNumber = ++numbers[upper - 'A'];
        std::string key = std::string(1, line[0]) + line[2] + std::to_string(number);
        if (!ValidParameterKey(key)) {
            r.error = LineError(i, "\"" + key + "\" cannot be a key of [Properties]");
            return r;
        }
        current = key;
        currentType = upper;
        continuation = 0;
        out.Section("Properties").Set(current, FieldAt(f, 2));
        out.Section("help text").Set(current + "_h", FieldAt(f, 3));
    }

    // The integrity number is computed over the text exactly as it will stand, with the Number
    // line where it is written, so the file always passes its own check.
    std::string typeFileName = DefinitionFileName(r.typeName);
    out.Section("Version").Set("Number", "0");
    uint16_t number = IntegrityNumber(typeFileName, out.Lines());
    out.Section("Version").Set("Number", std::to_string(number));
    auto finalLines = out.Lines();
    if (IntegrityNumber(typeFileName, finalLines) != number) {
        r.error = "another \"Number\" line stands before the one of [Version]";
        return r;
    }
    r.number = number;
    r.text = Join(finalLines);
    r.ok = true;
    return r;
}

MakeSmfResult MakeSmf(const std::string& exportPath, const std::string& outFolder) {
    std::string bytes;
    if (!platform::ReadFileBytes(exportPath, bytes)) {
        MakeSmfResult r;
        r.error = "cannot read " + exportPath;
        return r;
    }
    MakeSmfResult r = MakeSmfText(bytes);
    if (!r.ok) {
        r.error = exportPath + ": " + r.error;
        return r;
    }
    r.outputPath = DefinitionPath(outFolder, DefinitionFileName(r.typeName));
    if (!platform::WriteFileAtomic(r.outputPath, r.text)) {
        r.ok = false;
        r.error = "cannot write " + r.outputPath;
        return r;
    }
    std::error_code ec;
    std::string from = std::filesystem::absolute(exportPath, ec).lexically_normal().string();
    std::string to = std::filesystem::absolute(r.outputPath, ec).lexically_normal().string();
    r.message = "Conversion from\r\n" + from + "\r\nto " + to + "\r\nfinnished OK";
    return r;
}

std::string LoaderToHexText(const std::string& loaderBytes) {
    std::string out;
    out.reserve(loaderBytes.size() * 5 + loaderBytes.size() / 11 * 2);
    size_t column = 0;
    char constant[8];
    for (unsigned char b : loaderBytes) {
        std::snprintf(constant, sizeof constant, "0x%02x,", b);
        out += constant;
        column += 5;
        if (column > 50) {
            out += "\r\n";
            column = 0;
        }
    }
    return out;
}

std::string LoaderTextPath(const std::string& loaderPath) {
    return std::filesystem::path(loaderPath).replace_extension(".txt").string();
}

bool LoaderToHex(const std::string& loaderPath, std::string& outputPath, std::string& error) {
    outputPath = LoaderTextPath(loaderPath);
    if (outputPath == loaderPath) {
        // Writing the text over the loader itself would destroy it.
        error = loaderPath + " already has the extension .txt; its text would replace it";
        return false;
    }
    std::string bytes;
    if (!platform::ReadFileBytes(loaderPath, bytes)) {
        error = "cannot read " + loaderPath;
        return false;
    }
    if (!platform::WriteFileAtomic(outputPath, LoaderToHexText(bytes))) {
        error = "cannot write " + outputPath;
        return false;
    }
    return true;
}

}  // namespace kelmor::modemcfg
