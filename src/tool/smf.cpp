// kelmor-tool smf check FILE | smf catalogue DIR [--routing] | make-smf EXPORT [--out-dir DIR]
//             | loader-to-hex FILE
#include <cstdio>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "modemcfg/definition.h"
#include "modemcfg/definitiontool.h"
#include "platform/ansi.h"
#include "platform/inifile.h"
#include "platform/programdir.h"
#include "tool/command.h"

namespace {

using namespace kelmor;
using nlohmann::ordered_json;

std::string Utf8(const std::string& ansi) { return platform::AnsiToUtf8(ansi); }

void RunCheck(const std::string& file) {
    std::filesystem::path path(file);
    std::string folder = path.parent_path().string();
    std::string typeFileName = path.filename().string();
    std::string bytes;
    if (!platform::ReadFileBytes(file, bytes)) {
        std::fprintf(stderr, "smf check: cannot read %s\n", file.c_str());
        tool::SetExitCode(2);
        return;
    }
    modemcfg::Definition d = modemcfg::ParseDefinition(typeFileName, bytes);
    modemcfg::Integrity integrity = modemcfg::ComputeIntegrity(folder, typeFileName);

    ordered_json j;
    j["name"] = Utf8(d.name);
    j["version"] = d.version;
    j["settings"] = Utf8(d.settings);
    j["routable"] = d.routable;
    j["integrity"] = {
        {"computed", integrity.computed}, {"stored", integrity.stored}, {"ok", integrity.Ok()}};
    j["groups"] = ordered_json::array();
    for (auto& g : d.groups) {
        ordered_json jg;
        jg["key"] = Utf8(g.key);
        jg["type"] = std::string(1, g.type);
        jg["level"] = std::string(1, g.level);
        jg["caption"] = Utf8(g.caption);
        jg["flags"] = g.flags;
        jg["hint"] = Utf8(g.hint);
        jg["choices"] = ordered_json::array();
        for (auto& c : g.choices) jg["choices"].push_back(Utf8(c));
        j["groups"].push_back(jg);
    }
    if (!d.kelmorIni) j["warning"] = "no \"Kelmor ini\" key: the file is left out of the catalogue";
    if (!d.Ok()) j["error"] = Utf8(d.error);
    std::printf("%s\n", j.dump(2).c_str());
    if (!integrity.Ok() || !d.Ok()) tool::SetExitCode(1);
}

void RunCatalogue(const std::string& dir, bool routing) {
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) {
        std::fprintf(stderr, "smf catalogue: %s is not a folder\n", dir.c_str());
        tool::SetExitCode(2);
        return;
    }
    for (auto& name : modemcfg::Catalogue(dir, routing)) std::printf("%s\n", name.c_str());
}

void RunMakeSmf(const std::string& exportPath, const std::string& outDir) {
    modemcfg::MakeSmfResult r =
        modemcfg::MakeSmf(exportPath, outDir.empty() ? platform::ProgramDir() : outDir);
    if (!r.ok) {
        std::fprintf(stderr, "make-smf: %s\n", r.error.c_str());
        tool::SetExitCode(1);
        return;
    }
    std::printf("%s\n", r.message.c_str());
}

void RunLoaderToHex(const std::string& file) {
    std::string out, error;
    if (!modemcfg::LoaderToHex(file, out, error)) {
        std::fprintf(stderr, "loader-to-hex: %s\n", error.c_str());
        tool::SetExitCode(1);
        return;
    }
    std::printf("%s\n%s\n", modemcfg::kLoaderDoneText, out.c_str());
}

const bool registered = tool::Register([](CLI::App& app) {
    auto* smf = app.add_subcommand("smf", "Modem parameter definition files");
    smf->require_subcommand(1);

    auto checkFile = std::make_shared<std::string>();
    auto* check = smf->add_subcommand(
        "check", "Show a definition and its integrity number (JSON); exit 1 when it is wrong");
    check->add_option("file", *checkFile, "the .smf file")->required();
    check->callback([checkFile] { RunCheck(*checkFile); });

    auto dir = std::make_shared<std::string>();
    auto routing = std::make_shared<bool>(false);
    auto* cat = smf->add_subcommand("catalogue", "The modem types of a folder, one a line");
    cat->add_option("dir", *dir, "the folder")->required();
    cat->add_flag("--routing", *routing, "leave out types with Routable=false");
    cat->callback([dir, routing] { RunCatalogue(*dir, *routing); });

    auto exportPath = std::make_shared<std::string>();
    auto outDir = std::make_shared<std::string>();
    auto* make = app.add_subcommand("make-smf", "Make a definition file from a text export");
    make->add_option("export", *exportPath, "the tab-separated export (.txt)")->required();
    make->add_option("--out-dir", *outDir, "where to write it (default: the program folder)");
    make->callback([exportPath, outDir] { RunMakeSmf(*exportPath, *outDir); });

    auto loader = std::make_shared<std::string>();
    auto* hex = app.add_subcommand("loader-to-hex",
                                   "Write a loader as C byte constants to a .txt beside it");
    hex->add_option("file", *loader, "the loader (.bin)")->required();
    hex->callback([loader] { RunLoaderToHex(*loader); });
});

}  // namespace
