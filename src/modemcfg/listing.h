#pragma once
// The listing of one modem's values: the caption/value lines that the properties form shows
// for a node, in the order the property table and the printouts use them. Row 0 is the name,
// row 1 the terminal address, row 2 the modem address, then one row per parameter of the
// definition (shown or hidden), with a "FACTORY SETTINGS" row before the factory parameters at
// security level 9; below level 9 the listing ends at the first factory parameter.
//
// The value conversions here are the editors' own (a byte is clamped to 0..255, a text cut to
// its editor's length, a choice index past the last entry selects nothing), so the listing of
// a node equals what the form would show for it.
#include <cstdint>
#include <string>
#include <vector>

#include "modemcfg/definition.h"
#include "modemcfg/modemparam.h"

namespace kelmor::modemcfg {

// Captions of the fixed rows.
inline constexpr const char* kNameCaption = "Modem name:";
inline constexpr const char* kAddressCaption = "Terminal address:";
inline constexpr const char* kMultiAddressCaption = "Terminal addresses:";
inline constexpr const char* kModemAddressCaption = "Modem address:";
inline constexpr const char* kFileCaption = "File:";
inline constexpr const char* kNotApplicable = "--";
inline constexpr const char* kFactoryRowCaption = "FACTORY SETTINGS";
inline constexpr const char* kFactoryRowValue = "******";
inline constexpr const char* kCheckedText = "<ON>";
inline constexpr const char* kUncheckedText = "<OFF>";
// A node whose definition file cannot be read still lists what it stores: a note row, then one
// row per stored entry captioned by position and type instead of the definition's caption.
inline constexpr const char* kNoDefinitionCaption = "NO DEFINITION FILE";

// Editor limits.
inline constexpr int kHexEditorLength = 8;
inline constexpr int kTextEditorLength = 20;

// --- editor values ---
// A value in the form an editor holds it and an accept stores it: B/W a decimal number in
// range, H/S the text cut to the editor's length, M "1"/"0", R the entry index ("-1": none).
// choiceCount is the number of entries of an R parameter.
std::string EditorValue(char type, const std::string& stored, size_t choiceCount);
// The value an editor starts with: "0", "0", "", "0", and entry 0 of a choice.
std::string InitialEditorValue(char type);
// The text a listing shows for an editor value: the number, the text, <ON>/<OFF>, or the
// selected entry's caption (empty when none is selected).
std::string DisplayValue(const ParameterGroup& group, const std::string& editorValue);
// The caption label of a parameter: the caption followed by ":", a check box its caption.
std::string CaptionLabel(const ParameterGroup& group);

// --- the listing ---
struct ListingEntry {
    std::string caption;
    std::string value;
    char type = 0;       // the parameter's type letter; 0 for the fixed rows and notes
    int parameter = -1;  // index into the parameter list, -1 for the fixed rows and notes
    bool operator==(const ListingEntry&) const = default;
};

// What the fixed rows are taken from.
struct NodeValues {
    std::string name;
    std::vector<std::string> addresses;  // entry 0 only, except for a multi-port node
    bool isMulti = false;
    uint16_t systemAddress = 0;
    ParameterList parameters;
};
// Any node type with those fields (the designer's TKuvio).
template <class Node>
NodeValues NodeValuesOf(const Node& node) {
    return NodeValues{node.name, node.addresses, node.isMulti, node.systemAddress, node.parameters};
}

struct ListingOptions {
    char securityLevel = '0';  // '0', '5' or '9'
    bool singleView = false;   // single-modem mode: row 0 is the file, rows 1 and 2 "--"
    std::string fileName;      // single-modem mode: the file name shown in row 0
};

// The three fixed rows.
std::vector<ListingEntry> FixedRows(const NodeValues& node, const ListingOptions& options);

// The parameter rows for editor values (values[i] for groups[i]; missing values count as the
// editor's initial value).
std::vector<ListingEntry> ParameterRows(const std::vector<ParameterGroup>& groups,
                                        const std::vector<std::string>& values, char securityLevel);

// The editor values the form fills from a node's list: entry i into editor i, converted as the
// editor converts it; editors past the end of the list keep their initial value.
std::vector<std::string> EditorValuesOf(const std::vector<ParameterGroup>& groups,
                                        const ParameterList& parameters);

// The whole listing of a node. definition null: its file is missing or unreadable; the rows
// then come from the stored entries with kNoDefinitionCaption as a note.
std::vector<ListingEntry> ListNode(const NodeValues& node, const Definition* definition,
                                   const ListingOptions& options);

// Reads the node's definition from folder (node's typeFileName, e.g. "KL160.smf") and lists
// it; a missing or unreadable definition lists as above. No message is shown.
std::vector<ListingEntry> ListNode(const NodeValues& node, const std::string& folder,
                                   const std::string& typeFileName, const ListingOptions& options);

// The single-modem file name as row 0 shows it: the designer's caption after its first ":",
// trimmed ("Single modem: C:/x/a.ssf" -> "C:/x/a.ssf"); the whole caption when it has none.
std::string FileNameFromCaption(const std::string& caption);

}  // namespace kelmor::modemcfg
