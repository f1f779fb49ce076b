#include "designer/routepayloads.h"

#include <algorithm>
#include <sstream>

#include "designer/address.h"
#include "designer/routes.h"
#include "modemcfg/protocol.h"

namespace kelmor::designer {

namespace {

RouteField ByteField(uint8_t value) { return RouteField{'B', '0', {value}}; }
RouteField WordField(char type, uint16_t value) {
    return RouteField{type, '0', {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)}};
}
RouteField AddressField(uint32_t value) {
    return RouteField{'A',
                      '0',
                      {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                       static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)}};
}

std::optional<RouteMessage> Make(RouteCode code, std::vector<RouteField> fields,
                                 std::string statusLine) {
    auto frame = FrameRouteMessage(static_cast<uint8_t>(code), fields);
    if (!frame) return std::nullopt;
    return RouteMessage{static_cast<uint8_t>(code), std::move(fields), std::move(statusLine),
                        std::move(*frame)};
}

std::optional<uint16_t> Hex16(const std::string& text) {
    auto value = ReadPrefixedHex("0x" + text);
    if (!value || *value > 0xFFFF) return std::nullopt;
    return static_cast<uint16_t>(*value);
}

std::string Trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

RouteAction SendAction(RouteMessage message) {
    RouteAction action;
    action.kind = RouteAction::Kind::Send;
    action.message = std::move(message);
    return action;
}

RouteAction ErrorAction(const char* status, const char* text) {
    RouteAction action;
    action.kind = RouteAction::Kind::Error;
    action.errorStatus = status;
    action.errorText = text;
    return action;
}

RouteAction EndAction(std::string text = {}) {
    RouteAction action;
    action.kind = RouteAction::Kind::End;
    action.errorText = std::move(text);
    return action;
}

}  // namespace

std::optional<Bytes> FrameRouteMessage(uint8_t code, const std::vector<RouteField>& fields) {
    modemcfg::MessageBuilder builder(code);
    for (const RouteField& f : fields) {
        const Bytes& v = f.value;
        auto word = [&v] { return static_cast<uint16_t>(v.size() >= 2 ? v[0] << 8 | v[1] : 0); };
        switch (f.type) {
            case 'B':
                builder.AddByte(f.tag, v.empty() ? 0 : v[0]);
                break;
            case 'W':
                builder.AddWord(f.tag, word());
                break;
            case 'J':
                builder.AddLabel(f.tag, word());
                break;
            case 'A':
                builder.AddAddress(f.tag, v.size() >= 4
                                              ? static_cast<uint32_t>(v[0]) << 24 |
                                                    static_cast<uint32_t>(v[1]) << 16 |
                                                    static_cast<uint32_t>(v[2]) << 8 | v[3]
                                              : 0);
                break;
            case 'N':
                builder.AddBlock(f.tag, v);
                break;
            default:
                builder.Add(f.type, f.tag, std::string(v.begin(), v.end()));
                break;
        }
    }
    if (!builder.Ok()) return std::nullopt;
    return builder.Finish();
}

std::optional<RouteMessage> ProtocolInfoMessage(const Network& network) {
    return ProtocolInfoMessage(network, network.activeNode);
}

std::optional<RouteMessage> ProtocolInfoMessage(const Network& network, const TKuvio* node) {
    if (!node) return std::nullopt;
    const AcceptedProperties& p = network.properties.accepted;
    uint8_t protocol = p.protocol < 0 ? 0xFF : static_cast<uint8_t>(p.protocol);
    // The network ID travels as a text field: at most 8 characters and never a 0x00.
    std::string id = p.networkId.substr(0, std::min(p.networkId.find('\0'), p.networkId.size()));
    id.resize(std::min<size_t>(id.size(), kMaxNetworkIdLength));
    RouteField idField{'S', '0', Bytes(id.begin(), id.end())};
    return Make(RouteCode::ProtocolSend,
                {ByteField(protocol), ByteField(network.properties.IsVirtualRouting() ? 1 : 0),
                 WordField('W', node->systemAddress), idField},
                "Send protocol info to modem");
}

RouteMessage OffsetLengthMessage(const Network& network) {
    const AcceptedProperties& p = network.properties.accepted;
    return *Make(RouteCode::OffsetLengthSend,
                 {ByteField(static_cast<uint8_t>(std::clamp(p.offset, 0, 16))),
                  ByteField(static_cast<uint8_t>(std::clamp(p.length, 1, 4)))},
                 "Send M (offset) and N (length) info to modem");
}

RouteMessage RemoveSourceRoutesMessage() {
    return *Make(RouteCode::SourceRoutesRemove, {}, "Remove source routings from slave modem");
}

RouteMessage RoutesSaveMessage(const std::string& statusLine) {
    return *Make(RouteCode::RoutesSave, {}, statusLine);
}

std::optional<RouteMessage> SourceRouteMessage(const std::string& routeLine, bool first,
                                               size_t index) {
    std::istringstream tokens(Trimmed(routeLine));
    std::string token;
    Bytes data;
    if (tokens >> token) {
        uint32_t address = ParseAddress(token).value_or(0);
        data = AddressField(address).value;
    } else {
        return std::nullopt;
    }
    while (tokens >> token) {
        auto system = static_cast<uint16_t>(DecimalValue(token));
        data.push_back(static_cast<uint8_t>(system >> 8));
        data.push_back(static_cast<uint8_t>(system & 0xFF));
    }
    if (data.size() > 255) return std::nullopt;
    return Make(first ? RouteCode::RoutesSendFirst : RouteCode::RoutesSend,
                {RouteField{'N', '0', std::move(data)}},
                "Send source routeinfo to modem " + std::to_string(index));
}

std::optional<RouteMessage> VirtualRouteMessage(const std::string& entry, bool first,
                                                size_t index) {
    std::string e = Trimmed(entry);
    size_t found = e.find("<->");
    size_t p = found == std::string::npos ? 0 : found + 1;
    std::vector<RouteField> fields;
    if (p < 8) {
        if (e.size() < 13) return std::nullopt;
        auto towardMaster = Hex16(e.substr(0, 4));
        auto towardFar = Hex16(e.substr(9, 4));
        if (!towardMaster || !towardFar) return std::nullopt;
        fields = {WordField('J', *towardMaster), WordField('J', *towardFar)};
    } else {
        if (e.size() < 17) return std::nullopt;
        auto address = ReadPrefixedHex("0x" + e.substr(0, 8));
        auto label = Hex16(e.substr(13, 4));
        if (!address || !label) return std::nullopt;
        fields = {AddressField(*address), WordField('J', *label)};
    }
    return Make(first ? RouteCode::VirtualRoutesSendFirst : RouteCode::VirtualRoutesSend,
                std::move(fields), "Send virtual routeinfo to modem " + std::to_string(index));
}

std::vector<std::string> CollectSourceRouteLines(const Network& network) {
    std::vector<std::string> lines;
    for (const auto& owned : network.nodes) {
        const TKuvio* node = owned.get();
        if (node == network.masterNode) continue;
        const std::string& text = node->routeText;
        // A node without a computed route has nothing to send.
        if (text.empty() || text == kNoRouteMarker || text == kRepeaterMarker) continue;
        if (node->isMobile && !network.mobileView) continue;
        if (node->isMulti) {
            size_t start = 0;
            while (start < text.size()) {
                size_t end = text.find("\r\n", start);
                if (end == std::string::npos) end = text.size();
                if (end > start) lines.push_back(text.substr(start, end - start));
                start = end + 2;
            }
        } else {
            lines.push_back(text);
        }
    }
    return lines;
}

std::vector<std::string> CollectVirtualRouteEntries(const Network& network) {
    return CollectVirtualRouteEntries(network, network.activeNode);
}

std::vector<std::string> CollectVirtualRouteEntries(const Network& network, const TKuvio* node) {
    if (!node || !node->HasVirtualRoutes()) return {};
    if (node->isMobile && !network.mobileView) return {};
    return node->VirtualRoutes();
}

RouteAction RouteSequence::SendProtocolInfo(const Network& network) {
    auto message = ProtocolInfoMessage(network, node ? node : network.activeNode);
    if (!message) return ErrorAction(kSendProtocolErrorStatus, kProtocolErrorText);
    return SendAction(std::move(*message));
}

RouteAction RouteSequence::SendOffsetLength(const Network& network) {
    return SendAction(OffsetLengthMessage(network));
}

RouteAction RouteSequence::SendRemoveSourceRoutes() {
    return SendAction(RemoveSourceRoutesMessage());
}

RouteAction RouteSequence::SendSourceRoutes(const Network& network, bool first) {
    virtualSequence = false;
    if (first) {
        if (network.nodes.empty()) return EndAction();
        items = CollectSourceRouteLines(network);
        index = 0;
    }
    if (index >= items.size()) {
        bool none = first || items.empty();
        items.clear();
        index = 0;
        pending = Pending::None;
        return SendAction(
            RoutesSaveMessage(none ? kNoSourceRouteText : "Send source route saving command"));
    }
    auto message = SourceRouteMessage(items[index], index == 0, index);
    if (!message) {
        items.clear();
        pending = Pending::None;
        return ErrorAction(kSendSourceRouteErrorStatus, kSourceRouteErrorText);
    }
    pending = Pending::Routes;
    ++index;
    return SendAction(std::move(*message));
}

RouteAction RouteSequence::SendVirtualRoutes(const Network& network, bool first) {
    virtualSequence = true;
    if (first) {
        const TKuvio* target = node ? node : network.activeNode;
        if (!target) return EndAction();
        items = CollectVirtualRouteEntries(network, target);
        index = 0;
    }
    if (index >= items.size()) {
        items.clear();
        index = 0;
        pending = Pending::None;
        return SendAction(RoutesSaveMessage("Send virtual route saving command"));
    }
    auto message = VirtualRouteMessage(items[index], index == 0, index);
    if (!message) {
        items.clear();
        pending = Pending::None;
        return ErrorAction(kSendVirtualRouteErrorStatus, kVirtualRouteErrorText);
    }
    pending = Pending::Routes;
    ++index;
    return SendAction(std::move(*message));
}

RouteAction RouteSequence::OnReply(Network& network, uint8_t replyCode,
                                   std::optional<uint8_t> byte5, bool hasFields) {
    const bool virtualRouting = network.properties.IsVirtualRouting();
    TKuvio* target = node ? node : network.activeNode;
    switch (replyCode) {
        case 2:  // ParamsSend: a reply with fields is a parameter error, the exchange's business
            return hasFields ? EndAction() : SendProtocolInfo(network);
        case 11: {  // ProtocolSend: a non-zero byte asks for the address offset and length
            if (byte5.value_or(0) != 0) return SendOffsetLength(network);
            RouteAction action;
            action.kind = RouteAction::Kind::ParamsSave;
            return action;
        }
        case 7: {
            RouteAction action;
            action.kind = RouteAction::Kind::ParamsSave;
            return action;
        }
        case 6:  // ParamsSave
            if (byte5.value_or(0) == 0) return EndAction();
            if (!virtualRouting) {
                if (target && target == network.masterNode) {
                    return SendSourceRoutes(network, true);
                }
                return SendRemoveSourceRoutes();
            }
            if (target && target->HasVirtualRoutes()) {
                return SendVirtualRoutes(network, true);
            }
            return EndAction();
        case 4:
            if (byte5 == 1) return SendSourceRoutes(network, false);
            pending = Pending::None;
            return EndAction(byte5 == 2 ? kRoutingNotAvailableText : kRoutesSendErrorText);
        case 10:
            if (byte5 == 1) return SendVirtualRoutes(network, false);
            pending = Pending::None;
            return EndAction(byte5 == 2 ? kRoutingNotAvailableText : kVirtualRoutesSendErrorText);
        case 12:
            if (target && target->routesChanged) target->MarkRoutesChanged(false);
            return EndAction();
        case 15:
            return EndAction();
        case 1:
        case 8:
            // The modem restarted while routes were in flight: the sequence starts again.
            if (pending != Pending::Routes) break;
            return virtualRouting ? SendVirtualRoutes(network, true)
                                  : SendSourceRoutes(network, true);
        default:
            break;
    }
    return RouteAction{};
}

}  // namespace kelmor::designer
