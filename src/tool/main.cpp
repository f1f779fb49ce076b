// kelmor-tool: the headless front end of Kelmor's logic.
#include <QCoreApplication>
#include <vector>

#include "tool/command.h"

namespace kelmor::tool {

namespace {
std::vector<Setup>& Setups() {
    static std::vector<Setup> setups;
    return setups;
}
int exitCode = 0;
}  // namespace

bool Register(Setup setup) {
    Setups().push_back(std::move(setup));
    return true;
}
void SetExitCode(int code) { exitCode = code; }
int ExitCode() { return exitCode; }

}  // namespace kelmor::tool

int main(int argc, char** argv) {
    QCoreApplication qtApp(argc, argv);
    CLI::App app{"kelmor-tool: Kelmor's modem, network and firmware logic from the command line"};
    app.require_subcommand(1);
    for (auto& setup : kelmor::tool::Setups()) setup(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }
    return kelmor::tool::ExitCode();
}
