#pragma once
// The rules of the modem properties form, without widgets: which parameter rows a column holds
// and shows for a definition, mode and security level; filling them from a node's parameter
// list (with the type-conflict question); what an accept stores; marking the fields a modem
// rejected; pairing rows for the conversion between two modem types; the hexadecimal key
// filter; and the security-level passwords. The window mirrors these records in its editors.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "modemcfg/definition.h"
#include "modemcfg/listing.h"
#include "modemcfg/modemparam.h"
#include "modemcfg/protocol.h"

namespace kelmor::modemcfg {

inline constexpr const char* kPropertiesCaption = "Modem properties";
inline constexpr const char* kConflictCaption = "Error in parameters types";
inline constexpr const char* kHexKeyText =
    "Not allowed hexadesimal value\r\nAllodew values 0..9 and A..F/a..f";
inline constexpr const char* kMoreFieldsText = "Modem has mode fields than SMF";
inline constexpr const char* kFieldMismatchText = "Field mismatch on modem response message !!!";
inline constexpr const char* kConvertAllQuestion =
    "Convert all matching values (red arrows)\r\n\r\nAre you sure you want to continue ?";
inline constexpr const char* kOldValuesCaption = "Old values";
inline constexpr const char* kFactorySettingsCaption = "Factory settings:";
inline constexpr const char* kNameHint =
    "Modem name|Inset Modem name. This name is used for documentation purpose only.";
inline constexpr const char* kNoAddressHint = "If checked terminal address is ignored";
inline constexpr const char* kModemAddressHint =
    "Modem Address|Modem Address used in source routing. Read only field.";
inline constexpr const char* kNoAddressValue = "No address";

// "Conflict between modem data structure and <type>.smf file. ..."
std::string ConflictText(const std::string& typeName);
// "There is somethig wrong on <file> SMF file\r\nThere is no visible parameters field"
std::string NoVisibleFieldText(const std::string& typeFileName);
// "Modem <type> properties, version:<n>"
std::string FormTitle(const std::string& typeName, int version);
// The type name of a definition file name ("KL160.smf" -> "KL160").
std::string TypeNameOf(const std::string& typeFileName);

// Editor kinds by type letter.
enum class EditorKind { Spin, Edit, Check, Choice };
EditorKind EditorKindOf(char type);

// The hexadecimal editors' key filter: control characters, 127, digits and A-F/a-f pass.
inline bool HexKeyAllowed(char c) {
    auto u = static_cast<unsigned char>(c);
    return u < 32 || u == 127 || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') ||
           (c >= 'A' && c <= 'F');
}

// One row of a column: the definition's parameter, whether it is shown and editable, and the
// editor's value (in EditorValue form).
struct FormRecord {
    ParameterGroup group;
    bool shown = false;
    bool enabled = false;
    std::string value;
    bool red = false;  // marked from a modem's reply
};

struct FormColumn {
    std::vector<FormRecord> records;
    std::vector<size_t> shownRecords;  // indices of the shown records, in order
    // Index of the first shown record of level '9' at security level 9 (the separator
    // "Factory settings:" stands above it); none otherwise.
    std::optional<size_t> factorySeparatorBefore;
    int lastMarked = -1;  // the record marked last (reply fields run on from it)
};

struct FormOptions {
    char securityLevel = '0';
    bool routingMode = true;
    bool factoryMode = false;
};

// The rows for a definition: every parameter group, shown by mode and level (a factory
// parameter only at level 9), enabled when the level allows, at the editors' initial values.
FormColumn BuildColumn(const std::vector<ParameterGroup>& groups, const FormOptions& options);

// Fills the editors from a node's list, entry i into record i. At the first entry whose type
// letter differs from its record's, askContinue is called once (the conflict question); false
// stops the filling there. Records past the end of the list take their initial values. Red
// marks are cleared. Returns false when the filling was stopped.
bool FillColumn(FormColumn& column, const ParameterList& parameters,
                const std::function<bool()>& askContinue);

// What an accept writes with PutParameter(type, level, setShown=true, shown, value), in order.
ParameterList AcceptedEntries(const FormColumn& column);

// Marking one field of a modem's parameter reply (index 1, 2, … of reply 2; 1001, … of reply
// 17). The record marked is returned; on failure the message to show.
struct MarkResult {
    std::optional<size_t> record;
    std::string message;  // kMoreFieldsText or kFieldMismatchText
};
MarkResult MarkField(FormColumn& column, int index, const Field& field);

// Conversion between two types: pair k joins the k-th shown row of the main column with the
// k-th shown row of the second column, up to the shorter list.
struct ConversionPair {
    size_t mainRecord = 0;
    size_t secondRecord = 0;
    bool enabled = false;  // same type letter, and the level allows the second row
};
std::vector<ConversionPair> ConversionPairs(const FormColumn& main, const FormColumn& second,
                                            char securityLevel);
// Copies the main row's value into the second row; false when it does not fit (a choice index
// past the target's entries, a kind mismatch), and then nothing changes.
bool CopyValue(const FormRecord& from, FormRecord& to);
// "Caption: value" as the conversion question describes a row.
std::string Describe(const FormRecord& record);
// "Converting value\r\n<second>\r\nto\r\n<main>\r\n\r\nAre you sure you want to convert this
// value ?"
std::string ConvertQuestion(const FormRecord& main, const FormRecord& second);
// Conv all: copies every enabled pair; returns the number copied.
int ConvertAll(const FormColumn& main, FormColumn& second, char securityLevel);

// The listing rows of a column (the form's editors) after the fixed rows.
std::vector<ListingEntry> ColumnRows(const FormColumn& column, char securityLevel);

// --- security level ---
inline constexpr const char* kLevel5Password = "pmtvkrez";
inline constexpr const char* kLevel9Password = "drolnexi";
inline constexpr const char* kWrongPasswordText = "Wrong password !!";
// The level an OK of the security dialog gives: 0 for radio 0, 5 or 9 when the password is
// right, 0 and wrong=true when it is not.
int AcceptedSecurityLevel(int chosen, const std::string& password, bool& wrong);

}  // namespace kelmor::modemcfg
