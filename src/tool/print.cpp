// kelmor-tool project print FILE (.spf or .ssf) --graph | --all | --node NAME --out FILE.pdf
// The designer's printed documents written to PDF without a printer or a dialog.
#ifdef KELMOR_TOOL_GUI
#include <cstdio>
#include <memory>
#include <string>

#include "designer/network.h"
#include "designer/nodelisting.h"
#include "designer/paint/printpages.h"
#include "designer/projectfile.h"
#include "modemcfg/listing.h"
#include "platform/ansi.h"
#include "platform/inifile.h"
#include "platform/programdir.h"
#include "tool/command.h"

namespace {

using namespace kelmor;

class PrintPrompter : public platform::Prompter {
  public:
    platform::Answer Ask(const platform::Prompt& prompt) override {
        std::fprintf(stderr, "%s\n", platform::AnsiToUtf8(prompt.text).c_str());
        return prompt.defaultButton;
    }
};

struct PrintOptions {
    std::string file;
    bool graph = false;
    bool all = false;
    std::string node;
    std::string out;
    std::string definitions;
    std::string level = "0";
};

bool EndsWithNoCase(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           platform::EqualsNoCase(text.substr(text.size() - end.size()), end);
}

int Run(const PrintOptions& o) {
    const int documents = int(o.graph) + int(o.all) + int(!o.node.empty());
    if (documents != 1) {
        std::fprintf(stderr, "project print: choose one of --graph, --all, --node NAME\n");
        return 2;
    }
    if (o.level.size() != 1 || (o.level[0] != '0' && o.level[0] != '5' && o.level[0] != '9')) {
        std::fprintf(stderr, "project print: --level is 0, 5 or 9\n");
        return 2;
    }
    PrintPrompter prompter;
    designer::Network net(prompter);
    net.singleModemMode = EndsWithNoCase(o.file, ".ssf");
    std::string bytes;
    if (!platform::ReadFileBytes(o.file, bytes)) {
        std::fprintf(stderr, "project print: cannot read %s\n", o.file.c_str());
        return 1;
    }
    // A damaged file prints what could be read; its messages have gone to standard error.
    designer::LoadNetworkBytes(net, bytes, o.file);

    const std::string folder = o.definitions.empty() ? platform::ProgramDir() : o.definitions;
    designer::NodeListingSource listings(folder, o.level[0], net.singleModemMode, o.file);
    std::string error;
    bool written = false;
    if (o.graph) {
        written = designer::paint::WritePdf(
            o.out, designer::GraphJob(net),
            [&](QPagedPaintDevice& d) { return designer::paint::PrintGraphOn(d, net); }, &error);
    } else if (o.all) {
        if (net.nodes.empty()) {
            std::fprintf(stderr, "project print: the network has no modems; nothing printed\n");
            return 0;
        }
        written = designer::paint::WritePdf(
            o.out, designer::AllPropertiesJob(),
            [&](QPagedPaintDevice& d) {
                return designer::paint::PrintAllPropertiesOn(d, net, listings.Lister());
            },
            &error);
    } else {
        const std::string name = platform::Utf8ToAnsi(o.node);
        const designer::TKuvio* node = nullptr;
        for (const auto& n : net.nodes) {
            if (n->name == name) {
                node = n.get();
                break;
            }
        }
        if (!node) {
            std::fprintf(stderr, "project print: no modem named %s\n", o.node.c_str());
            return 2;
        }
        const designer::NodeListing listing = listings(*node);
        written = designer::paint::WritePdf(
            o.out, designer::NodePropertiesJob(),
            [&](QPagedPaintDevice& d) {
                return designer::paint::PrintNodePropertiesOn(d, listing);
            },
            &error);
    }
    if (!written) {
        std::fprintf(stderr, "project print: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

const bool registered = kelmor::tool::Register([](CLI::App& app) {
    // "print" belongs to the "project" group, whose file may register after this one: it is
    // added once every group is in, just before the command line is parsed.
    app.preparse_callback([&app](size_t) {
        CLI::App* project = nullptr;
        for (CLI::App* sub :
             app.get_subcommands([](CLI::App* a) { return a->get_name() == "project"; })) {
            project = sub;
        }
        if (!project)
            project = app.add_subcommand("project", "project (.spf) and single-modem (.ssf) files");
        auto o = std::make_shared<PrintOptions>();
        auto* cmd = project->add_subcommand(
            "print", "write the network graph or modem properties of a project to PDF");
        cmd->add_option("file", o->file, ".spf or .ssf file")->required();
        auto* graph = cmd->add_flag("--graph", o->graph, "the network graph on one landscape page");
        auto* all = cmd->add_flag("--all", o->all, "the properties of all modems in two columns");
        auto* node = cmd->add_option("--node", o->node, "the properties of the modem of this name");
        graph->excludes(all)->excludes(node);
        all->excludes(node);
        cmd->add_option("--out", o->out, "the PDF file to write")->required();
        cmd->add_option("--definitions", o->definitions,
                        "folder of the modem definition files (default: the program folder)");
        cmd->add_option("--level", o->level, "security level 0, 5 or 9 (default 0)");
        cmd->callback([o] { kelmor::tool::SetExitCode(Run(*o)); });
    });
});

}  // namespace
#endif
