#include "designer/kuvio.h"

#include <algorithm>
#include <sstream>

#include "core/hex.h"
#include "designer/address.h"

namespace kelmor::designer {

std::string TKuvio::GetAddress() const {
    if (isMulti) return kMultiPortText;
    return addresses.empty() ? std::string() : addresses[0];
}

void TKuvio::SetAddress(const std::string& text) {
    if (isMulti) return;
    if (addresses.empty()) {
        addresses.push_back(text);
    } else {
        addresses[0] = text;
    }
}

std::string TKuvio::AddressAt(size_t i) const {
    return i < addresses.size() ? addresses[i] : std::string(kAddressEnd);
}

void TKuvio::PutAddressAt(int i, const std::string& text) {
    if (i == -1) {
        addresses.clear();
    } else if (i >= 0 && static_cast<size_t>(i) < addresses.size()) {
        addresses[static_cast<size_t>(i)] = text;
    } else {
        addresses.push_back(text);
    }
}

Kind TKuvio::GetKind() const {
    if (isMaster) return Kind::Master;
    if (isMulti) return Kind::Multi;
    if (isMobile) return Kind::Mobile;
    return Kind::Plain;
}

void TKuvio::SetKind(Kind kind) {
    isMobile = kind == Kind::Mobile;
    isMulti = kind == Kind::Multi;
    isMaster = kind == Kind::Master;
    if (kind == Kind::Multi) {
        std::erase_if(addresses, [](const std::string& a) { return a.empty(); });
    }
}

std::string TKuvio::DefinitionFileName() const {
    std::string base = typeName;
    size_t slash = base.find_last_of("/\\");
    size_t dot = base.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) base.erase(dot);
    return base + ".smf";
}

void TKuvio::ClearParameters() {
    parameters.clear();
    writeCursor_ = -1;
    readCursor_ = 0;
}

void TKuvio::RewindParameters() { writeCursor_ = -1; }

void TKuvio::PutParameter(char type, char level, bool setShown, bool shownValue,
                          const std::string& value) {
    ++writeCursor_;
    auto index = static_cast<size_t>(writeCursor_);
    if (index >= parameters.size()) {
        parameters.push_back(modemcfg::ModemParam{0, 0, false, {}});
        index = parameters.size() - 1;
        writeCursor_ = static_cast<int>(index);
    }
    modemcfg::ModemParam& entry = parameters[index];
    if (setShown) {
        entry.shown = shownValue;
    } else if (!entry.shown) {
        return;
    }
    entry.type = type;
    entry.level = level;
    entry.value = value;
}

ParameterRead TKuvio::ReadParameter(bool restart) {
    if (restart) readCursor_ = 0;
    if (readCursor_ >= parameters.size()) return {};
    const modemcfg::ModemParam& entry = parameters[readCursor_++];
    return ParameterRead{true, entry.type, entry.value, entry.level, entry.shown};
}

void TKuvio::AddVirtualRoute(std::string entry, bool labelEntry) {
    if (!virtualRoutes_) {
        virtualRoutes_.emplace();
        virtualSorted_ = labelEntry;
        virtualRoutesCursor_ = 0;
    }
    virtualRoutes_->push_back(std::move(entry));
    if (virtualSorted_) virtualNeedsSort_ = true;
}

void TKuvio::AddAddressRoute(uint32_t address, uint16_t label) {
    AddVirtualRoute(core::HexWord(address, 8) + " <-> " + core::HexWord(label, 4), false);
}

void TKuvio::AddLabelRoute(uint16_t towardMaster, uint16_t towardFar) {
    AddVirtualRoute(core::HexWord(towardMaster, 4) + " <-> " + core::HexWord(towardFar, 4), true);
}

const std::vector<std::string>& TKuvio::VirtualRoutes() const {
    static const std::vector<std::string> kNone;
    if (!virtualRoutes_) return kNone;
    if (virtualNeedsSort_) {
        std::stable_sort(virtualRoutes_->begin(), virtualRoutes_->end());
        virtualNeedsSort_ = false;
    }
    return *virtualRoutes_;
}

std::optional<std::string> TKuvio::VirtualRoutesText() const {
    if (!virtualRoutes_) return std::nullopt;
    std::string text;
    for (const std::string& entry : VirtualRoutes()) text += entry + "\r\n";
    return text;
}

std::string TKuvio::NextVirtualRoute(bool restart) {
    if (restart) virtualRoutesCursor_ = 0;
    const auto& table = VirtualRoutes();
    if (virtualRoutesCursor_ >= table.size()) return {};
    return table[virtualRoutesCursor_++];
}

void TKuvio::ResetVirtualRoutes() {
    virtualRoutesBefore = VirtualRoutesText();
    virtualRoutes_.reset();
    virtualNeedsSort_ = false;
    virtualRoutesCursor_ = 0;
}

void TKuvio::AddSourceRoute(const std::string& routeLine) { AddSourceRoutes({routeLine}); }

void TKuvio::AddSourceRoutes(const std::vector<std::string>& routeLines) {
    if (!sourceRoutes_) sourceRoutes_.emplace();
    for (const std::string& line : routeLines) sourceRoutes_->push_back(SourceRouteTableLine(line));
    sourceNeedsSort_ = true;
}

const std::vector<std::string>& TKuvio::SourceRoutes() const {
    static const std::vector<std::string> kNone;
    if (!sourceRoutes_) return kNone;
    if (sourceNeedsSort_) {
        std::stable_sort(sourceRoutes_->begin(), sourceRoutes_->end());
        sourceNeedsSort_ = false;
    }
    return *sourceRoutes_;
}

std::string SourceRouteTableLine(const std::string& routeLine) {
    std::istringstream tokens(routeLine);
    std::string token;
    std::string out;
    if (tokens >> token) {
        out = core::HexWord(ParseAddress(token).value_or(0), 8);
        while (tokens >> token) {
            out += ' ';
            out += core::HexWord(static_cast<uint16_t>(DecimalValue(token)), 4);
        }
    }
    return out;
}

}  // namespace kelmor::designer
