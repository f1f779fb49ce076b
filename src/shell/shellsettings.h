#pragma once
// The main window's settings and command line, as plain values.
#include <string>
#include <vector>

#include "platform/inifile.h"
#include "platform/prompter.h"

namespace kelmor::shell {

inline constexpr const char* kMainCaption = "ZORVALINK Kelmor 4.0.7";
inline constexpr const char* kApplicationTitle = "Kelmor 4";
inline constexpr const char* kNotAvailable = "Not available in this build";
inline constexpr const char* kReadOnlyMessage = " voi vain lukea";
inline constexpr const char* kNoLoader = "qq";

// WindowState: 0 normal, 1 minimised, 2 maximised.
struct StartPosition {
    int windowState = 2;
    int left = 0;
    int top = 0;
    int width = 200;
    int height = 200;
};

StartPosition ReadStartPosition(const platform::IniFile& ini);
std::string ReadLoaderPath(const platform::IniFile& ini);

// Writes the position (Left, Top, Width, Height only when not maximised, then WindowState) and
// the loader path unless it is "qq". A read-only file is reported and left as it is. Messages go
// through the prompter; false when anything was not written.
bool SaveStartPosition(platform::IniFile& ini, const StartPosition& position,
                       const std::string& loaderPath, platform::Prompter& prompter);

struct CommandLine {
    bool factoryMode = false;
    bool remoteFlash = false;
    bool dsrOption = false;
    std::vector<std::string> arguments;  // without the program name
};
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// Values of a remote-flash start (arguments 2 to 5); false when they are missing.
struct RemoteFlashRequest {
    int portSelection = 0;
    int portSet = 0;
    int updateMode = 0;
    std::string firmwareFile;
};
bool RemoteFlashArguments(const CommandLine& commandLine, RemoteFlashRequest& request);

}  // namespace kelmor::shell
