#include "designer/definitiontypes.h"

namespace kelmor::designer {

TypeInfo DefinitionTypeInfo::Lookup(const std::string& definitionFileName) {
    const modemcfg::TypeInfo& info =
        cache_.ForType(folder_, definitionFileName, factoryMode_, prompter_);
    TypeInfo out;
    out.title = info.name;
    out.version = info.version;
    out.portSettings = info.settings;
    return out;
}

}  // namespace kelmor::designer
