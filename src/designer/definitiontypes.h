#pragma once
// Type information from the definition files of a folder (the program folder in the program).
#include <string>

#include "designer/typeinfo.h"
#include "modemcfg/definition.h"
#include "platform/prompter.h"

namespace kelmor::designer {

class DefinitionTypeInfo : public TypeInfoSource {
  public:
    DefinitionTypeInfo(std::string folder, bool factoryMode, platform::Prompter& prompter)
        : folder_(std::move(folder)), factoryMode_(factoryMode), prompter_(prompter) {}

    // Checks a type other than the last one handled and reads it; the same type again
    // answers without reading the file.
    TypeInfo Lookup(const std::string& definitionFileName) override;

  private:
    std::string folder_;
    bool factoryMode_;
    platform::Prompter& prompter_;
    modemcfg::TypeInfoCache cache_;
};

}  // namespace kelmor::designer
