#include "designer/nodelisting.h"

#include <utility>

#include "designer/kuvio.h"

namespace kelmor::designer {

NodeListingSource::NodeListingSource(std::string folder, char securityLevel, bool singleView,
                                     std::string fileName)
    : folder_(std::move(folder)) {
    options_.securityLevel = securityLevel;
    options_.singleView = singleView;
    options_.fileName = std::move(fileName);
}

NodeListing NodeListingSource::operator()(const TKuvio& node) {
    const std::string type = node.DefinitionFileName();
    auto found = definitions_.find(type);
    if (found == definitions_.end()) {
        found = definitions_.emplace(type, modemcfg::ReadDefinition(folder_, type)).first;
    }
    const modemcfg::Definition& definition = found->second;
    const modemcfg::NodeValues values = modemcfg::NodeValuesOf(node);
    std::vector<modemcfg::ListingEntry> rows;
    if (definition.Ok()) {
        rows = modemcfg::ListNode(values, &definition, options_);
    } else {
        // The stored values under a note that names the missing file or what is wrong with it.
        rows = modemcfg::ListNode(values, nullptr, options_);
        const bool missing = definition.error.rfind("cannot read", 0) == 0;
        if (rows.size() > 3) rows[3].value = missing ? type : definition.error;
    }
    NodeListing listing;
    listing.reserve(rows.size());
    for (auto& row : rows) listing.push_back({std::move(row.caption), std::move(row.value)});
    return listing;
}

}  // namespace kelmor::designer
