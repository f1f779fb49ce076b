#include "shell/shellsettings.h"

#include "platform/inifile.h"

namespace kelmor::shell {

namespace {
constexpr const char* kStartSection = "Start Position";
constexpr const char* kTestSection = "Testi";

int DigitValue(const std::string& text) {
    return !text.empty() && text[0] >= '0' && text[0] <= '9' ? text[0] - '0' : 0;
}
}  // namespace

StartPosition ReadStartPosition(const platform::IniFile& ini) {
    StartPosition p;
    p.windowState = ini.ReadInteger(kStartSection, "WindowState", 2);
    if (p.windowState < 0 || p.windowState > 2) p.windowState = 0;
    p.left = ini.ReadInteger(kStartSection, "Left", 0);
    p.top = ini.ReadInteger(kStartSection, "Top", 0);
    p.width = ini.ReadInteger(kStartSection, "Width", 200);
    p.height = ini.ReadInteger(kStartSection, "Height", 200);
    return p;
}

std::string ReadLoaderPath(const platform::IniFile& ini) {
    return ini.ReadString(kTestSection, "loader", kNoLoader);
}

bool SaveStartPosition(platform::IniFile& ini, const StartPosition& p,
                       const std::string& loaderPath, platform::Prompter& prompter) {
    if (platform::FileReadOnly(ini.Path())) {
        prompter.Message(kReadOnlyMessage);
        // The file stays as its owner protected it; the write fails as it would on the file.
        prompter.Message(platform::kIniWriteFailed);
        return false;
    }
    std::vector<std::pair<std::string, std::string>> values;
    if (p.windowState != 2) {
        values.push_back({"Left", std::to_string(p.left)});
        values.push_back({"Top", std::to_string(p.top)});
        values.push_back({"Width", std::to_string(p.width)});
        values.push_back({"Height", std::to_string(p.height)});
    }
    values.push_back({"WindowState", std::to_string(p.windowState)});
    bool ok = ini.WriteStrings(kStartSection, values);
    if (ok && loaderPath != kNoLoader) ok = ini.WriteString(kTestSection, "loader", loaderPath);
    if (!ok) prompter.Message(platform::kIniWriteFailed);
    return ok;
}

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine c;
    c.arguments = arguments;
    if (arguments.empty()) return c;
    c.factoryMode = platform::EqualsNoCase(arguments[0], "XlumoraY");
    c.remoteFlash = platform::EqualsNoCase(arguments[0], "XvenatopirY");
    c.dsrOption = arguments.size() >= 2 && platform::EqualsNoCase(arguments[1], "DSR");
    return c;
}

bool RemoteFlashArguments(const CommandLine& c, RemoteFlashRequest& r) {
    if (c.arguments.size() < 5) return false;
    r.portSelection = DigitValue(c.arguments[1]);
    r.portSet = DigitValue(c.arguments[2]);
    r.updateMode = DigitValue(c.arguments[3]);
    r.firmwareFile = c.arguments[4];
    return true;
}

}  // namespace kelmor::shell
