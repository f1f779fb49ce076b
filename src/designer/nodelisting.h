#pragma once
// The listing of the designer's nodes for the property table and the printouts: the properties
// form's caption/value rows, with each modem type's definition read once per source (a
// network of a thousand modems of a few types reads a few files, not a thousand).
#include <map>
#include <string>

#include "designer/printlayout.h"
#include "modemcfg/definition.h"
#include "modemcfg/listing.h"

namespace kelmor::designer {

class NodeListingSource {
  public:
    // folder: where the definition files are (the program folder); securityLevel '0', '5' or
    // '9'; singleView and fileName as the form lists single-modem mode.
    NodeListingSource(std::string folder, char securityLevel, bool singleView = false,
                      std::string fileName = {});

    NodeListing operator()(const TKuvio& node);
    // As a NodeLister (the source must outlive it).
    NodeLister Lister() {
        return [this](const TKuvio& node) { return (*this)(node); };
    }

  private:
    std::string folder_;
    modemcfg::ListingOptions options_;
    std::map<std::string, modemcfg::Definition> definitions_;
};

}  // namespace kelmor::designer
