// A definition file's bytes: the integrity number, the definition and its parameter groups,
// and the export converter, which must accept or refuse any text without harm.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "modemcfg/definition.h"
#include "modemcfg/definitiontool.h"

using namespace kelmor::modemcfg;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    IntegrityNumber("fuzz.smf", SplitTextLines(text));
    Definition d = ParseDefinition("fuzz.smf", text);
    for (auto& g : d.groups)
        if (g.key.size() < 2 || g.key[0] != g.type || g.key[1] != g.level) std::abort();
    ParseSettings(d.settings);
    NewParameterList(d.groups, true);

    MakeSmfResult made = MakeSmfText(text);
    if (made.ok) {
        // What the tool makes must pass its own check.
        if (IntegrityNumber(DefinitionFileName(made.typeName), SplitTextLines(made.text)) !=
            made.number)
            std::abort();
    }
    LoaderToHexText(text);
    return 0;
}
