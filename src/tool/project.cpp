// kelmor-tool project export FILE (.spf or .ssf) | project import FILE.json OUT (.spf or .ssf)
//             project render FILE (.spf or .ssf) --out PICTURE (.svg, .png or .pdf) [--mobile]
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "designer/network.h"
#include "designer/projectfile.h"
#ifdef KELMOR_TOOL_GUI
#include <QGuiApplication>
#include <QFile>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

#include "designer/paint/graphpainter.h"
#endif
#include "platform/ansi.h"
#include "platform/inifile.h"
#include "tool/command.h"

namespace {

using namespace kelmor;
using designer::Kind;
using designer::Network;
using designer::TKuvio;
using nlohmann::json;

// Prompts of the designer logic go to standard error; questions take their default answer.
class ToolPrompter : public platform::Prompter {
  public:
    platform::Answer Ask(const platform::Prompt& prompt) override {
        std::fprintf(stderr, "%s\n", platform::AnsiToUtf8(prompt.text).c_str());
        messages.push_back(prompt.text);
        return prompt.defaultButton;
    }
    std::vector<std::string> messages;
};

bool EndsWith(const std::string& text, const std::string& end) {
    if (text.size() < end.size()) return false;
    return platform::EqualsNoCase(text.substr(text.size() - end.size()), end);
}

std::string Utf8(const std::string& ansi) { return platform::AnsiToUtf8(ansi); }
std::string Ansi(const json& value) { return platform::Utf8ToAnsi(value.get<std::string>()); }

const char* KindName(const TKuvio& node) {
    switch (node.GetKind()) {
        case Kind::Master:
            return "master";
        case Kind::Multi:
            return "multi";
        case Kind::Mobile:
            return "mobile";
        case Kind::Plain:
            break;
    }
    return "plain";
}

json ExportNetwork(const Network& net) {
    json out;
    if (net.singleModemMode) {
        out["properties"] = nullptr;
    } else {
        const auto& c = net.properties.controls;
        json routing = c.routingType == 0   ? json("source")
                       : c.routingType == 1 ? json("virtual")
                                            : json(c.routingType);
        json format = c.hexaddress == 0   ? json("decimal")
                      : c.hexaddress == 1 ? json("hexadecimal")
                                          : json(c.hexaddress);
        out["properties"] = {
            {"name", Utf8(c.nimi)},    {"protocol", Utf8(net.properties.ProtocolName())},
            {"offset", c.m},           {"length", c.n},
            {"routing", routing},      {"network_id", Utf8(c.netid)},
            {"address_format", format}};
    }
    json nodes = json::array();
    for (size_t i = 0; i < net.nodes.size(); ++i) {
        const TKuvio& n = *net.nodes[i];
        json addresses = json::array();
        for (const auto& a : n.addresses) addresses.push_back(Utf8(a));
        json parameters = json::array();
        for (const auto& p : n.parameters) {
            parameters.push_back({{"type", Utf8(std::string(1, p.type))},
                                  {"level", Utf8(std::string(1, p.level))},
                                  {"value", Utf8(p.value)}});
        }
        nodes.push_back({{"number", i + 1},
                         {"name", Utf8(n.name)},
                         {"kind", KindName(n)},
                         {"repeater", n.IsRepeater()},
                         {"addresses", addresses},
                         {"system_address", n.systemAddress},
                         {"type", Utf8(n.typeName)},
                         {"x", n.left},
                         {"y", n.top},
                         {"route_parent", net.IndexOf(n.routeParent) + 1},
                         {"mobile_route_parent", net.IndexOf(n.mobileRouteParent) + 1},
                         {"parameters", parameters}});
    }
    out["nodes"] = nodes;
    return out;
}

// One byte from a one-character text (the type letter, the level character).
char OneByte(const json& value, const char* what) {
    std::string text = Ansi(value);
    if (text.size() != 1) throw std::runtime_error(std::string(what) + " must be one character");
    return text[0];
}

int Choice(const json& value, const char* first, const char* second) {
    if (value.is_number_integer()) return value.get<int>();
    std::string text = value.get<std::string>();
    if (text == first) return 0;
    if (text == second) return 1;
    throw std::runtime_error("\"" + text + "\" is neither \"" + first + "\" nor \"" + second +
                             "\"");
}

void ImportNetwork(const json& in, Network& net) {
    if (!net.singleModemMode) {
        const json& p = in.at("properties");
        auto& c = net.properties.controls;
        c.nimi = Ansi(p.at("name"));
        std::string protocol = Ansi(p.at("protocol"));
        c.addresstype = -1;
        for (int i = 0; i < designer::kProtocolCount; ++i) {
            if (protocol == designer::kProtocolNames[i]) c.addresstype = i;
        }
        if (c.addresstype < 0 && !protocol.empty()) {
            throw std::runtime_error("unknown protocol \"" + protocol + "\"");
        }
        c.m = p.at("offset").get<int>();
        c.n = p.at("length").get<int>();
        if (c.m < 0 || c.m > 16 || c.n < 1 || c.n > 4) {
            throw std::runtime_error("offset must be 0..16 and length 1..4");
        }
        c.routingType = Choice(p.at("routing"), "source", "virtual");
        c.netid = Ansi(p.at("network_id"));
        c.hexaddress = Choice(p.at("address_format"), "decimal", "hexadecimal");
        net.properties.accepted = {c.nimi, c.netid, c.addresstype, c.m, c.n, c.routingType};
    }
    const json& nodes = in.at("nodes");
    std::vector<std::pair<int, int>> links;
    for (const json& j : nodes) {
        auto node = std::make_unique<TKuvio>();
        node->name = Ansi(j.value("name", json("Noname")));
        node->typeName = Ansi(j.at("type"));
        std::string kind = j.value("kind", "plain");
        std::vector<std::string> addresses;
        for (const json& a : j.value("addresses", json::array())) addresses.push_back(Ansi(a));
        if (kind == "multi") {
            node->isMulti = true;
            node->addresses = addresses;
        } else {
            if (addresses.size() > 1) {
                throw std::runtime_error("only a multi-port node has several addresses");
            }
            node->SetAddress(addresses.empty() ? std::string() : addresses[0]);
            if (kind == "master") {
                node->isMaster = true;
                if (net.masterNode) throw std::runtime_error("a network has one master");
                net.masterNode = node.get();
            } else if (kind == "mobile") {
                node->isMobile = true;
            } else if (kind != "plain") {
                throw std::runtime_error("unknown kind \"" + kind + "\"");
            }
        }
        node->noAddress = j.value("repeater", false) && !node->isMaster;
        if (node->noAddress && !node->isMulti) node->SetAddress(designer::kNoAddressText);
        int system = j.value("system_address", 0);
        if (system < 0 || system > 0xFFFF) throw std::runtime_error("system_address is 16 bits");
        node->systemAddress = static_cast<uint16_t>(system);
        node->left = j.value("x", 0);
        node->top = j.value("y", designer::kLabelHeight);
        for (const json& p : j.value("parameters", json::array())) {
            node->PutParameter(OneByte(p.at("type"), "a parameter type"),
                               OneByte(p.at("level"), "a parameter level"), true, true,
                               Ansi(p.at("value")));
        }
        links.emplace_back(j.value("route_parent", 0), j.value("mobile_route_parent", 0));
        net.AppendNode(std::move(node));
    }
    auto nodeAt = [&net](int number) -> TKuvio* {
        if (number == 0) return nullptr;
        if (number < 0 || static_cast<size_t>(number) > net.nodes.size()) {
            throw std::runtime_error("route parent " + std::to_string(number) + " is no node");
        }
        return net.nodes[static_cast<size_t>(number) - 1].get();
    };
    for (size_t i = 0; i < links.size(); ++i) {
        net.nodes[i]->routeParent = nodeAt(links[i].first);
        net.nodes[i]->mobileRouteParent = nodeAt(links[i].second);
    }
}

struct ExportOptions {
    std::string file;
};
struct ImportOptions {
    std::string json, out;
};

void RunExport(const ExportOptions& o) {
    ToolPrompter prompter;
    Network net(prompter);
    net.singleModemMode = EndsWith(o.file, ".ssf");
    std::string bytes;
    if (!platform::ReadFileBytes(o.file, bytes)) {
        std::fprintf(stderr, "project export: cannot read %s\n", o.file.c_str());
        kelmor::tool::SetExitCode(1);
        return;
    }
    designer::LoadNetworkBytes(net, bytes, o.file);
    std::printf("%s\n", ExportNetwork(net).dump(2).c_str());
    // A damaged file still exports what was read; the exit code tells the caller.
    if (!prompter.messages.empty()) kelmor::tool::SetExitCode(3);
}

void RunImport(const ImportOptions& o) {
    std::string text;
    if (!platform::ReadFileBytes(o.json, text)) {
        std::fprintf(stderr, "project import: cannot read %s\n", o.json.c_str());
        kelmor::tool::SetExitCode(1);
        return;
    }
    ToolPrompter prompter;
    Network net(prompter);
    net.singleModemMode = EndsWith(o.out, ".ssf");
    if (!net.singleModemMode && !EndsWith(o.out, ".spf")) {
        std::fprintf(stderr, "project import: %s is neither .spf nor .ssf\n", o.out.c_str());
        kelmor::tool::SetExitCode(2);
        return;
    }
    try {
        ImportNetwork(json::parse(text), net);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "project import: %s: %s\n", o.json.c_str(), e.what());
        kelmor::tool::SetExitCode(1);
        return;
    }
    if (!designer::SaveNetwork(net, o.out)) kelmor::tool::SetExitCode(1);
}

struct RenderOptions {
    std::string file, out;
    bool mobile = false;
};

#ifdef KELMOR_TOOL_GUI
// The network as the designer window draws it, on a white page just large enough for it.
void RunRender(const RenderOptions& o) {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        std::fprintf(stderr, "project render: no GUI application to draw with\n");
        kelmor::tool::SetExitCode(1);
        return;
    }
    const bool svg = EndsWith(o.out, ".svg"), png = EndsWith(o.out, ".png"),
               pdf = EndsWith(o.out, ".pdf");
    if (!svg && !png && !pdf) {
        std::fprintf(stderr, "project render: %s is neither .svg, .png nor .pdf\n", o.out.c_str());
        kelmor::tool::SetExitCode(2);
        return;
    }
    ToolPrompter prompter;
    Network net(prompter);
    net.singleModemMode = EndsWith(o.file, ".ssf");
    // A single modem sits in the middle of the window; here, of a small page.
    net.clientWidth = 200;
    net.clientHeight = 200;
    std::string bytes;
    if (!platform::ReadFileBytes(o.file, bytes)) {
        std::fprintf(stderr, "project render: cannot read %s\n", o.file.c_str());
        kelmor::tool::SetExitCode(1);
        return;
    }
    const bool complete = designer::LoadNetworkBytes(net, bytes, o.file);
    net.mobileView = o.mobile;
    designer::paint::GraphStyle style;
    style.mobileView = o.mobile;
    const QRect extent = designer::paint::GraphExtent(net, style);
    const QSize size(std::max(100, extent.right() + 20), std::max(100, extent.bottom() + 20));
    const QString out = QString::fromStdString(o.out);
    bool ok = true;
    auto draw = [&](QPainter& p) {
        p.fillRect(QRect(QPoint(0, 0), size), Qt::white);
        designer::paint::PaintNetwork(p, net, style);
    };
    if (png) {
        QFile file(out);
        ok = file.open(QIODevice::WriteOnly) &&
             designer::paint::WritePng(designer::paint::RenderNetworkImage(net, style), file);
    } else if (svg) {
        QSvgGenerator generator;
        generator.setFileName(out);
        generator.setSize(size);
        generator.setViewBox(QRect(QPoint(0, 0), size));
        generator.setTitle(
            QString::fromStdString(platform::AnsiToUtf8(net.properties.accepted.name)));
        QPainter p;
        ok = p.begin(&generator);
        if (ok) {
            draw(p);
            ok = p.end();
        }
    } else {
        QPdfWriter writer(out);
        writer.setResolution(72);  // one pixel of the drawing is one point of the page
        writer.setPageSize(QPageSize(QSizeF(size), QPageSize::Point));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter p;
        ok = p.begin(&writer);
        if (ok) {
            draw(p);
            ok = p.end();
        }
    }
    if (!ok) {
        std::fprintf(stderr, "project render: cannot write %s\n", o.out.c_str());
        kelmor::tool::SetExitCode(1);
        return;
    }
    // A damaged file still draws what was read; the exit code tells the caller.
    if (!complete) kelmor::tool::SetExitCode(3);
}
#else
void RunRender(const RenderOptions&) {
    std::fprintf(stderr, "project render: this build has no painter\n");
    kelmor::tool::SetExitCode(1);
}
#endif

const bool registered = kelmor::tool::Register([](CLI::App& app) {
    auto* project = app.add_subcommand("project", "project (.spf) and single-modem (.ssf) files");
    project->require_subcommand(1);

    auto exportOpts = std::make_shared<ExportOptions>();
    auto* exp = project->add_subcommand("export", "print a project or single-modem file as JSON");
    exp->add_option("file", exportOpts->file, ".spf or .ssf file")->required();
    exp->callback([exportOpts] { RunExport(*exportOpts); });

    auto importOpts = std::make_shared<ImportOptions>();
    auto* imp = project->add_subcommand("import", "write a project or single-modem file from JSON");
    imp->add_option("json", importOpts->json, "JSON as project export prints it")->required();
    imp->add_option("out", importOpts->out, "the .spf or .ssf file to write")->required();
    imp->callback([importOpts] { RunImport(*importOpts); });

    auto renderOpts = std::make_shared<RenderOptions>();
    auto* render = project->add_subcommand(
        "render", "draw the network of a project or single-modem file as the designer does");
    render->add_option("file", renderOpts->file, ".spf or .ssf file")->required();
    render->add_option("--out", renderOpts->out, "the picture to write: .svg, .png or .pdf")
        ->required();
    render->add_flag("--mobile", renderOpts->mobile, "the mobile view: mobile routes, dotted");
    render->callback([renderOpts] { RunRender(*renderOpts); });
});

}  // namespace
