#pragma once
// Project files (.spf) and single-modem files (.ssf): byte layouts, save and load with their
// version handling, the save question, the file commands and the recent-file list.
//
// Element: code letter, length L, attribute byte, L text bytes. Node record: picture left and
// top (signed 32-bit little-endian), id word (node number in bits 0..28, master bit 31, mobile
// bit 30, multi-port bit 29), normal and mobile parent numbers, name element, address element(s),
// 'W' hi lo system address, type element, one element per parameter, 'Z' 0 0. A single-modem
// file is a sequence of parameter parts (type element, parameters, 'Z').
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "designer/network.h"

namespace kelmor::designer {

inline constexpr const char* kCorruptedText =
    "Input file has been corrupted check all properties and\r\nsave project again";
inline constexpr const char* kTypeMismatchText = "This modem doesn't match with requested file";
inline constexpr const char* kSaveQuestionText = "Save changes to file ?";
inline constexpr const char* kOldLayoutLimit = "3.1.13";

inline constexpr uint32_t kMasterBit = 0x80000000u;
inline constexpr uint32_t kMobileBit = 0x40000000u;
inline constexpr uint32_t kMultiBit = 0x20000000u;
inline constexpr uint32_t kNumberMask = 0x1FFFFFFFu;
inline constexpr uint32_t kOldNumberMask = 0x7FFF7FFFu;
inline constexpr uint32_t kOldMobileBit = 0x00008000u;

enum class ReadResult {
    Record,        // a record (or part) was read completely
    EndOfFile,     // the stream was at its end: nothing read
    TypeMismatch,  // the type differs from the node's; the rest of the record is unread
    Corrupted,     // the file ended inside the record; what was read stays on the node
};

// What a record read keeps besides the node itself: the link fields, resolved after loading.
struct RecordLinks {
    uint32_t idWord = 0;
    uint32_t parent = 0;
    uint32_t mobileParent = 0;
};

// Appends one node record, or its parameter part. Texts must have been checked (see
// CheckFileTexts); longer ones would not fit the length byte.
void WriteTo(std::string& out, const TKuvio& node, bool parametersOnly, uint32_t idWord = 0,
             uint32_t parent = 0, uint32_t mobileParent = 0);
// Reads one node record (or parameter part) into node. Shows the mismatch and corruption
// messages through the prompter. oldLayout: the id word has no multi-port bit. *headerRead
// tells whether the 20 bytes of position and links were complete.
ReadResult ReadFrom(ByteReader& in, TKuvio& node, bool parametersOnly, RecordLinks& links,
                    platform::Prompter& prompter, bool oldLayout = false,
                    bool* headerRead = nullptr);

// Nothing when every text of the node fits the file; otherwise a message naming the modem (by
// its position number and name) and the field.
std::optional<std::string> CheckFileTexts(const TKuvio& node, bool parametersOnly, size_t number);
std::optional<std::string> CheckFileTexts(const TKuvio& node, bool parametersOnly);

// The whole file of the network's mode as bytes; nothing (with the message in *error) when a
// text is too long. The nodes' id words are not kept: numbering is by list position.
std::optional<std::string> SerializeNetwork(Network& network, std::string* error);
// Saves the whole file atomically; a refused or failed save shows its message and leaves the
// old file as it was. modified is cleared on success.
bool SaveNetwork(Network& network, const std::string& path);
// Loads the file of the network's mode. False when the file cannot be read (the network is then
// untouched) or is damaged (what was read is kept; the messages have been shown).
bool LoadNetwork(Network& network, const std::string& path);
// The same from bytes already read (path only names the file in titles). Clears the network
// first; false when the file was damaged.
bool LoadNetworkBytes(Network& network, const std::string& bytes, const std::string& path);

// An old project layout: no header, or a header text below "3.1.13" byte by byte.
bool IsOldLayout(const std::optional<std::string>& versionText);

// --- file dialogs, the save question and the file commands ---

struct FileDialogRequest {
    bool save = false;
    std::string filter;      // "Project files|*.spf"
    std::string defaultExt;  // "spf"
    std::string fileName;    // pre-filled
    std::string title;
};
// Returns the chosen path, or nothing when the user cancelled.
using FileDialog = std::function<std::optional<std::string>(const FileDialogRequest&)>;

enum class AskSaveResult { Continue, Stop };

// The question before unsaved work is dropped. When the user answers Yes but then cancels the
// save dialog or the save fails, the work is kept and Stop is returned: nothing is lost
// without the user having said No.
AskSaveResult AskSave(Network& network, const FileDialog& dialog);

// Recent files: position 0 "Latest", 1..5 "File1".."File5".
class RecentFiles {
  public:
    std::array<std::string, 6> files;

    static std::string Section(bool singleModemMode) {
        return singleModemMode ? "One Modem File List" : "File List";
    }
    void Read(const std::string& iniPath, bool singleModemMode);
    // Puts name first as the update rule says; false (after showing the ini message) when the
    // settings file could not be written. The list in memory is updated either way.
    bool Update(const std::string& name, const std::string& iniPath, bool singleModemMode,
                platform::Prompter& prompter);
    struct MenuEntry {
        int position;
        std::string caption;
        std::string hint;
    };
    std::vector<MenuEntry> Menu() const;
};

// The "&File" commands as the window calls them. The window shows the project properties
// dialog when NewCommand returns true in routing mode (newProjectMode is set).
bool NewCommand(Network& network, const FileDialog& dialog);
bool OpenCommand(Network& network, const FileDialog& dialog, RecentFiles& recent,
                 const std::string& iniPath);
// Opens path (chosen by the window from a dialog or the recent-file menu).
bool OpenPath(Network& network, const FileDialog& dialog, RecentFiles& recent,
              const std::string& iniPath, const std::string& path, bool fromRecent);
bool SaveCommand(Network& network, const FileDialog& dialog, RecentFiles& recent,
                 const std::string& iniPath);
bool SaveAsCommand(Network& network, const FileDialog& dialog, RecentFiles& recent,
                   const std::string& iniPath);
// The first show of the window: the latest file is loaded when it still exists, otherwise a
// new network is begun (true: the window shows the project properties as for New).
bool FirstShowCommand(Network& network, const RecentFiles& recent);
// "&Load..." and "Sa&ve..." of the Modem menu on the active node.
bool LoadModemData(Network& network, const FileDialog& dialog);
bool SaveModemData(Network& network, const FileDialog& dialog);
// Reads one parameter part of a single-modem file into node after clearing its parameters.
bool LoadModemDataFile(Network& network, TKuvio& node, const std::string& path);

}  // namespace kelmor::designer
