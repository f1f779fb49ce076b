#pragma once
// The RAM loader programs sent to the modem's boot program before flashing. Built into the
// program from resources/loaders/; a file of the same name in the program folder's "loaders"
// folder replaces the built-in image at run time.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelmor::flash {

inline constexpr size_t kH8LoaderLength = 1436;
inline constexpr size_t kH83069LoaderLength = 1748;
// Crystals above this frequency take the "high" H8/3069 loaders.
inline constexpr uint32_t kCrystalThresholdHz = 24999999;

enum class LoaderId {
    H8_38400,           // H8, loader talks at 38400 bit/s (speed mode 0)
    H8_115200,          // H8, 115200 bit/s (any other speed mode)
    H83069_Speed0Low,   // H8/3069, speed mode 0, crystal <= 24999999 Hz
    H83069_Speed0High,  // ... crystal above 24999999 Hz
    H83069_Speed1Low,
    H83069_Speed1High,
    H83069_Speed2Low,
    H83069_Speed2High,
};
inline constexpr int kLoaderCount = 8;

LoaderId SelectH8Loader(int speedMode);
// Speed modes 0, 1, 2; any other value is taken as 0.
LoaderId SelectH83069Loader(int speedMode, uint32_t crystalHz);

size_t LoaderLength(LoaderId id);
// File name under resources/loaders/ and the program folder's loaders/, e.g. "h8_38400.bin".
std::string_view LoaderFileName(LoaderId id);
// The image compiled into the program.
std::span<const uint8_t> BuiltInLoader(LoaderId id);

struct LoaderImage {
    std::vector<uint8_t> bytes;  // exactly LoaderLength(id) bytes, or empty on error
    bool builtIn = true;         // false when taken from the program folder
    std::string path;            // the override file used (or refused)
    std::string error;           // why an override file was refused; bytes then empty
};
// ProgramDir()/loaders/<name> when that file exists, else the built-in image. An override of the
// wrong size is refused (error set, no bytes): a partial loader must never reach the modem.
LoaderImage LoadLoader(LoaderId id);

}  // namespace kelmor::flash
