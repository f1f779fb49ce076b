#include "flash/flashsetup.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "flash/firmwarefile.h"
#include "flash/loaders.h"
#include "platform/programdir.h"

namespace kelmor::flash {

namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

const char* OnOff(bool on) { return on ? "1" : "0"; }

}  // namespace

std::string FileMissingText(const std::string& path) {
    return "File " + path + " does not exists !!!";
}

std::string StartFolderFor(std::string directory) {
    size_t backslash = directory.find('\\');
    if (backslash != std::string::npos && backslash + 1 == directory.size()) directory.pop_back();
    if (directory == "ERROR") return platform::ProgramDir();
    return directory;
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ExtensionOf(const std::string& path) {
    std::string name = NameOf(path);
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

// ---- Single flash window ----

SingleFlashSettings ReadSingleFlashSettings(const platform::IniFile& ini) {
    SingleFlashSettings s;
    s.portIndex = std::clamp(ini.ReadInteger(kSingleFlashSection, "Serial port", 0), 0, 15);
    s.directory = ini.ReadString(kSingleFlashSection, "Directory", "ERROR");
    return s;
}

bool WriteSingleFlashSettings(platform::IniFile& ini, int portIndex, const std::string& folder) {
    return ini.WriteStrings(kSingleFlashSection,
                            {{"Serial port", std::to_string(portIndex)}, {"Directory", folder}});
}

FileBoxes BoxesForFile(const std::string& path) {
    std::string ext = Lower(ExtensionOf(path));
    FileBoxes b;
    if (ext == ".sfo") {
        b.h3069 = true;
        b.oem = b.oemShown = true;
    } else if (ext == ".sf2") {
        b.h3069 = true;
    } else if (ext == ".sf3") {
        b.nms = b.nmsShown = true;
        b.h3069 = true;
    }
    return b;
}

SingleFlashJob::Outcome SingleFlashJob::Prepare(const SingleFlashRequest& request,
                                                const std::string& settingsPath, CMassFlash& h8,
                                                CMassFlash_3069& h3069,
                                                platform::Prompter& prompter) {
    if (!FileExists(request.path)) {
        prompter.Message(FileMissingText(request.path));
        return Outcome::Refused;
    }
    platform::IniFile ini(settingsPath);
    if (!WriteSingleFlashSettings(ini, request.portIndex, FolderOf(request.path)))
        prompter.Message(platform::kIniWriteFailed);

    h8.update = h3069.update = request.update;
    h8.h8_3069 = h3069.h8_3069 = request.h3069;
    h8.h8_3069Warning = h3069.h8_3069Warning = false;
    h3069.nms = request.nms;

    FirmwareKey key{};
    if (!ParseKeyFields(request.keyFields[0], request.keyFields[1], request.keyFields[2],
                        request.keyFields[3], key)) {
        prompter.Message(kKeyFormatInvalid);
        return Outcome::Refused;
    }
    h8.key = h3069.key = key;

    std::string bytes;
    if (!platform::ReadFileBytes(request.path, bytes)) {
        prompter.Message(FileMissingText(request.path));
        return Outcome::Refused;
    }
    file_ = std::move(bytes);
    int port = request.portIndex + 1;
    if (request.h3069) {
        if (file_.empty()) {
            prompter.Message(kSf2Empty);
            return Outcome::Refused;
        }
        uint32_t size = 0;
        if (request.oem) {
            OemFileCheck check = CheckOemFile(file_, prompter);
            if (!check.ok) return Outcome::RefusedDisabled;
            size = static_cast<uint32_t>(check.bodies.size());
            image_.assign(check.bodies.begin(), check.bodies.end());
        } else {
            ContainerCheck check =
                CheckContainerForImage(file_, ExtensionOf(request.path), key, image_, prompter);
            // A parse result of 0 stops here too: nothing would be programmed after the erase.
            if (!check.ok) return Outcome::RefusedDisabled;
            size = check.programSize;
            h3069.model = static_cast<uint8_t>(check.model);
        }
        h3069.image = image_.data();
        h3069.imageSize = static_cast<uint32_t>(image_.size());
        h3069.port = port;
        h3069.enciphered = false;
        h3069.fileSize = static_cast<int32_t>(size);
        h3069.programSize = size;
        h3069.abort.store(false);
        h3069.speedMode = request.veryslow ? 2 : 0;
        h3069.crystal = request.nms ? kCrystal33 : kCrystal24;
        h3069.oem = request.oem;
        loaderMaximum_ = h3069.LoaderSteps();
        programMaximum_ = static_cast<int>(size);
    } else {
        if (file_.empty()) {
            prompter.Message(kSffEmpty);
            return Outcome::Refused;
        }
        h8.data = reinterpret_cast<const uint8_t*>(file_.data());
        h8.port = port;
        h8.enciphered = true;
        h8.fileSize = static_cast<int32_t>(file_.size());
        h8.abort.store(false);
        h8.speedMode = 0;
        loaderMaximum_ = static_cast<int>(kH8LoaderLength);
        programMaximum_ = static_cast<int>(file_.size());
    }
    return Outcome::Start;
}

// ---- Multi flash windows ----

const char* MultiFlashSection(int kind) { return kind == 2 ? "Multi Flash2" : "Multi Flash"; }

MultiFlashSettings ReadMultiFlashSettings(const platform::IniFile& ini, int kind) {
    const std::string section = MultiFlashSection(kind);
    auto on = [&](const char* key, const char* def) {
        return ini.ReadString(section, key, def) == "1";
    };
    MultiFlashSettings s;
    const char* ports[4] = {"Serial port", "Serial port2", "Serial port3", "Serial port4"};
    for (int i = 0; i < 4; ++i) {
        s.portIndex[static_cast<size_t>(i)] =
            std::clamp(ini.ReadInteger(section, ports[i], 0), 0, 15);
        s.enabled[static_cast<size_t>(i)] = on(("Enable " + std::to_string(i + 1)).c_str(), "0");
    }
    s.directory = ini.ReadString(section, "Directory", "ERROR");
    s.filename = ini.ReadString(section, "Filename", "ERROR");
    s.type = ini.ReadInteger(section, "Type", 0);
    s.h3069 = on("Enable h8 3069", "0");
    s.freq24 = on("freq 24", "1");
    s.freq33 = on("freq 33", "0");
    s.freqVar = on("freq var", "0");
    if (int(s.freq24) + int(s.freq33) + int(s.freqVar) > 1) {
        s.freq24 = true;
        s.freq33 = s.freqVar = false;
    }
    s.xtal = ini.ReadInteger(section, "xtal freq", static_cast<int>(kCrystal24));
    return s;
}

bool WriteMultiFlashSettings(platform::IniFile& ini, int kind, const MultiFlashSettings& s) {
    std::vector<std::pair<std::string, std::string>> values = {
        {"Serial port", std::to_string(s.portIndex[0])},
        {"Serial port2", std::to_string(s.portIndex[1])},
        {"Serial port3", std::to_string(s.portIndex[2])},
        {"Serial port4", std::to_string(s.portIndex[3])},
        {"Directory", s.directory},
        {"Filename", s.filename},
        {"Type", std::to_string(s.type)},
        {"Enable 1", OnOff(s.enabled[0])},
        {"Enable 2", OnOff(s.enabled[1])},
        {"Enable 3", OnOff(s.enabled[2])},
        {"Enable 4", OnOff(s.enabled[3])},
        {"Enable h8 3069", OnOff(s.h3069)},
        {"freq 24", OnOff(s.freq24)},
        {"freq 33", OnOff(s.freq33)},
        {"freq var", OnOff(s.freqVar)},
        {"xtal freq", std::to_string(s.xtal)},
    };
    return ini.WriteStrings(MultiFlashSection(kind), values);
}

std::string SettingsFile(const MultiFlashSettings& s) {
    if (s.filename == "ERROR") return {};
    return StartFolderFor(s.directory) + "/" + s.filename;
}

bool IsGccRecordFile(const std::string& path) { return Lower(ExtensionOf(path)) == ".rec"; }

bool ChannelsOnDistinctPorts(const std::array<bool, 4>& enabled,
                             const std::array<int, 4>& portIndex) {
    std::array<int, 4> v{};
    for (size_t i = 0; i < 4; ++i) v[i] = enabled[i] ? portIndex[i] : 255 - static_cast<int>(i);
    for (size_t a = 0; a < 4; ++a)
        for (size_t b = a + 1; b < 4; ++b)
            if (v[a] == v[b]) return false;
    return true;
}

bool MultiFlashJob::Load(const MultiFlashRequest& request, platform::Prompter& prompter,
                         const RandomByteSource& random) {
    std::string bytes;
    if (!FileExists(request.path) || !platform::ReadFileBytes(request.path, bytes)) {
        prompter.Message(FileMissingText(request.path));
        return false;
    }
    // Every record is checked before any port is touched, for either kind: a bad record found
    // after the erase would leave the modem empty.
    FlashImage image = NewFlashImage();
    uint32_t size = ParseSRecordLines(bytes, image, prompter);
    if (size == 0) return false;
    if (request.h3069) {
        if (request.oem) {
            std::vector<uint8_t> packets;
            size = static_cast<uint32_t>(
                BuildOemPackets(image, size, packets, random ? random : TimeSeededRandomBytes()));
            image_ = std::move(packets);
        } else {
            image_ = std::move(image);
        }
        text_.clear();
        size_ = size;
    } else {
        text_ = std::move(bytes);
        image_.clear();
        size_ = static_cast<uint32_t>(text_.size());
    }
    return true;
}

void MultiFlashJob::Configure(const MultiFlashRequest& r, CFlashChannels& channels) const {
    channels.h3069Active = r.h3069;
    for (int i = 0; i < channels.Count() && i < 4; ++i) {
        FlashChannel& c = channels.Channel(i);
        auto index = static_cast<size_t>(i);
        c.enabled = r.enabled[index];
        c.SetPort(r.portIndex[index] + 1);
        if (r.h3069) {
            CMassFlash_3069& e = c.h3069;
            e.image = image_.data();
            e.imageSize = static_cast<uint32_t>(image_.size());
            e.enciphered = false;
            e.update = r.update;
            e.h8_3069 = true;
            e.nms = r.nms;
            e.h8_3069Warning = true;
            e.programSize = size_;
            e.fileSize = static_cast<int32_t>(size_);
            e.model = kModelUnchecked;
            e.crystal = r.crystal;
            e.speedMode = r.veryslow ? 2 : (r.speed115200 ? 1 : 0);
            e.oem = r.oem;
            e.boardCheck = r.boardCheck;
        } else {
            CMassFlash& e = c.h8;
            e.data = reinterpret_cast<const uint8_t*>(text_.data());
            e.fileSize = static_cast<int32_t>(text_.size());
            e.enciphered = false;
            e.update = r.update;
            e.h8_3069 = false;
            e.h8_3069Warning = true;
            e.speedMode = r.speed115200 ? 1 : 0;
        }
    }
}

std::string ResultSoundPath(bool anyFailed) {
    std::string path = platform::ProgramDir() + (anyFailed ? "/error.wav" : "/ok.wav");
    return FileExists(path) ? path : std::string();
}

}  // namespace kelmor::flash
