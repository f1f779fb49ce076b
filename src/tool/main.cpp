// kelmor-tool: the headless front end of Kelmor's logic.
#include <QCoreApplication>
#ifdef KELMOR_TOOL_GUI
#include <QGuiApplication>
#endif
#include <memory>
#include <string_view>
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
    std::unique_ptr<QCoreApplication> qtApp;
#ifdef KELMOR_TOOL_GUI
    // Printing to PDF measures and draws text, which takes a GUI application (with no display:
    // the tool never opens a window). Every other command keeps the plain core application.
    for (int i = 1; i + 1 < argc && !qtApp; ++i) {
        if (std::string_view(argv[i]) == "project" && (std::string_view(argv[i + 1]) == "print" ||
                                                       std::string_view(argv[i + 1]) == "render")) {
            if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
                qputenv("QT_QPA_PLATFORM", "offscreen");
            }
            qtApp = std::make_unique<QGuiApplication>(argc, argv);
        }
    }
#endif
    if (!qtApp) qtApp = std::make_unique<QCoreApplication>(argc, argv);
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
