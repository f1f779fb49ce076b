#include "platform/inifile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kelmor::platform {

namespace {

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

// One parsed line: a section header, a key line, or anything else (kept as it stands).
struct Line {
    enum Kind { Other, Section, Key } kind = Other;
    std::string text;   // the raw line
    std::string name;   // section or key name, trimmed
    std::string value;  // key value, trimmed
};

Line Parse(const std::string& raw) {
    Line line;
    line.text = raw;
    std::string t = Trim(raw);
    if (t.empty() || t[0] == ';') return line;
    if (t[0] == '[') {
        size_t close = t.find(']');
        if (close != std::string::npos) {
            line.kind = Line::Section;
            line.name = Trim(t.substr(1, close - 1));
        }
        return line;
    }
    size_t eq = t.find('=');
    if (eq == std::string::npos) return line;
    line.kind = Line::Key;
    line.name = Trim(t.substr(0, eq));
    line.value = Trim(t.substr(eq + 1));
    return line;
}

std::vector<Line> Load(const std::string& path) {
    std::vector<std::string> raw;
    std::vector<Line> lines;
    if (!IniFile::ReadLines(path, raw)) return lines;
    lines.reserve(raw.size());
    for (auto& r : raw) lines.push_back(Parse(r));
    return lines;
}

bool Save(const std::string& path, const std::vector<Line>& lines) {
    std::string out;
    for (auto& l : lines) {
        out += l.text;
        out += "\r\n";
    }
    return WriteFileAtomic(path, out);
}

// Index range [begin, end) of the lines of a section's body; begin == npos when missing.
// end stops before trailing blank lines, so appended keys stay next to their section.
std::pair<size_t, size_t> FindSection(const std::vector<Line>& lines, const std::string& section) {
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind == Line::Section && EqualsNoCase(lines[i].name, section)) {
            size_t end = i + 1;
            while (end < lines.size() && lines[end].kind != Line::Section) ++end;
            size_t body = end;
            while (body > i + 1 && Trim(lines[body - 1].text).empty()) --body;
            return {i + 1, body};
        }
    }
    return {std::string::npos, 0};
}

std::string Unquote(const std::string& v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

void SetKey(std::vector<Line>& lines, const std::string& section, const std::string& key,
            const std::string& value) {
    auto [begin, end] = FindSection(lines, section);
    Line kv;
    kv.kind = Line::Key;
    kv.name = key;
    kv.value = value;
    kv.text = key + "=" + value;
    if (begin == std::string::npos) {
        if (!lines.empty() && !Trim(lines.back().text).empty()) lines.push_back(Line{});
        Line head;
        head.kind = Line::Section;
        head.name = section;
        head.text = "[" + section + "]";
        lines.push_back(head);
        lines.push_back(kv);
        return;
    }
    for (size_t i = begin; i < end; ++i) {
        if (lines[i].kind == Line::Key && EqualsNoCase(lines[i].name, key)) {
            kv.name = lines[i].name;
            kv.text = lines[i].name + "=" + value;
            lines[i] = kv;
            return;
        }
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(end), kv);
}

}  // namespace

bool EqualsNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

int TextToInt(const std::string& text) {
    std::string t = Trim(text);
    if (t.empty()) return 0;
    size_t i = 0;
    bool negative = false;
    if (t[i] == '+' || t[i] == '-') negative = t[i++] == '-';
    int base = 10;
    if (i < t.size() && t[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= t.size()) return 0;
    long long v = 0;
    for (; i < t.size(); ++i) {
        char c = t[i];
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return 0;
        v = v * base + d;
        if (v > 0xFFFFFFFFLL) return 0;
    }
    if (base == 10 && v > 2147483647LL + (negative ? 1 : 0)) return 0;
    if (negative) v = -v;
    return static_cast<int>(static_cast<int32_t>(static_cast<uint32_t>(v & 0xFFFFFFFF)));
}

bool ReadFileBytes(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    if (in.bad()) return false;
    bytes = ss.str();
    return true;
}

bool WriteFileAtomic(const std::string& path, const std::string& bytes) {
    std::string dir = ".";
    if (auto slash = path.rfind('/'); slash != std::string::npos) dir = path.substr(0, slash + 1);
    std::string tmpl = (dir == "." ? std::string("./") : dir) + ".kelmor-XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) return false;
    // Keep the old file's permissions where there is one, else the usual 0644.
    struct stat st {};
    fchmod(fd, ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644);
    const char* p = bytes.data();
    size_t left = bytes.size();
    bool ok = true;
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (ok && ::fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(name.data(), path.c_str()) != 0) ok = false;
    if (!ok) ::unlink(name.data());
    return ok;
}

std::vector<std::string> SplitLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::string cur;
    for (size_t i = 0; i < bytes.size(); ++i) {
        char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(cur);
            cur.clear();
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) lines.push_back(cur);
    return lines;
}

bool IniFile::ReadLines(const std::string& path, std::vector<std::string>& lines) {
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) return false;
    lines = SplitLines(bytes);
    return true;
}

bool IniFile::Exists() const { return ::access(path_.c_str(), F_OK) == 0; }

bool IniFile::SectionExists(const std::string& section) const {
    return FindSection(Load(path_), section).first != std::string::npos;
}

bool IniFile::KeyExists(const std::string& section, const std::string& key) const {
    for (auto& [k, v] : ReadSectionValues(section))
        if (EqualsNoCase(k, key)) return true;
    return false;
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& defaultValue) const {
    for (auto& [k, v] : ReadSectionValues(section))
        if (EqualsNoCase(k, key)) return Unquote(v);
    return defaultValue;
}

int IniFile::ReadInteger(const std::string& section, const std::string& key,
                         int defaultValue) const {
    for (auto& [k, v] : ReadSectionValues(section))
        if (EqualsNoCase(k, key)) return TextToInt(Unquote(v));
    return defaultValue;
}

bool IniFile::ReadBool(const std::string& section, const std::string& key,
                       bool defaultValue) const {
    for (auto& [k, v] : ReadSectionValues(section)) {
        if (!EqualsNoCase(k, key)) continue;
        std::string u = Unquote(v);
        return u == "1" || EqualsNoCase(u, "true");
    }
    return defaultValue;
}

std::vector<std::string> IniFile::ReadSection(const std::string& section) const {
    std::vector<std::string> keys;
    for (auto& [k, v] : ReadSectionValues(section)) keys.push_back(k);
    return keys;
}

std::vector<std::pair<std::string, std::string>> IniFile::ReadSectionValues(
    const std::string& section) const {
    std::vector<std::pair<std::string, std::string>> out;
    auto lines = Load(path_);
    // Windows reads the first section of that name; later duplicates are ignored.
    auto [begin, end] = FindSection(lines, section);
    if (begin == std::string::npos) return out;
    for (size_t i = begin; i < end; ++i)
        if (lines[i].kind == Line::Key) out.emplace_back(lines[i].name, lines[i].value);
    return out;
}

std::vector<std::string> IniFile::ReadSections() const {
    std::vector<std::string> out;
    for (auto& l : Load(path_))
        if (l.kind == Line::Section) out.push_back(l.name);
    return out;
}

bool IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
    return WriteStrings(section, {{key, value}});
}

bool IniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
    return WriteString(section, key, std::to_string(value));
}

bool IniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    return WriteString(section, key, value ? "1" : "0");
}

bool IniFile::WriteStrings(const std::string& section,
                           const std::vector<std::pair<std::string, std::string>>& values) {
    auto lines = Load(path_);
    for (auto& [k, v] : values) SetKey(lines, section, k, v);
    return Save(path_, lines);
}

bool IniFile::DeleteKey(const std::string& section, const std::string& key) {
    auto lines = Load(path_);
    auto [begin, end] = FindSection(lines, section);
    if (begin == std::string::npos) return true;
    for (size_t i = begin; i < end; ++i) {
        if (lines[i].kind == Line::Key && EqualsNoCase(lines[i].name, key)) {
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
            return Save(path_, lines);
        }
    }
    return true;
}

bool IniFile::EraseSection(const std::string& section) {
    auto lines = Load(path_);
    auto [begin, end] = FindSection(lines, section);
    if (begin == std::string::npos) return true;
    size_t stop = begin;
    while (stop < lines.size() && lines[stop].kind != Line::Section) ++stop;
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(begin - 1),
                lines.begin() + static_cast<std::ptrdiff_t>(stop));
    return Save(path_, lines);
}

bool FileReadOnly(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    // No write permission for anyone is the read-only mark, which even root respects here.
    return (st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0;
}

}  // namespace kelmor::platform
