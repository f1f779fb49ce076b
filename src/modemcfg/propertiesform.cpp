#include "modemcfg/propertiesform.h"

#include <algorithm>

#include "platform/inifile.h"

namespace kelmor::modemcfg {

std::string ConflictText(const std::string& typeName) {
    return "Conflict between modem data structure and " + typeName +
           ".smf file. \r\n\r\nContinue anyway ?";
}

std::string NoVisibleFieldText(const std::string& typeFileName) {
    return "There is somethig wrong on " + typeFileName +
           " SMF file\r\nThere is no visible parameters field";
}

std::string FormTitle(const std::string& typeName, int version) {
    return "Modem " + typeName + " properties, version:" + std::to_string(version);
}

std::string TypeNameOf(const std::string& typeFileName) {
    size_t slash = typeFileName.find_last_of("/\\");
    std::string base = slash == std::string::npos ? typeFileName : typeFileName.substr(slash + 1);
    size_t dot = base.find_last_of('.');
    return dot == std::string::npos ? base : base.substr(0, dot);
}

EditorKind EditorKindOf(char type) {
    switch (type) {
        case 'B':
        case 'W':
            return EditorKind::Spin;
        case 'M':
            return EditorKind::Check;
        case 'R':
            return EditorKind::Choice;
        default:
            return EditorKind::Edit;
    }
}

FormColumn BuildColumn(const std::vector<ParameterGroup>& groups, const FormOptions& options) {
    FormColumn column;
    column.records.reserve(groups.size());
    for (const ParameterGroup& g : groups) {
        FormRecord r;
        r.group = g;
        r.shown = IsShown(g, options.routingMode, options.factoryMode, options.securityLevel);
        r.enabled = IsEditable(g.level, options.securityLevel);
        r.value = InitialEditorValue(g.type);
        if (r.shown) {
            if (g.level == '9' && options.securityLevel == '9' && !column.factorySeparatorBefore)
                column.factorySeparatorBefore = column.records.size();
            column.shownRecords.push_back(column.records.size());
        }
        column.records.push_back(std::move(r));
    }
    return column;
}

bool FillColumn(FormColumn& column, const ParameterList& parameters,
                const std::function<bool()>& askContinue) {
    bool asked = false;
    bool stopped = false;
    column.lastMarked = -1;
    for (size_t i = 0; i < column.records.size(); ++i) {
        FormRecord& r = column.records[i];
        r.red = false;
        if (stopped) continue;
        if (i >= parameters.size()) {
            r.value = InitialEditorValue(r.group.type);
            continue;
        }
        const ModemParam& p = parameters[i];
        if (p.type != r.group.type && !asked) {
            asked = true;
            if (askContinue && !askContinue()) {
                stopped = true;
                continue;
            }
        }
        r.value = EditorValue(r.group.type, p.value, r.group.choices.size());
    }
    return !stopped;
}

ParameterList AcceptedEntries(const FormColumn& column) {
    ParameterList out;
    out.reserve(column.records.size());
    for (const FormRecord& r : column.records)
        out.push_back(ModemParam{r.group.type, r.group.level, r.shown, r.value});
    return out;
}

MarkResult MarkField(FormColumn& column, int index, const Field& field) {
    MarkResult result;
    std::optional<size_t> at;
    if (index == 1) {
        if (!column.records.empty()) at = 0;
    } else if (index == 1001) {
        for (size_t i = 0; i < column.records.size(); ++i) {
            if (column.records[i].group.level == '9') {
                at = i;
                break;
            }
        }
    } else {
        size_t next = static_cast<size_t>(column.lastMarked + 1);
        if (column.lastMarked >= 0 && next < column.records.size()) at = next;
    }
    if (!at) {
        result.message = kMoreFieldsText;
        return result;
    }
    column.lastMarked = static_cast<int>(*at);
    FormRecord& r = column.records[*at];
    if (EditorKindOf(r.group.type) != EditorKindOf(field.type)) {
        result.message = kFieldMismatchText;
        return result;
    }
    r.value = EditorValue(r.group.type, field.value, r.group.choices.size());
    r.red = true;
    result.record = at;
    return result;
}

std::vector<ConversionPair> ConversionPairs(const FormColumn& main, const FormColumn& second,
                                            char securityLevel) {
    std::vector<ConversionPair> pairs;
    size_t n = std::min(main.shownRecords.size(), second.shownRecords.size());
    for (size_t k = 0; k < n; ++k) {
        ConversionPair p;
        p.mainRecord = main.shownRecords[k];
        p.secondRecord = second.shownRecords[k];
        const ParameterGroup& a = main.records[p.mainRecord].group;
        const ParameterGroup& b = second.records[p.secondRecord].group;
        p.enabled = a.type == b.type && securityLevel >= b.level;
        pairs.push_back(p);
    }
    return pairs;
}

bool CopyValue(const FormRecord& from, FormRecord& to) {
    if (EditorKindOf(from.group.type) != EditorKindOf(to.group.type)) return false;
    if (to.group.type == 'R') {
        int index = platform::TextToInt(from.value);
        if (index < 0 || static_cast<size_t>(index) >= to.group.choices.size()) return false;
    }
    to.value = EditorValue(to.group.type, from.value, to.group.choices.size());
    return true;
}

std::string Describe(const FormRecord& record) {
    if (record.group.type == 'M')
        return record.group.caption + ": " + (record.value == "1" ? " Checked" : " Not Checked");
    return CaptionLabel(record.group) + " " + DisplayValue(record.group, record.value);
}

std::string ConvertQuestion(const FormRecord& main, const FormRecord& second) {
    return "Converting value\r\n" + Describe(second) + "\r\nto\r\n" + Describe(main) +
           "\r\n\r\nAre you sure you want to convert this value ?";
}

int ConvertAll(const FormColumn& main, FormColumn& second, char securityLevel) {
    int copied = 0;
    for (const ConversionPair& p : ConversionPairs(main, second, securityLevel)) {
        if (!p.enabled) continue;
        if (CopyValue(main.records[p.mainRecord], second.records[p.secondRecord])) ++copied;
    }
    return copied;
}

std::vector<ListingEntry> ColumnRows(const FormColumn& column, char securityLevel) {
    std::vector<ParameterGroup> groups;
    std::vector<std::string> values;
    groups.reserve(column.records.size());
    values.reserve(column.records.size());
    for (const FormRecord& r : column.records) {
        groups.push_back(r.group);
        values.push_back(r.value);
    }
    return ParameterRows(groups, values, securityLevel);
}

int AcceptedSecurityLevel(int chosen, const std::string& password, bool& wrong) {
    wrong = false;
    if (chosen == 5 || chosen == 9) {
        if (password == (chosen == 5 ? kLevel5Password : kLevel9Password)) return chosen;
        wrong = true;
    }
    return 0;
}

}  // namespace kelmor::modemcfg
