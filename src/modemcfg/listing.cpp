#include "modemcfg/listing.h"

#include <algorithm>

#include "core/hex.h"
#include "platform/inifile.h"

namespace kelmor::modemcfg {

namespace {

std::string Trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// Stored display of an entry without a definition: numbers and texts as they stand.
std::string StoredDisplay(const ModemParam& p) {
    if (p.type == 'M') return p.value == "1" ? kCheckedText : kUncheckedText;
    return p.value;
}

void AddFactoryAwareRows(std::vector<ListingEntry>& out, char securityLevel, size_t count,
                         const auto& levelAt, const auto& rowAt) {
    bool factorySeen = false;
    for (size_t i = 0; i < count; ++i) {
        if (levelAt(i) == '9' && !factorySeen) {
            if (securityLevel != '9') return;
            factorySeen = true;
            out.push_back(ListingEntry{kFactoryRowCaption, kFactoryRowValue, 0, -1});
        }
        out.push_back(rowAt(i));
    }
}

}  // namespace

std::string EditorValue(char type, const std::string& stored, size_t choiceCount) {
    switch (type) {
        case 'B':
            return std::to_string(std::clamp(platform::TextToInt(stored), 0, 255));
        case 'W':
            return std::to_string(std::clamp(platform::TextToInt(stored), 0, 65535));
        case 'H':
            return stored.substr(0, kHexEditorLength);
        case 'S':
            return stored.substr(0, kTextEditorLength);
        case 'M':
            return stored == "1" ? "1" : "0";
        case 'R': {
            int index = std::max(platform::TextToInt(stored), 0);
            if (static_cast<size_t>(index) >= choiceCount) index = -1;
            return std::to_string(index);
        }
        default:
            return stored;
    }
}

std::string InitialEditorValue(char type) {
    switch (type) {
        case 'S':
            return {};
        default:
            return "0";
    }
}

std::string DisplayValue(const ParameterGroup& group, const std::string& editorValue) {
    switch (group.type) {
        case 'M':
            return editorValue == "1" ? kCheckedText : kUncheckedText;
        case 'R': {
            int index = platform::TextToInt(editorValue);
            if (index < 0 || static_cast<size_t>(index) >= group.choices.size()) return {};
            return group.choices[static_cast<size_t>(index)];
        }
        default:
            return editorValue;
    }
}

std::string CaptionLabel(const ParameterGroup& group) {
    return group.type == 'M' ? group.caption : group.caption + ":";
}

std::vector<ListingEntry> FixedRows(const NodeValues& node, const ListingOptions& options) {
    if (options.singleView) {
        return {ListingEntry{kFileCaption, options.fileName, 0, -1},
                ListingEntry{kNotApplicable, kNotApplicable, 0, -1},
                ListingEntry{kNotApplicable, kNotApplicable, 0, -1}};
    }
    std::vector<ListingEntry> rows;
    rows.push_back(ListingEntry{kNameCaption, node.name, 0, -1});
    if (node.isMulti) {
        std::string joined;
        for (size_t i = 0; i < node.addresses.size(); ++i) {
            if (i) joined += ",";
            joined += node.addresses[i];
        }
        rows.push_back(ListingEntry{kMultiAddressCaption, joined, 0, -1});
    } else {
        rows.push_back(ListingEntry{
            kAddressCaption, node.addresses.empty() ? std::string() : node.addresses[0], 0, -1});
    }
    rows.push_back(ListingEntry{kModemAddressCaption, core::HexWord(node.systemAddress, 4), 0, -1});
    return rows;
}

std::vector<ListingEntry> ParameterRows(const std::vector<ParameterGroup>& groups,
                                        const std::vector<std::string>& values,
                                        char securityLevel) {
    std::vector<ListingEntry> rows;
    rows.reserve(groups.size() + 1);
    AddFactoryAwareRows(
        rows, securityLevel, groups.size(), [&](size_t i) { return groups[i].level; },
        [&](size_t i) {
            const ParameterGroup& g = groups[i];
            std::string value = i < values.size() ? values[i] : InitialEditorValue(g.type);
            return ListingEntry{CaptionLabel(g), DisplayValue(g, value), g.type,
                                static_cast<int>(i)};
        });
    return rows;
}

std::vector<std::string> EditorValuesOf(const std::vector<ParameterGroup>& groups,
                                        const ParameterList& parameters) {
    std::vector<std::string> values;
    values.reserve(groups.size());
    for (size_t i = 0; i < groups.size(); ++i) {
        const ParameterGroup& g = groups[i];
        values.push_back(i < parameters.size()
                             ? EditorValue(g.type, parameters[i].value, g.choices.size())
                             : InitialEditorValue(g.type));
    }
    return values;
}

std::vector<ListingEntry> ListNode(const NodeValues& node, const Definition* definition,
                                   const ListingOptions& options) {
    std::vector<ListingEntry> rows = FixedRows(node, options);
    if (definition) {
        std::vector<ListingEntry> params =
            ParameterRows(definition->groups, EditorValuesOf(definition->groups, node.parameters),
                          options.securityLevel);
        rows.insert(rows.end(), params.begin(), params.end());
        return rows;
    }
    rows.push_back(ListingEntry{kNoDefinitionCaption, "", 0, -1});
    const ParameterList& stored = node.parameters;
    AddFactoryAwareRows(
        rows, options.securityLevel, stored.size(), [&](size_t i) { return stored[i].level; },
        [&](size_t i) {
            std::string caption = "Parameter " + std::to_string(i + 1) + " (" + stored[i].type +
                                  std::string(1, stored[i].level) + "):";
            return ListingEntry{caption, StoredDisplay(stored[i]), stored[i].type,
                                static_cast<int>(i)};
        });
    return rows;
}

std::vector<ListingEntry> ListNode(const NodeValues& node, const std::string& folder,
                                   const std::string& typeFileName, const ListingOptions& options) {
    Definition definition = ReadDefinition(folder, typeFileName);
    if (definition.Ok()) return ListNode(node, &definition, options);
    // Missing, unreadable or without parameters: the stored values, and the reason in the note.
    std::vector<ListingEntry> rows = ListNode(node, nullptr, options);
    bool missing = definition.error.rfind("cannot read", 0) == 0;
    rows[3].value = missing ? typeFileName : definition.error;
    return rows;
}

std::string FileNameFromCaption(const std::string& caption) {
    size_t colon = caption.find(':');
    return Trimmed(colon == std::string::npos ? caption : caption.substr(colon + 1));
}

}  // namespace kelmor::modemcfg
