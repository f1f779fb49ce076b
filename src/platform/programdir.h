#pragma once
#include <string>

namespace kelmor::platform {

// The program folder: KELMOR_HOME when set, else the folder of the running executable.
// No trailing separator.
std::string ProgramDir();

// The settings file in the program folder: ProgramDir() + "/kelmor.ini".
std::string SettingsPath();

// Device path of COM port n (1..16): env KELMOR_COMn, else settings section "Serial devices"
// key "COMn", else /dev/ttyS{n-1}.
std::string ComDevicePath(int n);

}  // namespace kelmor::platform
