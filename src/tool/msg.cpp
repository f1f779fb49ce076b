// kelmor-tool msg build NAME [LETTER:TAG:VALUE...] | msg decode HEX...
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "core/hex.h"
#include "modemcfg/protocol.h"
#include "platform/ansi.h"
#include "tool/command.h"

namespace {

using namespace kelmor;
using modemcfg::Field;

struct BuildOptions {
    std::string name;
    std::vector<std::string> fields;
};

// "B:0:5", "S:5:hello", "N:0:01 02 0A", "K:0". The value may hold further colons.
bool ParseFieldArg(const std::string& arg, Field& f, std::string& error) {
    size_t first = arg.find(':');
    if (first != 1) {
        error = "field \"" + arg + "\" is not LETTER:TAG:VALUE";
        return false;
    }
    size_t second = arg.find(':', first + 1);
    std::string tag =
        arg.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
    if (tag.size() != 1) {
        error = "field \"" + arg + "\": the tag is one character ('0'..'9')";
        return false;
    }
    f.type = arg[0];
    f.tag = tag[0];
    f.value = second == std::string::npos ? std::string() : arg.substr(second + 1);
    if (f.type == 'N') {
        auto bytes = core::ParseHexBytes(f.value);
        if (!bytes) {
            error = "field \"" + arg + "\": an N value is hexadecimal bytes";
            return false;
        }
        f.value.assign(bytes->begin(), bytes->end());
    } else if (f.type != 'K' && modemcfg::FixedFieldSize(f.type) == 0 && f.type != 'S') {
        error = "field \"" + arg + "\": unknown type letter (A B H J K M N R S W)";
        return false;
    }
    return true;
}

void RunBuild(const BuildOptions& o) {
    const modemcfg::CommandInfo* cmd = modemcfg::FindCommand(o.name);
    uint8_t code = 0;
    if (cmd) {
        code = static_cast<uint8_t>(cmd->code);
    } else if (!o.name.empty() && o.name.size() <= 3 &&
               o.name.find_first_not_of("0123456789") == std::string::npos &&
               std::stoi(o.name) <= 255) {
        code = static_cast<uint8_t>(std::stoi(o.name));
    } else {
        std::string names;
        for (auto& c : modemcfg::Commands())
            names += std::string(names.empty() ? "" : ", ") + c.name;
        std::fprintf(stderr, "msg build: unknown command \"%s\" (%s, or a code 0..255)\n",
                     o.name.c_str(), names.c_str());
        tool::SetExitCode(2);
        return;
    }
    std::vector<Field> fields;
    for (auto& arg : o.fields) {
        Field f;
        std::string error;
        if (!ParseFieldArg(arg, f, error)) {
            std::fprintf(stderr, "msg build: %s\n", error.c_str());
            tool::SetExitCode(2);
            return;
        }
        fields.push_back(f);
    }
    std::string error;
    modemcfg::Bytes bytes = modemcfg::BuildMessage(code, fields, &error);
    if (bytes.empty()) {
        std::fprintf(stderr, "msg build: %s\n", error.c_str());
        tool::SetExitCode(2);
        return;
    }
    std::printf("%s\n", core::FormatHexBytes(bytes).c_str());
}

void RunDecode(const std::vector<std::string>& hex) {
    std::string joined;
    for (auto& h : hex) joined += h + " ";
    auto parsed = core::ParseHexBytes(joined);
    if (!parsed) {
        std::fprintf(stderr, "msg decode: not a list of hexadecimal bytes\n");
        tool::SetExitCode(2);
        return;
    }
    const modemcfg::Bytes& m = *parsed;
    nlohmann::ordered_json j;
    bool complete = !m.empty() && m[0] == modemcfg::kStartByte && modemcfg::MsgComplete(m);
    auto crc = modemcfg::CheckCrc(m);
    j["complete"] = complete;
    j["crc_ok"] = crc.ok;
    j["crc_computed"] = crc.computed;
    j["crc_received"] = crc.received;
    if (m.size() >= 2) {
        j["code"] = modemcfg::ReplyCode(m[1]);
        const modemcfg::ReplyInfo* reply = modemcfg::FindReply(m[1]);
        j["name"] = reply ? nlohmann::ordered_json(reply->name) : nlohmann::ordered_json();
    } else {
        j["code"] = nullptr;
        j["name"] = nullptr;
    }
    std::vector<Field> fields;
    std::string error;
    bool decoded = m.size() > 3 && modemcfg::DecodeFields(m, fields, &error);
    if (m.size() <= 3) error = "message shorter than 4 bytes";
    j["fields"] = nlohmann::ordered_json::array();
    for (auto& f : fields) {
        nlohmann::ordered_json jf;
        jf["type"] = std::string(1, f.type);
        jf["tag"] = platform::AnsiToUtf8(std::string(1, f.tag));
        if (f.type == 'N')
            jf["value"] = core::FormatHexBytes(f.value);
        else if (f.type == 'K')
            jf["value"] = nullptr;
        else
            jf["value"] = platform::AnsiToUtf8(f.value);
        j["fields"].push_back(jf);
    }
    if (!decoded) j["error"] = error;
    std::printf("%s\n", j.dump(2).c_str());
    if (!complete || !crc.ok || !decoded) tool::SetExitCode(1);
}

const bool registered = tool::Register([](CLI::App& app) {
    auto* msg = app.add_subcommand("msg", "Modem protocol messages");
    msg->require_subcommand(1);

    auto build = std::make_shared<BuildOptions>();
    auto* b = msg->add_subcommand("build", "Build a message; prints its bytes in hexadecimal");
    b->add_option("name", build->name, "command name (ProgOn, ParamsRequest, ...) or code")
        ->required();
    b->add_option("fields", build->fields,
                  "fields LETTER:TAG:VALUE, e.g. B:0:5 S:5:hello H:9:5A3C N:0:01 02");
    b->callback([build] { RunBuild(*build); });

    auto hex = std::make_shared<std::vector<std::string>>();
    auto* d = msg->add_subcommand("decode", "Check and decode a received message (JSON)");
    d->add_option("hex", *hex, "the message bytes in hexadecimal")->required();
    d->callback([hex] { RunDecode(*hex); });
});

}  // namespace
