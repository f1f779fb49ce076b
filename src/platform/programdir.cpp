#include "platform/programdir.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <set>

#include "platform/inifile.h"

namespace fs = std::filesystem;

namespace kelmor::platform {

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string WithoutTrailingSlash(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

bool IsDir(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(path, ec);
}

std::string UserHome() {
    std::string home = Env("HOME");
    if (!home.empty()) return home;
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string buffer(size > 0 ? static_cast<size_t>(size) : 16384, '\0');
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir)
        return found->pw_dir;
    return {};
}

// Facts about the running executable do not change while it runs.
struct Executable {
    std::string dir;
    bool writable = true;
};

const Executable& ThisExecutable() {
    static const Executable exe = [] {
        Executable e;
        std::error_code ec;
        auto path = fs::read_symlink("/proc/self/exe", ec);
        e.dir = ec ? fs::current_path(ec).string() : path.parent_path().string();
        e.writable = ::access(e.dir.c_str(), W_OK) == 0;
        return e;
    }();
    return exe;
}

ProgramDirChoice CurrentChoice() {
    const Executable& exe = ThisExecutable();
    ProgramDirInputs in;
    in.kelmorHome = Env("KELMOR_HOME");
    in.executableDir = exe.dir;
    in.executableDirWritable = exe.writable;
    in.xdgDataHome = Env("XDG_DATA_HOME");
    if (in.kelmorHome.empty()) in.home = UserHome();
    return ChooseProgramDir(in);
}

// Copies every regular file of `from` whose name ends in `extension` into `to`, keeping files
// already there.
void CopyFiles(const std::string& from, const std::string& to, const std::string& extension) {
    if (!IsDir(from)) return;
    std::error_code ec;
    for (fs::directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& p = it->path();
        std::error_code typeEc;
        if (!it->is_regular_file(typeEc) || p.extension() != extension) continue;
        std::error_code copyEc;
        fs::copy_file(p, fs::path(to) / p.filename(), fs::copy_options::skip_existing, copyEc);
    }
}

// A folder that has not served as a program folder yet: no settings file, no definitions. (An
// install into ~/.local makes ~/.local/share/kelmor itself, holding only the installed data.)
bool NeverUsed(const std::string& dir) {
    std::error_code ec;
    if (fs::exists(fs::path(dir) / "kelmor.ini", ec)) return false;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().extension() == ".smf") return false;
    }
    return true;
}

}  // namespace

ProgramDirChoice ChooseProgramDir(const ProgramDirInputs& in) {
    ProgramDirChoice c;
    const std::string exeDir = WithoutTrailingSlash(in.executableDir);
    const fs::path share = fs::path(exeDir).parent_path() / "share" / "kelmor";
    if (IsDir(share.string())) c.dataDir = share.lexically_normal().string();
    const bool installed = !c.dataDir.empty();

    if (installed) {
        if (IsDir(c.dataDir + "/definitions")) c.seedDefinitions = c.dataDir + "/definitions";
        if (IsDir(c.dataDir + "/sounds")) c.seedSounds = c.dataDir + "/sounds";
    } else if (!in.executableDirWritable) {
        // A read-only copy of the build (an unpacked archive under /opt, say): its samples and
        // sounds sit beside the executable.
        c.seedDefinitions = exeDir;
        c.seedSounds = exeDir;
    }

    if (!in.kelmorHome.empty()) {
        c.dir = WithoutTrailingSlash(in.kelmorHome);
        c.source = ProgramDirSource::KelmorHome;
    } else if (installed || !in.executableDirWritable) {
        std::string base;
        if (!in.xdgDataHome.empty() && in.xdgDataHome.front() == '/')
            base = WithoutTrailingSlash(in.xdgDataHome);
        else if (!in.home.empty())
            base = WithoutTrailingSlash(in.home) + "/.local/share";
        if (!base.empty()) {
            c.dir = base + "/kelmor";
            c.source = ProgramDirSource::UserFolder;
        }
    }
    if (c.dir.empty()) {
        // The build folder, or no home to go to: the executable's own folder.
        c.dir = exeDir;
        c.source = ProgramDirSource::ExecutableFolder;
    }
    if (c.seedDefinitions == c.dir) c.seedDefinitions.clear();
    if (c.seedSounds == c.dir) c.seedSounds.clear();
    return c;
}

bool PrepareUserFolder(const ProgramDirChoice& choice) {
    std::error_code ec;
    if (fs::exists(choice.dir, ec) && !IsDir(choice.dir)) return false;
    if (IsDir(choice.dir) && !NeverUsed(choice.dir)) return true;
    fs::create_directories(choice.dir, ec);
    if (!IsDir(choice.dir)) return false;
    CopyFiles(choice.seedDefinitions, choice.dir, ".smf");
    CopyFiles(choice.seedSounds, choice.dir, ".wav");
    return true;
}

std::string ProgramDir() {
    ProgramDirChoice c = CurrentChoice();
    if (c.source == ProgramDirSource::UserFolder) {
        // Once per process and folder; later calls only read the choice.
        static std::mutex mutex;
        static std::set<std::string> prepared;
        std::lock_guard<std::mutex> lock(mutex);
        if (prepared.insert(c.dir).second) PrepareUserFolder(c);
    }
    return c.dir;
}

std::string SettingsPath() { return ProgramDir() + "/kelmor.ini"; }

std::vector<std::string> DefinitionFolders() {
    std::vector<std::string> folders{ProgramDir()};
    ProgramDirChoice c = CurrentChoice();
    if (!c.seedDefinitions.empty() && c.seedDefinitions != folders.front())
        folders.push_back(c.seedDefinitions);
    return folders;
}

std::string DefinitionFolderFor(const std::string& typeFileName) {
    std::vector<std::string> folders = DefinitionFolders();
    for (const std::string& folder : folders) {
        std::error_code ec;
        if (fs::is_regular_file(fs::path(folder) / typeFileName, ec)) return folder;
    }
    return folders.front();
}

std::string InstalledDataDir() { return CurrentChoice().dataDir; }

std::string ComDevicePath(int n) {
    const std::string key = "COM" + std::to_string(n);
    if (const char* env = std::getenv(("KELMOR_" + key).c_str()); env && *env) return env;
    std::string configured = IniFile(SettingsPath()).ReadString("Serial devices", key, "");
    if (!configured.empty()) return configured;
    return "/dev/ttyS" + std::to_string(n - 1);
}

}  // namespace kelmor::platform
