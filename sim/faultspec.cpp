#include "sim/faultspec.h"

#include <cstdlib>
#include <map>
#include <sstream>
#include <vector>

#include "core/hex.h"

namespace kelmor::sim {

namespace {

const std::map<std::string, FaultPoint>& Points() {
    static const std::map<std::string, FaultPoint> points = {
        {"sync", FaultPoint::Sync},
        {"syncend", FaultPoint::SyncEnd},
        {"flashmode", FaultPoint::FlashMode},
        {"loaderlength", FaultPoint::LoaderLength},
        {"loaderecho", FaultPoint::LoaderEcho},
        {"erase", FaultPoint::EraseStatus},
        {"enq", FaultPoint::Enq},
        {"loadercrc", FaultPoint::LoaderCrc},
        {"packet", FaultPoint::Packet},
        {"command", FaultPoint::Command},
        {"frame", FaultPoint::Frame},
    };
    return points;
}

const std::map<std::string, FaultKind>& Kinds() {
    static const std::map<std::string, FaultKind> kinds = {
        {"noanswer", FaultKind::NoAnswer},
        {"late", FaultKind::Late},
        {"nak", FaultKind::Nak},
        {"can", FaultKind::Can},
        {"garbage", FaultKind::Garbage},
        {"sumerror", FaultKind::SumError},
        {"wrongcrc", FaultKind::WrongCrc},
        {"wrongecho", FaultKind::WrongEcho},
        {"erasefail", FaultKind::EraseFail},
        {"error", FaultKind::ErrorReply},
        {"unplug", FaultKind::Unplug},
    };
    return kinds;
}

bool ToInt(const std::string& s, int& value) {
    if (s.empty()) return false;
    char* end = nullptr;
    long v = std::strtol(s.c_str(), &end, 0);
    if (*end != '\0') return false;
    value = static_cast<int>(v);
    return true;
}

}  // namespace

std::optional<Fault> ParseFault(const std::string& text, std::string* error) {
    auto fail = [&](const std::string& why) -> std::optional<Fault> {
        if (error) *error = "fault \"" + text + "\": " + why;
        return std::nullopt;
    };
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, ':');) parts.push_back(part);
    if (parts.size() < 2 || parts.size() > 5)
        return fail("expected POINT[=CMD]:KIND[:AFTER[:COUNT[:ARG]]]");
    Fault f;
    std::string point = parts[0];
    if (auto eq = point.find('='); eq != std::string::npos) {
        if (!ToInt(point.substr(eq + 1), f.command) || f.command < 0 || f.command > 255)
            return fail("bad command byte");
        point.resize(eq);
    }
    auto p = Points().find(point);
    if (p == Points().end()) return fail("unknown point \"" + point + "\"");
    f.point = p->second;
    auto k = Kinds().find(parts[1]);
    if (k == Kinds().end()) return fail("unknown kind \"" + parts[1] + "\"");
    f.kind = k->second;
    if (parts.size() > 2 && !ToInt(parts[2], f.after)) return fail("bad AFTER");
    if (parts.size() > 3 && !ToInt(parts[3], f.count)) return fail("bad COUNT");
    if (parts.size() > 4) {
        if (f.kind == FaultKind::ErrorReply) {
            auto bytes = core::ParseHexBytes(parts[4]);
            if (!bytes || bytes->empty()) return fail("bad reply bytes");
            f.reply.assign(bytes->begin(), bytes->end());
        } else if (!ToInt(parts[4], f.delayMs)) {
            return fail("bad ARG");
        }
    }
    if (f.kind == FaultKind::ErrorReply && f.reply.empty()) return fail("error needs reply bytes");
    return f;
}

std::string FaultHelp() {
    std::string s = "points:";
    for (auto& [name, _] : Points()) s += " " + name;
    s += "; kinds:";
    for (auto& [name, _] : Kinds()) s += " " + name;
    return s;
}

}  // namespace kelmor::sim
