#include "sim/programmingoptions.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <memory>

#include "modemcfg/definition.h"
#include "platform/inifile.h"
#include "platform/programdir.h"
#include "sim/programmingrunner.h"

namespace kelmor::sim {

namespace {
std::atomic<bool> stopRequested{false};
void OnSignal(int) { stopRequested.store(true); }
}  // namespace

void AddProgrammingOptions(CLI::App& app, ProgrammingOptions& o) {
    app.add_option("--smf", o.smf,
                   "modem type (definition name or .smf path): the firmware answers programming "
                   "mode; implies --mode update unless --mode is given");
    app.add_option("--definitions", o.definitions,
                   "folder of the definitions (default: program folder)");
    app.add_option("--state", o.state,
                   "JSON file of what the modem holds: loaded at start, saved after every command");
    app.add_option("--type-text", o.typeText, "type text reported in programming mode");
    app.add_option("--version", o.version, "version byte reported in programming mode");
    app.add_flag("--no-routing", o.noRouting, "answer \"routing not available\" to route messages");
    app.add_flag("--wants-offset", o.wantsOffset, "ask for the address offset and length");
    app.add_option("--prog-fault", o.faults, ProgFaultHelp());
}

int RunWithProgramming(const ModemConfig& flashConfig, const ProgrammingOptions& o,
                       const std::string& dumpFile) {
    std::string folder = o.definitions.empty() ? platform::ProgramDir() : o.definitions;
    std::string file = o.smf;
    if (size_t slash = file.rfind('/'); slash != std::string::npos) {
        if (o.definitions.empty()) folder = file.substr(0, slash);
        file = file.substr(slash + 1);
    }
    if (file.size() < 4 || !platform::EqualsNoCase(file.substr(file.size() - 4), ".smf"))
        file = modemcfg::DefinitionFileName(file);
    // Without a folder: the program folder, else the installed samples.
    if (o.definitions.empty() && o.smf.find('/') == std::string::npos)
        folder = platform::DefinitionFolderFor(file);
    modemcfg::Definition def = modemcfg::ReadDefinition(folder, file);
    if (!def.Ok() || def.groups.empty()) {
        std::fprintf(stderr, "kelmor-modem-sim: no usable definition %s in %s %s\n", file.c_str(),
                     folder.c_str(), def.error.c_str());
        return 2;
    }
    ProgrammingConfig config;
    config.typeText = o.typeText;
    if (o.version != -1000) config.version = o.version;
    config.routingAvailable = !o.noRouting;
    config.wantsOffsetLength = o.wantsOffset;
    for (const auto& text : o.faults) {
        std::string error;
        auto fault = ParseProgFault(text, &error);
        if (!fault) {
            std::fprintf(stderr, "kelmor-modem-sim: %s\n", error.c_str());
            return 2;
        }
        config.faults.push_back(*fault);
    }
    auto programming = std::make_unique<ProgrammingModem>(def, config);
    if (!o.state.empty()) {
        std::string text;
        if (platform::ReadFileBytes(o.state, text)) {
            std::string error;
            if (!programming->LoadStateJson(text, &error)) {
                std::fprintf(stderr, "kelmor-modem-sim: %s: %s\n", o.state.c_str(), error.c_str());
                return 2;
            }
        }
    }
    ProgrammingModem* modem = programming.get();
    auto save = [modem, &o] {
        if (o.state.empty()) return true;
        if (platform::WriteFileAtomic(o.state, modem->StateJson())) return true;
        std::fprintf(stderr, "kelmor-modem-sim: cannot write %s\n", o.state.c_str());
        return false;
    };
    programming->onCommand = [save] { save(); };
    if (!save()) return 1;

    int rate = modemcfg::ParseSettings(def.settings).baudRate.value_or(9600);
    ProgrammingPtyRunner runner(flashConfig, std::move(programming), rate);
    if (!runner.Ok()) {
        std::fprintf(stderr, "kelmor-modem-sim: cannot open a pseudo-terminal\n");
        return 1;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::printf("%s\n", runner.DevicePath().c_str());
    std::fflush(stdout);
    runner.Run(stopRequested);

    int code = save() ? 0 : 1;
    if (!dumpFile.empty()) {
        const auto& flash = runner.Modem().FlashContent();
        if (!platform::WriteFileAtomic(dumpFile, std::string(flash.begin(), flash.end()))) {
            std::fprintf(stderr, "kelmor-modem-sim: cannot write %s\n", dumpFile.c_str());
            code = 1;
        }
    }
    return code;
}

}  // namespace kelmor::sim
