#pragma once
// What the single and multi flash windows decide before a run starts: their settings, the check
// boxes a file's extension sets, the checks of the file and key, the port test and the engines'
// parameters. Plain logic: the windows only read their widgets into these values and show the
// outcome.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "flash/channels.h"
#include "flash/firmwarekey.h"
#include "flash/oempackets.h"
#include "flash/srecord.h"
#include "platform/inifile.h"
#include "platform/prompter.h"

namespace kelmor::flash {

inline constexpr const char* kRemoteFileMissing = "File does not exists !! ";  // + name
inline constexpr const char* kOnePortMustBeEnabled = "One of the ports must be enabled !!!";
inline constexpr const char* kPortsMustDiffer =
    "All active channels must point to different com ports !!!";
inline constexpr const char* kInterruptQuestion =
    "Do you really want to interrupt FLASH-memory programming ??";

inline constexpr uint32_t kCrystal24 = 24576000;
inline constexpr uint32_t kCrystal33 = 33000000;

// "File " + name + " does not exists !!!"
std::string FileMissingText(const std::string& path);

// The file dialog's start folder from a stored "Directory" value: a value whose first backslash
// is its last character loses it; "ERROR" (nothing stored) gives the program folder.
std::string StartFolderFor(std::string directory);
// Folder and name part of a path.
std::string FolderOf(const std::string& path);
std::string NameOf(const std::string& path);
// The extension with its dot, as typed ("" when none).
std::string ExtensionOf(const std::string& path);

// ---- Single flash window ----

inline constexpr const char* kSingleFlashSection = "Single Flash";

struct SingleFlashSettings {
    int portIndex = 0;                // list index, 0 = COM1
    std::string directory = "ERROR";  // as stored
};
SingleFlashSettings ReadSingleFlashSettings(const platform::IniFile& ini);
bool WriteSingleFlashSettings(platform::IniFile& ini, int portIndex, const std::string& folder);

// The check boxes a chosen file sets, by its extension in lower case.
struct FileBoxes {
    bool nms = false, nmsShown = false;  // HQ7Xnms
    bool h3069 = false;                  // h8_3069
    bool oem = false, oemShown = false;  // OEM_flash1
};
FileBoxes BoxesForFile(const std::string& path);

struct SingleFlashRequest {
    std::string path;
    int portIndex = 0;
    bool update = true, h3069 = false, veryslow = false, oem = false, nms = false;
    std::array<std::string, 4> keyFields{"00000000", "00000000", "00000000", "00000000"};
};

// The data of one single-window run and the preparation of its engine.
class SingleFlashJob {
  public:
    enum class Outcome {
        Start,            // the engine is ready; start its thread
        Refused,          // a message was shown, the buttons stay as they were
        RefusedDisabled,  // a check after reading failed: "&Open file" and "Fl&ash" stay off
    };
    // Writes the settings, checks the key and the file and fills the engine of the chosen kind.
    // Every message goes through prompter. settingsPath: the program's settings file.
    Outcome Prepare(const SingleFlashRequest& request, const std::string& settingsPath,
                    CMassFlash& h8, CMassFlash_3069& h3069, platform::Prompter& prompter);
    int LoaderMaximum() const { return loaderMaximum_; }
    int ProgramMaximum() const { return programMaximum_; }

  private:
    std::string file_;
    FlashImage image_;
    int loaderMaximum_ = 0;
    int programMaximum_ = 0;
};

// ---- Multi flash windows ----

const char* MultiFlashSection(int kind);  // "Multi Flash" (1), "Multi Flash2" (2)

struct MultiFlashSettings {
    std::array<int, 4> portIndex{0, 0, 0, 0};
    std::string directory = "ERROR";
    std::string filename = "ERROR";
    int type = 0;
    std::array<bool, 4> enabled{false, false, false, false};
    bool h3069 = false;
    bool freq24 = true, freq33 = false, freqVar = false;
    int xtal = static_cast<int>(kCrystal24);
};
// More than one crystal choice reading on gives 24.576 MHz alone.
MultiFlashSettings ReadMultiFlashSettings(const platform::IniFile& ini, int kind);
bool WriteMultiFlashSettings(platform::IniFile& ini, int kind, const MultiFlashSettings& s);
// The file the settings name: folder + "/" + name, or "" when "Filename" is "ERROR".
std::string SettingsFile(const MultiFlashSettings& s);
// HQ7Xnms is checked exactly for a ".rec" file.
bool IsGccRecordFile(const std::string& path);

// Disabled channels take 255, 254, 253, 252; true when the four values differ.
bool ChannelsOnDistinctPorts(const std::array<bool, 4>& enabled,
                             const std::array<int, 4>& portIndex);

struct MultiFlashRequest {
    std::string path;
    std::array<bool, 4> enabled{};
    std::array<int, 4> portIndex{};
    bool update = false, speed115200 = true, h3069 = false, veryslow = false, oem = false,
         nms = false;
    uint32_t crystal = kCrystal24;
    bool boardCheck = false;  // DsrOption
};

// The data shared by the channels of one multi-window run.
class MultiFlashJob {
  public:
    // Reads the file and checks every record of it (the S-record messages are shown); for the
    // H8/3069 builds the image (and the OEM packets). False when the run must not start: a
    // missing or unreadable file, or records that do not parse (result 0).
    bool Load(const MultiFlashRequest& request, platform::Prompter& prompter,
              const RandomByteSource& random = {});
    // The engines of the active kind of all four channels (enabled or not) and the kind itself.
    void Configure(const MultiFlashRequest& request, CFlashChannels& channels) const;
    uint32_t Size() const { return size_; }

  private:
    std::string text_;            // H8: the file text the engines send
    std::vector<uint8_t> image_;  // H8/3069: flash image or OEM packet bodies
    uint32_t size_ = 0;
};

// The result sound after a summary: program folder + "/error.wav" or "/ok.wav", "" when that
// file does not exist.
std::string ResultSoundPath(bool anyFailed);

}  // namespace kelmor::flash
