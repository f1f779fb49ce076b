#pragma once
// Subcommands of kelmor-tool register themselves: each source file defines
//   static const bool registered = kelmor::tool::Register([](CLI::App& app) { ... });
// and the setup function adds its subcommands to the application. A subcommand's callback
// stores its exit code with SetExitCode (0 = success).
#include <CLI/CLI.hpp>
#include <functional>

namespace kelmor::tool {

using Setup = std::function<void(CLI::App&)>;
bool Register(Setup setup);
void SetExitCode(int code);
int ExitCode();

}  // namespace kelmor::tool
