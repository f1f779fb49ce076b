#pragma once
// Modem parameter definition files (<type name>.smf, INI layout) in a definition folder (the
// program folder in the program, any folder in tools and tests):
//   [Version]     Name, Version number, Settings, Number (integrity), Kelmor ini, Routable
//   [Properties]  per parameter: KEY=caption, KEY_v=flags, and for a choice KEY_1.. entries
//   [help text]   KEY_h=hint
// A key is type letter, security-level character and free text (B51, R01, H92).
#include <optional>
#include <string>
#include <vector>

#include "modemcfg/modemparam.h"
#include "platform/prompter.h"

namespace kelmor::modemcfg {

inline constexpr const char* kDefinitionExtension = ".smf";
inline constexpr const char* kCheckIniFileText = "ERROR: Check ini-file";
inline constexpr const char* kMissingText = "ERROR";
inline constexpr const char* kDefaultSettings = "9600,8,N,1";
inline constexpr const char* kFactoryCrcQuestion =
    "FACTORY: Do you want to correct CRC sum to ini file";

// The lines of a text split at CR LF, LF or CR, as the settings files split them (a final line
// break ends the last line rather than starting an empty one).
std::vector<std::string> SplitTextLines(const std::string& bytes);

// "KL450" -> "KL450.smf"
std::string DefinitionFileName(const std::string& typeName);
// folder + "/" + file name
std::string DefinitionPath(const std::string& folder, const std::string& typeFileName);

// The type names offered for new nodes: every *.smf of the folder that has Version/Kelmor ini,
// in routing mode without those whose Version/Routable is exactly "false". Sorted by name (the
// listing order of the folder is not stable on this platform).
std::vector<std::string> Catalogue(const std::string& folder, bool routingMode);

// The integrity number of a definition text: type file name in lower case as line 0, the first
// "Number" line's value replaced by "0000" (or "Number=0000" inserted at index 6), every line
// followed by CR LF, MsgCrc(0xFFFF). lines are the file's lines without their line breaks.
uint16_t IntegrityNumber(const std::string& typeFileName, std::vector<std::string> lines);

struct Integrity {
    bool readable = false;  // the file could be read
    int computed = 0;       // 0..65535
    int stored = -1;        // Version/Number, -1 when missing
    bool Ok() const { return readable && computed == stored; }
};
// Computes and compares; nothing is shown or written.
Integrity ComputeIntegrity(const std::string& folder, const std::string& typeFileName);

// The check of a type as the program runs it: in factory mode a difference asks the
// correction question and on Yes writes the computed number; otherwise a difference shows
// "Ini file <file> has been corrupted L <computed> S <stored>". Work goes on either way.
Integrity CheckIntegrity(const std::string& folder, const std::string& typeFileName,
                         bool factoryMode, platform::Prompter& prompter);
std::string CorruptedMessage(const std::string& typeFileName, int computed, int stored);

// The values of Version a node copies from its type.
struct TypeInfo {
    std::string settings = kDefaultSettings;  // portSettings
    int version = 0;                          // typeVersion
    std::string name = kMissingText;          // typeTitle
};
TypeInfo ReadTypeInfo(const std::string& folder, const std::string& typeFileName);

// Remembers the type handled last: a type other than the last one is checked (CheckIntegrity)
// and read once; the same type again returns the remembered values without touching the file.
class TypeInfoCache {
  public:
    const TypeInfo& ForType(const std::string& folder, const std::string& typeFileName,
                            bool factoryMode, platform::Prompter& prompter);
    const std::string& LastType() const { return lastType_; }
    void Forget() { lastType_.clear(); }

  private:
    std::string lastType_;
    TypeInfo info_;
};

// Serial settings "baud,databits,parity,stopbits" ("19200,8,E,1").
enum class StopBitsSetting { One, OnePointFive, Two };
struct SerialSettings {
    std::optional<int> baudRate;              // 300..256000 of the accepted list
    std::optional<int> dataBits;              // 4..8
    std::optional<char> parity;               // 'E', 'M', 'N', 'O', 'S'
    std::optional<StopBitsSetting> stopBits;  //
    // The texts to show for the parts that were not accepted (the caller keeps its previous
    // value for those), in the order baud rate, data bits, parity, stop bits.
    std::vector<std::string> messages;
    bool Ok() const { return messages.empty(); }
};
SerialSettings ParseSettings(const std::string& text);
bool IsAcceptedBaudRate(int rate);

// One parameter of a definition, in [Properties] order.
struct ParameterGroup {
    std::string key;  // upper case
    char type = 'B';  // B, H, M, R, S or W
    char level = '0';
    std::string caption;               // "ERROR" when missing
    int flags = 0;                     // bit 0 routing mode, bit 1 single-modem mode
    std::string hint;                  // "ERROR" when missing
    std::vector<std::string> choices;  // R only, entry k = index k
    bool ShownInRouting() const { return flags & 1; }
    bool ShownInSingleModem() const { return flags & 2; }
};

// A definition read in one go. error is empty on success; otherwise it says what is wrong
// (no [Properties]: "ERROR: Check ini-file"; a key that is not a parameter key: its name).
struct Definition {
    std::string typeName;  // file name without extension
    std::string name = kMissingText;
    int version = 0;
    std::string settings = kDefaultSettings;
    bool routable = true;
    bool kelmorIni = false;
    int storedNumber = -1;
    std::vector<ParameterGroup> groups;
    std::string error;
    bool Ok() const { return error.empty(); }
};

// The parameter groups of a definition file; false with the reason in error (a missing or
// empty [Properties] gives "ERROR: Check ini-file").
bool ReadParameterGroups(const std::string& path, std::vector<ParameterGroup>& groups,
                         std::string& error);
// The same from the text of a file (no disk access).
bool ParseParameterGroups(const std::string& fileText, std::vector<ParameterGroup>& groups,
                          std::string& error);

Definition ReadDefinition(const std::string& folder, const std::string& typeFileName);
Definition ParseDefinition(const std::string& typeFileName, const std::string& fileText);

// Whether a parameter is shown and may be changed. securityLevel is '0', '5' or '9'. A
// factory parameter (level '9') is shown only at security level 9; otherwise factory mode
// shows every parameter and outside it the flags of the mode decide. Editable: the security
// level is at least the parameter's.
bool IsShown(const ParameterGroup& group, bool routingMode, bool factoryMode, char securityLevel);
inline bool IsEditable(char parameterLevel, char securityLevel) {
    return securityLevel >= parameterLevel;
}

// ReadParameterGroups for a type of a folder that shows its error through the prompter
// ("ERROR: Check ini-file" when [Properties] is missing or empty); false then.
bool LoadParameterGroups(const std::string& folder, const std::string& typeFileName,
                         std::vector<ParameterGroup>& groups, platform::Prompter& prompter);

// A fresh parameter list for a definition: one entry per group with its type and level, the
// value empty (the form or the modem fills it), shown from the flags of the mode.
ParameterList NewParameterList(const std::vector<ParameterGroup>& groups, bool routingMode);

}  // namespace kelmor::modemcfg
