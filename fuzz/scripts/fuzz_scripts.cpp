// Script files from anywhere: the same bytes read as "scripts.txt" and as a script text file.
// Whatever a reader accepts must write back to the bytes it read (up to the last record).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "terminal/scriptfiles.h"

using namespace kelmor::terminal;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    ScriptParse txt = ParseScriptsTxt(bytes);
    if (txt.recordsRead < 0 || txt.recordsRead > kScriptCount) std::abort();
    if (txt.Ok() != (txt.recordsRead == kScriptCount)) std::abort();
    for (const std::string& text : txt.scripts.texts)
        if (text.size() > kMaxScriptBytes || text.size() > size) std::abort();
    if (txt.Ok()) {
        const std::string again = FormatScriptsTxt(txt.scripts);
        if (bytes.substr(0, again.size()) != again) std::abort();
    }

    ScriptParse stf = ParseStf(bytes);
    if (stf.recordsRead < 0 || stf.recordsRead > kScriptCount) std::abort();
    if (stf.Ok()) {
        std::string again, error;
        if (!FormatStf(stf.scripts, again, error)) std::abort();
        if (again.size() > size) std::abort();
        // Flags other than 0 and 1 read as mixed and are written as 1; the rest is identical.
        for (size_t i = 0; i < again.size(); ++i)
            if (again[i] != bytes[i] && again[i] != 1) std::abort();
        if (ParseStf(again).scripts != stf.scripts) std::abort();
    }
    for (size_t n = 0; n < stf.scripts.texts.size(); ++n)
        ScriptBytes(stf.scripts.texts[n], stf.scripts.mixed[n]);
    return 0;
}
