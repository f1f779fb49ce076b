// kelmor-modem-sim: a simulated modem on a pseudo-terminal. The first line of output is the
// device path to open; the program serves the line until it is interrupted (SIGINT, SIGTERM).
#include <CLI/CLI.hpp>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <string>

#include "platform/inifile.h"
#include "sim/faultspec.h"
#include "sim/programmingoptions.h"
#include "sim/ptyrunner.h"

namespace {
std::atomic<bool> stopRequested{false};
void OnSignal(int) { stopRequested.store(true); }
}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"kelmor-modem-sim: a simulated modem on a pseudo-terminal"};
    std::string chip = "h8", mode = "boot", token, oemToken = "H8OEM OK", dumpFile;
    std::vector<std::string> faults;
    kelmor::sim::ModemConfig config;
    bool noDsr = false;
    app.add_option("--chip", chip, "h8 or h8-3069")->check(CLI::IsMember({"h8", "h8-3069"}));
    app.add_option("--mode", mode, "boot (boot program) or update (running firmware)")
        ->check(CLI::IsMember({"boot", "update"}));
    app.add_option("--token", token, "the firmware's reply to the flash-mode request");
    app.add_option("--oem-token", oemToken, "the firmware's reply to the OEM flash-mode request");
    app.add_option("--crystal", config.crystalHz, "the chip's crystal in Hz");
    app.add_option("--device-code", config.deviceCode, "H8/3069 device code");
    app.add_option("--oem-rate", config.oemBitRate, "bit rate of the firmware's OEM flasher");
    app.add_option("--erase-ms", config.eraseMs, "H8 loader: time to erase the flash");
    app.add_option("--block-erase-ms", config.blockEraseMs, "H8/3069: time per erase block");
    app.add_option("--program-ms", config.programMs, "time per programmed page or record");
    app.add_flag("--pacing", config.pacing, "pace bytes at the bit rate (10 bits a byte)");
    app.add_flag("--no-dsr", noDsr, "the modem does not raise DSR");
    app.add_option("--fault", faults,
                   "POINT[=CMD]:KIND[:AFTER[:COUNT[:ARG]]]; " + kelmor::sim::FaultHelp());
    app.add_option("--dump-flash", dumpFile, "write the flash memory to FILE on exit");
    kelmor::sim::ProgrammingOptions programming;
    kelmor::sim::AddProgrammingOptions(app, programming);
    CLI11_PARSE(app, argc, argv);
    // A modem with a definition type runs its firmware, which knows programming mode.
    if (!programming.smf.empty() && app.count("--mode") == 0) mode = "update";

    config.chip = chip == "h8" ? kelmor::sim::Chip::H8 : kelmor::sim::Chip::H83069;
    config.mode = mode == "boot" ? kelmor::sim::Mode::Boot : kelmor::sim::Mode::Update;
    config.flashToken = token;
    config.oemToken = oemToken;
    config.dsr = !noDsr;
    for (const auto& text : faults) {
        std::string error;
        auto fault = kelmor::sim::ParseFault(text, &error);
        if (!fault) {
            std::fprintf(stderr, "kelmor-modem-sim: %s\n", error.c_str());
            return 2;
        }
        config.faults.push_back(*fault);
    }

    if (!programming.smf.empty())
        return kelmor::sim::RunWithProgramming(config, programming, dumpFile);

    kelmor::sim::PtyRunner runner(config);
    if (!runner.Ok()) {
        std::fprintf(stderr, "kelmor-modem-sim: cannot open a pseudo-terminal\n");
        return 1;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::printf("%s\n", runner.DevicePath().c_str());
    std::fflush(stdout);
    runner.Run(stopRequested);

    if (!dumpFile.empty()) {
        const auto& flash = runner.Modem().FlashContent();
        if (!kelmor::platform::WriteFileAtomic(dumpFile, std::string(flash.begin(), flash.end()))) {
            std::fprintf(stderr, "kelmor-modem-sim: cannot write %s\n", dumpFile.c_str());
            return 1;
        }
    }
    return 0;
}
