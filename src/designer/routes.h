#pragma once
// Route computation from the drawn network: the address check, source routes (the master's
// table of address + path), virtual routes (a label per hop, a mapping table per node) and the
// texts of "&Show route". Every failure shows its message, sets routeError and makes the node
// at fault the active one.
#include "designer/network.h"

namespace kelmor::designer {

inline constexpr const char* kDuplicateAddressText =
    "Duplicate address found and set as active modem";
inline constexpr const char* kInvalidHexAddressText =
    "Invalid hex address found. Modem set as active modem";
inline constexpr const char* kNoMasterText = "Error: Network must have a master modem";
inline constexpr const char* kNoDefinedAddressText =
    "No defined address in modem shown as active modem";
inline constexpr const char* kInvalidAddressText = "Invalid address in modem shown as active modem";
inline constexpr const char* kRouteLoopFoundText =
    "Routes form a loop: the route of the modem shown as active modem never reaches the master";
inline constexpr const char* kRepeaterNoRouteText = "Repeater.\r\nNo route";
inline constexpr const char* kNoRouteText = "Modem has no route";

inline constexpr const char* kRepeaterMarker = "toistin";
inline constexpr const char* kNoRouteMarker = "tyhja";

// True when an address is duplicated or malformed.
bool CheckAddresses(Network& network);
void ComputeSourceRoutes(Network& network);
void ComputeVirtualRoutes(Network& network);
// The address check, then the computation of the project's routing type.
void ComputeRoutes(Network& network);

// "&Show route": computes, then toggles the node's panel or shows its route. Returns the
// message shown (empty when a panel was toggled or the computation failed).
std::string ShowRoute(Network& network, TKuvio* node);

}  // namespace kelmor::designer
