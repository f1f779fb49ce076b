#include "sim/programming.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "core/hex.h"
#include "platform/inifile.h"

namespace kelmor::sim {

using modemcfg::Field;

namespace {

constexpr size_t kMaxFrame = 1024;  // a PC message is a few hundred bytes at most
constexpr size_t kMaxText = 20;     // the longest text parameter

enum class Scan { More, Done, Bad };

// The frame layout walk of the PC's messages, telling apart "not yet" from "never".
Scan ScanFrame(const Bytes& b) {
    if (b.size() < 4) return Scan::More;
    size_t p = 3;
    while (p < b.size()) {
        switch (b[p]) {
            case 'A':
            case 'H':
                p += 7;
                break;
            case 'B':
            case 'M':
            case 'R':
                p += 4;
                break;
            case 'J':
            case 'W':
                p += 5;
                break;
            case 'K':
                p += 2;
                break;
            case 'N':
                if (p + 2 >= b.size()) return Scan::More;
                p += static_cast<size_t>(b[p + 2]) + 4;
                break;
            case 'S': {
                size_t q = p;
                while (q < b.size() && b[q] != 0) ++q;
                if (q >= b.size()) return Scan::More;
                p = q + 1;
                break;
            }
            case 'L':
                if (b.size() == p + 3) return Scan::Done;
                return b.size() < p + 3 ? Scan::More : Scan::Bad;
            default:
                return Scan::Bad;
        }
    }
    return Scan::More;
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

uint32_t HexValue(const std::string& text) {
    return static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 16));
}

bool ValidValue(const modemcfg::ParameterGroup& g, const std::string& value) {
    switch (g.type) {
        case 'R':
            return static_cast<size_t>(platform::TextToInt(value)) < g.choices.size();
        case 'M':
            return value == "0" || value == "1";
        case 'S':
            return value.size() <= kMaxText;
        default:
            return true;  // B, W and H cannot leave their range on the wire
    }
}

}  // namespace

std::string DefaultValue(char type) {
    switch (type) {
        case 'S':
            return "";
        case 'H':
            return "0000";
        default:
            return "0";
    }
}

std::optional<ProgFault> ParseProgFault(const std::string& text, std::string* error) {
    auto fail = [&](const std::string& why) -> std::optional<ProgFault> {
        if (error) *error = "bad programming fault \"" + text + "\": " + why;
        return std::nullopt;
    };
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        size_t colon = text.find(':', start);
        parts.push_back(text.substr(start, colon - start));
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    if (parts.size() < 2 || parts.size() > 4) return fail("expected COMMAND:KIND[:AFTER[:COUNT]]");
    ProgFault f;
    std::string command = Lower(parts[0]);
    if (command == "any") {
        f.command = -1;
    } else if (!command.empty() && std::isdigit(static_cast<unsigned char>(command[0]))) {
        f.command = platform::TextToInt(command);
    } else {
        bool found = false;
        for (const auto& c : modemcfg::Commands()) {
            if (Lower(c.name) == command) {
                f.command = static_cast<int>(c.code);
                found = true;
            }
        }
        if (!found) return fail("unknown command " + parts[0]);
    }
    std::string kind = Lower(parts[1]);
    if (kind == "silence") {
        f.kind = ProgFaultKind::Silence;
    } else if (kind == "crc") {
        f.kind = ProgFaultKind::CrcErrorReply;
    } else if (kind == "unknown") {
        f.kind = ProgFaultKind::UnknownReply;
    } else if (kind == "corrupt") {
        f.kind = ProgFaultKind::CorruptFrame;
    } else if (kind == "stall") {
        f.kind = ProgFaultKind::Stall;
    } else if (kind == "savefail") {
        f.kind = ProgFaultKind::SaveFails;
    } else {
        return fail("unknown kind " + parts[1]);
    }
    if (parts.size() > 2) f.after = platform::TextToInt(parts[2]);
    if (parts.size() > 3) f.count = platform::TextToInt(parts[3]);
    return f;
}

std::string ProgFaultHelp() {
    return "COMMAND (ProgOn, ParamsSend, ..., a code, or any) : KIND (silence, crc, unknown, "
           "corrupt, stall, savefail) [: AFTER [: COUNT]]";
}

ProgrammingModem::ProgrammingModem(modemcfg::Definition definition, ProgrammingConfig config)
    : definition_(std::move(definition)),
      config_(std::move(config)),
      faultSeen_(config_.faults.size(), 0) {
    if (config_.typeText.empty()) config_.typeText = definition_.name + "/SIM";
    for (const auto& g : definition_.groups) state_.values.push_back(DefaultValue(g.type));
    state_.eeprom = state_.values;
}

size_t ProgrammingModem::FirstFactory() const {
    const auto& g = definition_.groups;
    auto it = std::find_if(g.begin(), g.end(), [](const auto& p) { return p.level == '9'; });
    return static_cast<size_t>(it - g.begin());
}

Bytes ProgrammingModem::Receive(const Bytes& bytes) {
    Bytes out;
    for (uint8_t b : bytes) {
        Bytes r = Receive(b);
        out.insert(out.end(), r.begin(), r.end());
    }
    return out;
}

Bytes ProgrammingModem::Receive(uint8_t byte) {
    if (buffer_.empty() && byte != modemcfg::kStartByte) return {};
    buffer_.push_back(byte);
    switch (ScanFrame(buffer_)) {
        case Scan::More:
            if (buffer_.size() > kMaxFrame) buffer_.clear();
            return {};
        case Scan::Bad:
            buffer_.clear();
            return {};
        case Scan::Done:
            break;
    }
    Bytes frame;
    frame.swap(buffer_);
    return Handle(frame);
}

const ProgFault* ProgrammingModem::TakeFault(uint8_t code) {
    const ProgFault* hit = nullptr;
    for (size_t i = 0; i < config_.faults.size(); ++i) {
        const ProgFault& f = config_.faults[i];
        if (f.command >= 0 && f.command != code) continue;
        int seen = ++faultSeen_[i];
        bool active = seen > f.after && (f.count < 0 || seen <= f.after + f.count);
        if (active && !hit) hit = &f;
    }
    return hit;
}

Bytes ProgrammingModem::Handle(const Bytes& frame) {
    if (stalled_) return {};
    const uint8_t code = frame[1];
    // In its normal state the modem listens for the programming-mode command only.
    if (!programming_ && code != static_cast<uint8_t>(modemcfg::Command::ProgOn)) return {};
    if (!modemcfg::CheckCrc(frame).ok) {
        log_.push_back("bad CRC");
        return programming_ ? Reply(static_cast<uint8_t>(modemcfg::Reply::CrcErrorReply)) : Bytes{};
    }
    const auto* info = modemcfg::FindCommand(static_cast<modemcfg::Command>(code));
    log_.push_back(info ? info->name : "code " + std::to_string(code));
    Bytes reply = Answer(code, frame);
    if (onCommand) onCommand();
    return reply;
}

Bytes ProgrammingModem::Answer(uint8_t code, const Bytes& frame) {
    const ProgFault* fault = TakeFault(code);
    if (!fault) return Execute(code, frame, false);
    switch (fault->kind) {
        case ProgFaultKind::Silence:
            return {};
        case ProgFaultKind::CrcErrorReply:
            return Reply(static_cast<uint8_t>(modemcfg::Reply::CrcErrorReply));
        case ProgFaultKind::UnknownReply:
            return Reply(static_cast<uint8_t>(modemcfg::Reply::UnknownReply));
        case ProgFaultKind::CorruptFrame: {
            Bytes r = Execute(code, frame, false);
            if (!r.empty()) r.back() ^= 0xFF;
            return r;
        }
        case ProgFaultKind::Stall: {
            Bytes r = Execute(code, frame, false);
            stalled_ = true;
            return r;
        }
        case ProgFaultKind::SaveFails:
            return Execute(code, frame, true);
    }
    return {};
}

Bytes ProgrammingModem::Reply(uint8_t code, std::vector<Field> fields) const {
    // Bit 7 of the code is the modem's own (a reply marker); the PC ignores it.
    modemcfg::MessageBuilder b(static_cast<uint8_t>(code | 0x80));
    for (const Field& f : fields) b.Add(f);
    return b.Finish();
}

Bytes ProgrammingModem::ByteReply(uint8_t code, uint8_t value) const {
    return Reply(code, {Field{'B', '0', std::to_string(value)}});
}

Bytes ProgrammingModem::ParameterReply(uint8_t code, size_t first, size_t end) const {
    std::vector<Field> fields;
    for (size_t i = first; i < end && i < definition_.groups.size(); ++i) {
        const auto& g = definition_.groups[i];
        fields.push_back(Field{g.type, g.level, state_.values[i]});
    }
    return Reply(code, std::move(fields));
}

Bytes ProgrammingModem::AcceptParameters(uint8_t code, const Bytes& frame, size_t first,
                                         size_t end) {
    std::vector<Field> fields;
    bool readable = modemcfg::DecodeFields(frame, fields);
    // Position by position against the definition; any bad field rejects the whole message,
    // and the reply carries the modem's own values up to the last bad one.
    size_t lastBad = 0;
    bool bad = !readable;
    for (size_t k = 0; k < fields.size(); ++k) {
        size_t i = first + k;
        bool ok = i < end;
        if (ok) {
            const auto& g = definition_.groups[i];
            ok = fields[k].type == g.type && fields[k].tag == g.level &&
                 ValidValue(g, fields[k].value);
        }
        if (!ok) {
            bad = true;
            lastBad = k + 1;
        }
    }
    if (bad) {
        if (lastBad == 0) lastBad = std::max<size_t>(fields.size(), 1);
        return ParameterReply(code, first, std::min(end, first + lastBad));
    }
    for (size_t k = 0; k < fields.size(); ++k) state_.values[first + k] = fields[k].value;
    return Reply(code);
}

Bytes ProgrammingModem::Execute(uint8_t code, const Bytes& frame, bool failSave) {
    using modemcfg::Command;
    const size_t firstFactory = FirstFactory();
    size_t factoryEnd = firstFactory;
    while (factoryEnd < definition_.groups.size() && definition_.groups[factoryEnd].level == '9')
        ++factoryEnd;
    std::vector<Field> fields;
    modemcfg::DecodeFields(frame, fields);

    switch (static_cast<Command>(code)) {
        case Command::ProgOn: {
            programming_ = true;
            int version = config_.version.value_or(definition_.version);
            return Reply(code, {Field{'S', '0', config_.typeText},
                                Field{'B', '0', std::to_string(version & 0xFF)}});
        }
        case Command::ProgOff:
            programming_ = false;
            state_.values = state_.eeprom;  // what was not saved is gone
            stagedAny_ = false;
            stagedSource_.clear();
            stagedVirtual_.clear();
            return Reply(code);
        case Command::ParamsRequest:
            return ParameterReply(code, 0, firstFactory);
        case Command::FactoryParamsRequest:
            return ParameterReply(code, firstFactory, factoryEnd);
        case Command::ParamsSend:
            return AcceptParameters(code, frame, 0, firstFactory);
        case Command::FactoryParamsSend:
            return AcceptParameters(code, frame, firstFactory, factoryEnd);
        case Command::ParamsSave:
            if (failSave) return ByteReply(code, 0);
            state_.eeprom = state_.values;
            return ByteReply(code, 1);
        case Command::ProtocolSend:
            for (size_t k = 0; k < fields.size(); ++k) {
                const Field& f = fields[k];
                int v = platform::TextToInt(f.value);
                if (k == 0 && f.type == 'B') state_.protocol = v;
                if (k == 1 && f.type == 'B') state_.routingType = v;
                if (k == 2 && f.type == 'W') state_.systemAddress = v;
                if (k == 3 && f.type == 'S') state_.networkId = f.value;
            }
            return ByteReply(code, config_.wantsOffsetLength ? 1 : 0);
        case Command::OffsetLengthSend:
            if (fields.size() >= 2) {
                state_.offset = platform::TextToInt(fields[0].value);
                state_.length = platform::TextToInt(fields[1].value);
            }
            return ByteReply(code, 1);
        case Command::RoutesSendFirst:
        case Command::RoutesSend: {
            const uint8_t reply = static_cast<uint8_t>(Command::RoutesSend);
            if (!config_.routingAvailable) return ByteReply(reply, 2);
            if (fields.size() != 1 || fields[0].type != 'N') return ByteReply(reply, 0);
            const std::string& data = fields[0].value;
            if (data.size() < 4 || data.size() % 2 != 0) return ByteReply(reply, 0);
            if (static_cast<Command>(code) == Command::RoutesSendFirst) stagedSource_.clear();
            SourceRoute r;
            auto at = [&](size_t i) { return static_cast<uint8_t>(data[i]); };
            r.address = static_cast<uint32_t>(at(0)) << 24 | static_cast<uint32_t>(at(1)) << 16 |
                        static_cast<uint32_t>(at(2)) << 8 | at(3);
            for (size_t i = 4; i + 1 < data.size(); i += 2)
                r.path.push_back(static_cast<uint16_t>(at(i) << 8 | at(i + 1)));
            stagedSource_.push_back(std::move(r));
            stagedAny_ = true;
            stagedVirtualKind_ = false;
            return ByteReply(reply, 1);
        }
        case Command::VirtualRoutesSendFirst:
        case Command::VirtualRoutesSend: {
            const uint8_t reply = static_cast<uint8_t>(Command::VirtualRoutesSend);
            if (!config_.routingAvailable) return ByteReply(reply, 2);
            std::string entry;
            if (fields.size() == 2 && fields[0].type == 'J' && fields[1].type == 'J') {
                entry =
                    core::HexWord(static_cast<uint32_t>(platform::TextToInt(fields[0].value)), 4) +
                    " <-> " +
                    core::HexWord(static_cast<uint32_t>(platform::TextToInt(fields[1].value)), 4);
            } else if (fields.size() == 2 && fields[0].type == 'A' && fields[1].type == 'J') {
                entry =
                    core::HexWord(HexValue(fields[0].value), 8) + " <-> " +
                    core::HexWord(static_cast<uint32_t>(platform::TextToInt(fields[1].value)), 4);
            } else {
                return ByteReply(reply, 0);
            }
            if (static_cast<Command>(code) == Command::VirtualRoutesSendFirst)
                stagedVirtual_.clear();
            stagedVirtual_.push_back(entry);
            stagedAny_ = true;
            stagedVirtualKind_ = true;
            return ByteReply(reply, 1);
        }
        case Command::RoutesSave:
            if (failSave) return ByteReply(code, 0);
            // A save without route messages empties the table of the project's routing type.
            if (stagedAny_ ? stagedVirtualKind_ : state_.routingType == 1) {
                state_.virtualRoutes = stagedVirtual_;
            } else {
                state_.sourceRoutes = stagedSource_;
            }
            stagedAny_ = false;
            stagedSource_.clear();
            stagedVirtual_.clear();
            return ByteReply(code, 1);
        case Command::SourceRoutesRemove:
            state_.sourceRoutes.clear();
            return Reply(code);
    }
    return Reply(static_cast<uint8_t>(modemcfg::Reply::UnknownReply));
}

std::string ProgrammingModem::StateJson() const {
    using nlohmann::ordered_json;
    ordered_json j;
    j["type"] = definition_.typeName;
    j["typeText"] = config_.typeText;
    ordered_json params = ordered_json::array();
    for (size_t i = 0; i < definition_.groups.size(); ++i) {
        const auto& g = definition_.groups[i];
        params.push_back({{"key", g.key},
                          {"caption", g.caption},
                          {"value", state_.values[i]},
                          {"saved", state_.eeprom[i]}});
    }
    j["parameters"] = params;
    j["protocol"] = {{"protocol", state_.protocol},
                     {"routingType", state_.routingType},
                     {"systemAddress", state_.systemAddress},
                     {"networkId", state_.networkId},
                     {"offset", state_.offset},
                     {"length", state_.length}};
    ordered_json routes = ordered_json::array();
    for (const auto& r : state_.sourceRoutes)
        routes.push_back({{"address", core::HexWord(r.address, 8)}, {"path", r.path}});
    j["sourceRoutes"] = routes;
    j["virtualRoutes"] = state_.virtualRoutes;
    // Texts from a modem are bytes, not necessarily UTF-8: replace what does not convert.
    return j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

bool ProgrammingModem::LoadStateJson(const std::string& text, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    nlohmann::json j = nlohmann::json::parse(text, nullptr, false);
    if (j.is_discarded() || !j.is_object()) return fail("the state file is not a JSON object");
    ModemState s = state_;
    try {
        if (j.contains("parameters")) {
            for (const auto& p : j.at("parameters")) {
                std::string key = p.at("key").get<std::string>();
                auto it =
                    std::find_if(definition_.groups.begin(), definition_.groups.end(),
                                 [&](const auto& g) { return platform::EqualsNoCase(g.key, key); });
                if (it == definition_.groups.end())
                    return fail("the state file names parameter " + key + ", which " +
                                definition_.typeName + " does not have");
                size_t i = static_cast<size_t>(it - definition_.groups.begin());
                s.values[i] = p.value("value", s.values[i]);
                s.eeprom[i] = p.value("saved", s.values[i]);
            }
        }
        if (j.contains("protocol")) {
            const auto& p = j.at("protocol");
            s.protocol = p.value("protocol", -1);
            s.routingType = p.value("routingType", -1);
            s.systemAddress = p.value("systemAddress", -1);
            s.networkId = p.value("networkId", std::string());
            s.offset = p.value("offset", -1);
            s.length = p.value("length", -1);
        }
        if (j.contains("sourceRoutes")) {
            s.sourceRoutes.clear();
            for (const auto& r : j.at("sourceRoutes")) {
                SourceRoute route;
                route.address = HexValue(r.at("address").get<std::string>());
                route.path = r.at("path").get<std::vector<uint16_t>>();
                s.sourceRoutes.push_back(std::move(route));
            }
        }
        if (j.contains("virtualRoutes"))
            s.virtualRoutes = j.at("virtualRoutes").get<std::vector<std::string>>();
    } catch (const nlohmann::json::exception& e) {
        return fail(std::string("the state file is malformed: ") + e.what());
    }
    // Only the saved copy survives a restart of the modem.
    s.values = s.eeprom;
    state_ = std::move(s);
    return true;
}

}  // namespace kelmor::sim
