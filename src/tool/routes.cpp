// kelmor-tool routes FILE.spf [--mobile]: the address check, the route computation of the
// project's routing type, and the route-distribution frames each modem would receive.
#include "designer/routes.h"

#include <cstdio>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "core/hex.h"
#include "designer/network.h"
#include "designer/projectfile.h"
#include "designer/routepayloads.h"
#include "platform/ansi.h"
#include "platform/inifile.h"
#include "tool/command.h"

namespace {

using namespace kelmor;
using designer::Network;
using designer::RouteAction;
using designer::RouteSequence;
using designer::TKuvio;
using nlohmann::json;

class RecordingPrompter : public platform::Prompter {
  public:
    platform::Answer Ask(const platform::Prompt& prompt) override {
        messages.push_back(prompt.text);
        return prompt.defaultButton;
    }
    std::vector<std::string> messages;
};

std::string Utf8(const std::string& ansi) { return platform::AnsiToUtf8(ansi); }

// Transmitting to the active node after its parameters were accepted, every reply positive
// (the modem asks for the address offset and length, saves, takes every route).
json Frames(Network& net) {
    json frames = json::array();
    RouteSequence seq;
    RouteAction action = seq.OnReply(net, 2, std::nullopt, false);
    for (size_t guard = 0; guard < 100000; ++guard) {
        if (action.kind == RouteAction::Kind::ParamsSave) {
            action = seq.OnReply(net, 6, 1, true);
            continue;
        }
        if (action.kind != RouteAction::Kind::Send) break;
        frames.push_back(core::FormatHexBytes(action.message.frame));
        uint8_t code = action.message.code;
        uint8_t reply = code == 13 ? 4 : code == 14 ? 10 : code;
        action = seq.OnReply(net, reply, 1, true);
    }
    if (action.kind == RouteAction::Kind::Error) frames.push_back(Utf8(action.errorText));
    return frames;
}

struct RoutesOptions {
    std::string file;
    bool mobile = false;
};

void Run(const RoutesOptions& o) {
    RecordingPrompter prompter;
    Network net(prompter);
    std::string bytes;
    if (!platform::ReadFileBytes(o.file, bytes)) {
        std::fprintf(stderr, "routes: cannot read %s\n", o.file.c_str());
        kelmor::tool::SetExitCode(1);
        return;
    }
    designer::LoadNetworkBytes(net, bytes, o.file);
    for (const auto& m : prompter.messages) std::fprintf(stderr, "%s\n", Utf8(m).c_str());
    prompter.messages.clear();
    net.routesDirty = true;
    net.mobileView = o.mobile;
    designer::ComputeRoutes(net);

    json out;
    out["error"] = net.routeError && !prompter.messages.empty()
                       ? json(Utf8(prompter.messages.back()))
                       : json(nullptr);
    json nodes = json::array();
    for (const auto& owned : net.nodes) {
        const TKuvio& n = *owned;
        json node = {{"name", Utf8(n.name)}, {"route_text", Utf8(n.routeText)}};
        json virtualRoutes = json::array();
        for (const auto& entry : n.VirtualRoutes()) virtualRoutes.push_back(entry);
        node["virtual_routes"] = virtualRoutes;
        if (&n == net.masterNode) {
            json sourceRoutes = json::array();
            for (const auto& line : n.SourceRoutes()) sourceRoutes.push_back(line);
            node["source_routes"] = sourceRoutes;
        }
        nodes.push_back(node);
    }
    out["nodes"] = nodes;
    json messages = json::object();
    if (!net.routeError) {
        std::map<std::string, int> seen;
        for (const auto& owned : net.nodes) {
            net.activeNode = owned.get();
            // Names need not be unique; a repeated one gets its node number.
            std::string key = Utf8(owned->name);
            if (seen[key]++ > 0) key += " #" + std::to_string(net.IndexOf(owned.get()) + 1);
            messages[key] = Frames(net);
        }
    }
    out["messages"] = messages;
    std::printf("%s\n", out.dump(2).c_str());
    if (net.routeError) kelmor::tool::SetExitCode(3);
}

const bool registered = kelmor::tool::Register([](CLI::App& app) {
    auto opts = std::make_shared<RoutesOptions>();
    auto* cmd = app.add_subcommand("routes", "compute a project's routes and route messages");
    cmd->add_option("file", opts->file, ".spf project file")->required();
    cmd->add_flag("--mobile", opts->mobile, "with the mobile view on (mobile routes are sent)");
    cmd->callback([opts] { Run(*opts); });
});

}  // namespace
