#pragma once
// The factory definition tool: "Make smf" turns a tab-separated export of the parameter sheet
// into a definition file with its integrity number; "Loader to hex" turns a binary loader into
// a text of C byte constants.
#include <string>

namespace kelmor::modemcfg {

// Export layout (any line ending):
//   line 1: field 0 = the type name (output file name without .smf)
//   version block up to a line containing ">>>>>>>>": field 0 key, field 1 value
//   one heading line, skipped
//   parameter block up to the next marker (or the end):
//     parameter line: char 1 type letter, char 3 level, field 2 caption, field 3 hint
//     continuation line (starts with TAB): field 2 = flags (first), choice entry (further, R)
struct MakeSmfResult {
    bool ok = false;
    std::string error;       // why nothing was written
    std::string typeName;    // from line 1
    std::string text;        // the definition file's bytes
    int number = 0;          // its integrity number
    std::string outputPath;  // MakeSmf only
    std::string message;     // "Conversion from\r\n... finnished OK", MakeSmf only
};

// Builds the definition text from the export's bytes; nothing touches the disk.
MakeSmfResult MakeSmfText(const std::string& exportBytes);
// Reads the export, writes <outFolder>/<type name>.smf atomically (replacing an old one).
MakeSmfResult MakeSmf(const std::string& exportPath, const std::string& outFolder);

inline constexpr const char* kLoaderDoneText = "Loader transfered to txt format";
// "0x%02x," per byte, CR LF after every 11 constants.
std::string LoaderToHexText(const std::string& loaderBytes);
// Writes the text next to the loader with the extension replaced by ".txt"; false with a
// reason in error. outputPath receives the text file's path.
bool LoaderToHex(const std::string& loaderPath, std::string& outputPath, std::string& error);
std::string LoaderTextPath(const std::string& loaderPath);

}  // namespace kelmor::modemcfg
