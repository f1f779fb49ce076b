#pragma once
// The programming-mode options of kelmor-modem-sim (--smf, --state, …) and the run that serves
// both faces of the modem on one pseudo-terminal.
#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "sim/simmodem.h"

namespace kelmor::sim {

struct ProgrammingOptions {
    std::string smf;          // type name or path of its .smf; empty: no programming mode
    std::string definitions;  // folder of the definitions (default: the program folder)
    std::string state;        // JSON file loaded at start and saved after every command
    std::string typeText;     // reported type text
    int version = -1000;      // reported version byte (default: the definition's)
    bool noRouting = false;
    bool wantsOffset = false;
    std::vector<std::string> faults;
};

void AddProgrammingOptions(CLI::App& app, ProgrammingOptions& options);
// Serves the line until SIGINT or SIGTERM; the process exit code.
int RunWithProgramming(const ModemConfig& flashConfig, const ProgrammingOptions& options,
                       const std::string& dumpFile);

}  // namespace kelmor::sim
