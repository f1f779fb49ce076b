#pragma once
// One entry of a modem's parameter list. Entries carry no number: sender, receiver, the
// properties form and the files identify a parameter by its position, which is the order of
// the parameter keys in the modem type's definition file.
#include <string>
#include <vector>

namespace kelmor::modemcfg {

struct ModemParam {
    char type = 'B';     // field type letter: B, H, M, R, S or W
    char level = '0';    // security-level character '0'..'9'; '9' marks a factory parameter
    bool shown = false;  // shown in the form when last accepted, or came in a factory reply
    std::string value;   // the value as the user sees it (decimal, hexadecimal or text)

    bool operator==(const ModemParam&) const = default;
};

using ParameterList = std::vector<ModemParam>;

}  // namespace kelmor::modemcfg
