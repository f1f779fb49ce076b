#include "designer/routes.h"

#include <unordered_set>

#include "designer/address.h"

namespace kelmor::designer {

namespace {

inline constexpr const char* kTooManyLabelsText =
    "The network needs more than 65535 virtual route labels. Modem set as active modem";

void Fail(Network& network, TKuvio* activeNode, const char* text) {
    if (activeNode) network.activeNode = activeNode;
    network.routeError = true;
    network.Redraw();
    network.prompter.Message(text);
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        if (end > start) lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

bool HasMarker(const std::string& text) {
    return text.find(kNoRouteMarker) != std::string::npos ||
           text.find(kRepeaterMarker) != std::string::npos;
}

// A terminal address that virtual routing can use: readable and above 0.
std::optional<uint32_t> PositiveAddress(const std::string& text) {
    auto value = ParseAddress(text);
    if (!value || *value == 0) return std::nullopt;
    return value;
}

}  // namespace

bool CheckAddresses(Network& network) {
    std::unordered_set<uint32_t> seen;
    seen.reserve(network.nodes.size() * 2);
    for (auto& owned : network.nodes) {
        TKuvio* node = owned.get();
        if (node->IsRepeater()) continue;
        const size_t count = node->isMulti ? node->addresses.size() : 1;
        for (size_t i = 0; i < count; ++i) {
            // Compared by value: "0A", "a" and "000A" are one address.
            auto value = ParseAddress(node->isMulti ? node->addresses[i] : node->GetAddress());
            if (!value) {
                Fail(network, node, kInvalidHexAddressText);
                return true;
            }
            if (!seen.insert(*value).second) {
                Fail(network, node, kDuplicateAddressText);
                return true;
            }
        }
    }
    network.routeError = false;
    return false;
}

void ComputeSourceRoutes(Network& network) {
    if (!network.routesDirty) return;
    TKuvio* master = network.masterNode;
    if (!master) {
        Fail(network, nullptr, kNoMasterText);
        return;
    }
    network.routeError = false;
    master->ResetSourceRoutes();
    std::vector<std::string> tableLines;
    std::vector<uint16_t> path;
    for (auto& owned : network.nodes) {
        TKuvio* node = owned.get();
        if (node->IsRepeater()) {
            node->routeText = kRepeaterMarker;
            continue;
        }
        if (node != master && !node->routeParent && !node->mobileRouteParent) {
            node->routeText = kNoRouteMarker;
            continue;
        }
        bool hasAddress = node->isMulti ? !node->addresses.empty() : !node->GetAddress().empty();
        if (!hasAddress) {
            Fail(network, node, kNoDefinedAddressText);
            break;
        }
        TKuvio* TKuvio::*parent =
            node->isMobile ? &TKuvio::mobileRouteParent : &TKuvio::routeParent;
        path.clear();
        bool loop = false;
        for (TKuvio* p = node->*parent; p && p != master; p = p->*parent) {
            if (path.size() >= network.nodes.size()) {
                loop = true;
                break;
            }
            path.push_back(p->systemAddress);
        }
        if (loop) {
            Fail(network, node, kRouteLoopFoundText);
            break;
        }
        std::string text;
        for (auto it = path.rbegin(); it != path.rend(); ++it) text += std::to_string(*it) + " ";
        text += std::to_string(node->systemAddress) + " ";
        if (node == master) {
            text = kNoRouteMarker + text;
        } else if (node->isMulti) {
            std::string lines;
            for (const std::string& address : node->addresses) {
                lines += address + " " + text + "\r\n";
            }
            text = lines;
        } else {
            text = node->GetAddress() + " " + text;
        }
        node->routeText = text;
        if (!HasMarker(text)) {
            for (std::string& line : SplitLines(text)) tableLines.push_back(std::move(line));
        }
        if (!node->isMulti && !ParseAddress(node->GetAddress())) {
            Fail(network, node, kInvalidAddressText);
            break;
        }
    }
    if (!tableLines.empty()) master->AddSourceRoutes(tableLines);
    network.routesDirty = network.routeError;
}

void ComputeVirtualRoutes(Network& network) {
    if (!network.routesDirty) return;
    TKuvio* master = network.masterNode;
    if (!master) {
        Fail(network, nullptr, kNoMasterText);
        return;
    }
    uint32_t hop = 1;
    uint32_t label = 1;
    network.routeError = false;
    for (auto& node : network.nodes) node->ResetVirtualRoutes();

    auto& nodes = network.nodes;
    size_t start = 0;
    if (!nodes.empty() && (nodes[0].get() == master || nodes[0]->isMobile)) start = 1;
    for (size_t i = start; i < nodes.size() && !network.routeError; ++i) {
        TKuvio* node = nodes[i].get();
        if (node == master || (!node->routeParent && !node->mobileRouteParent)) continue;

        // The node maps the master's address(es) to the first label of its route.
        if (!master->noAddress) {
            if (master->isMulti) {
                if (master->addresses.empty()) Fail(network, node, kInvalidAddressText);
                for (const std::string& address : master->addresses) {
                    auto value = PositiveAddress(address);
                    if (!value) {
                        Fail(network, node, kInvalidAddressText);
                        break;
                    }
                    node->AddAddressRoute(*value, static_cast<uint16_t>(label));
                }
            } else if (!node->IsRepeater()) {
                auto value = ParseAddress(master->GetAddress());
                if (master->GetAddress().empty() || !value) {
                    Fail(network, master, kInvalidAddressText);
                } else {
                    node->AddAddressRoute(*value, static_cast<uint16_t>(label));
                }
            }
        }
        if (network.routeError) break;

        // Each hop toward the master takes the next label; the master maps the node's
        // address(es) to the last one.
        TKuvio* current = node;
        size_t steps = 0;
        for (;;) {
            TKuvio* parent = current->routeParent;
            uint32_t h = hop++;
            if (hop > 0xFFFF) {
                Fail(network, node, kTooManyLabelsText);
                break;
            }
            if (!parent || parent == master) {
                if (parent == master && !node->IsRepeater()) {
                    if (node->isMulti) {
                        for (const std::string& address : node->addresses) {
                            auto value = PositiveAddress(address);
                            if (!value) {
                                Fail(network, node, kInvalidAddressText);
                                break;
                            }
                            master->AddAddressRoute(*value, static_cast<uint16_t>(label));
                        }
                    } else {
                        auto value = ParseAddress(node->GetAddress());
                        if (node->GetAddress().empty() || !value) {
                            Fail(network, node, kInvalidAddressText);
                        } else {
                            master->AddAddressRoute(*value, static_cast<uint16_t>(label));
                        }
                    }
                }
                label = hop;
                break;
            }
            if (++steps > nodes.size()) {
                Fail(network, node, kRouteLoopFoundText);
                break;
            }
            parent->AddLabelRoute(static_cast<uint16_t>(h + 1), static_cast<uint16_t>(label));
            label = hop;
            current = parent;
        }
        if (network.routeError) break;
        node->routeText = (node->isMulti ? std::string(kMultiPortText) : node->GetAddress()) + " ";
    }

    if (network.routesComputed) {
        for (auto& node : nodes) {
            if (node->virtualRoutesBefore != node->VirtualRoutesText()) {
                node->MarkRoutesChanged(true);
            }
        }
    }
    network.routesDirty = network.routeError;
}

void ComputeRoutes(Network& network) {
    if (CheckAddresses(network)) return;
    if (network.properties.IsVirtualRouting()) {
        ComputeVirtualRoutes(network);
    } else {
        ComputeSourceRoutes(network);
    }
    network.routesComputed = true;
}

std::string ShowRoute(Network& network, TKuvio* node) {
    std::string message;
    ComputeRoutes(network);
    if (!network.routeError && node) {
        if (network.properties.IsVirtualRouting()) {
            if (node->HasVirtualRoutes()) node->ToggleVirtualRoutes();
        } else if (node == network.masterNode) {
            node->ToggleSourceRoutes();
        } else if (node->routeText == kRepeaterMarker || node->IsRepeater()) {
            message = kRepeaterNoRouteText;
        } else if (node->routeText.empty() || HasMarker(node->routeText)) {
            message = kNoRouteText;
        } else {
            message = "Route\r\n";
            bool first = true;
            for (const std::string& line : SplitLines(node->routeText)) {
                if (!first) message += "\r\n";
                message += SourceRouteTableLine(line);
                first = false;
            }
        }
        if (!message.empty()) network.prompter.Message(message);
    }
    network.currentNode = nullptr;
    return message;
}

}  // namespace kelmor::designer
