#pragma once
#include <string>
#include <vector>

namespace kelmor::platform {

// The program folder holds the settings file, definition files, logs, loader overrides and the
// result sounds. It is, in this order:
//  1. the folder named by KELMOR_HOME when that is set;
//  2. the user's own folder, $XDG_DATA_HOME/kelmor (default ~/.local/share/kelmor), when the
//     program runs from an install prefix (<prefix>/bin beside <prefix>/share/kelmor) or when the
//     executable's folder is not writable. It is made on first use and seeded with the sample
//     definitions and sounds the program was installed with;
//  3. else the folder of the running executable (build/bin when run from the build folder).
// No trailing separator.
std::string ProgramDir();

// The settings file in the program folder: ProgramDir() + "/kelmor.ini".
std::string SettingsPath();

// Folders that hold definition files (*.smf), first match wins: the program folder, then the
// installed samples (<prefix>/share/kelmor/definitions) or a read-only executable's folder.
std::vector<std::string> DefinitionFolders();
// The first folder of DefinitionFolders() that has typeFileName ("KL450.smf"), else ProgramDir().
std::string DefinitionFolderFor(const std::string& typeFileName);

// <prefix>/share/kelmor when the program runs from an install prefix, else "".
std::string InstalledDataDir();

// Device path of COM port n (1..16): env KELMOR_COMn, else settings section "Serial devices"
// key "COMn", else /dev/ttyS{n-1}.
std::string ComDevicePath(int n);

// The rule behind ProgramDir(), with its inputs spelled out (tests give their own).
struct ProgramDirInputs {
    std::string kelmorHome;     // KELMOR_HOME, "" when unset
    std::string executableDir;  // folder of the running executable
    bool executableDirWritable = true;
    std::string xdgDataHome;  // XDG_DATA_HOME, "" when unset (a relative value is ignored)
    std::string home;         // the user's home folder
};
enum class ProgramDirSource { KelmorHome, UserFolder, ExecutableFolder };
struct ProgramDirChoice {
    std::string dir;
    ProgramDirSource source = ProgramDirSource::ExecutableFolder;
    std::string dataDir;          // <prefix>/share/kelmor, "" when not installed
    std::string seedDefinitions;  // read-only folder of definitions behind dir, or ""
    std::string seedSounds;       // read-only folder of *.wav to seed dir with, or ""
};
ProgramDirChoice ChooseProgramDir(const ProgramDirInputs& in);

// Makes the user's program folder when it does not exist yet and copies the *.smf files of
// choice.seedDefinitions and the *.wav files of choice.seedSounds into it; the same for an
// existing folder that has neither a settings file nor definitions yet. A folder in use is left
// as it is (files the user removed stay removed). True when the folder exists after.
bool PrepareUserFolder(const ProgramDirChoice& choice);

}  // namespace kelmor::platform
