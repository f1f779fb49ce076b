#pragma once
// What the designer needs to know about a modem type. The definition files answer it; the
// designer only sees this interface, so it can be driven without any definition file.
#include <string>

namespace kelmor::designer {

struct TypeInfo {
    std::string title = "ERROR";              // "Name" of the type
    int version = 0;                          // "Version number"
    std::string portSettings = "9600,8,N,1";  // serial settings for talking to the type
    bool routable = true;                     // offered in the routing designer's catalogue
};

class TypeInfoSource {
  public:
    virtual ~TypeInfoSource() = default;
    // definitionFileName is the node's type name with the extension ".smf". A type without a
    // definition file answers the defaults of TypeInfo.
    virtual TypeInfo Lookup(const std::string& definitionFileName) = 0;
};

// For callers without definition files: every type has the default information.
class DefaultTypeInfo : public TypeInfoSource {
  public:
    TypeInfo Lookup(const std::string&) override { return {}; }
};

}  // namespace kelmor::designer
