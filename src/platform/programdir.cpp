#include "platform/programdir.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/inifile.h"

namespace kelmor::platform {

std::string ProgramDir() {
    if (const char* home = std::getenv("KELMOR_HOME"); home && *home) {
        std::string dir = home;
        while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
        return dir;
    }
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return std::filesystem::current_path(ec).string();
    return exe.parent_path().string();
}

std::string SettingsPath() { return ProgramDir() + "/kelmor.ini"; }

std::string ComDevicePath(int n) {
    const std::string key = "COM" + std::to_string(n);
    if (const char* env = std::getenv(("KELMOR_" + key).c_str()); env && *env) return env;
    std::string configured = IniFile(SettingsPath()).ReadString("Serial devices", key, "");
    if (!configured.empty()) return configured;
    return "/dev/ttyS" + std::to_string(n - 1);
}

}  // namespace kelmor::platform
