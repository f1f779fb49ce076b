#pragma once
// Route distribution: the messages that follow a modem's parameters in routing mode (protocol
// information, address offset and length, the source-route table or its removal, the virtual
// route table, the save command), and the sequence state that the modem exchange drives reply
// by reply. Nothing here touches a port: each call returns the frame to send.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "designer/network.h"

namespace kelmor::designer {

using Bytes = std::vector<uint8_t>;

// Command codes of the route messages.
enum class RouteCode : uint8_t {
    RoutesSend = 4,
    ParamsSave = 6,
    OffsetLengthSend = 7,
    VirtualRoutesSend = 10,
    ProtocolSend = 11,
    RoutesSave = 12,
    RoutesSendFirst = 13,
    VirtualRoutesSendFirst = 14,
    SourceRoutesRemove = 15,
};

// One field as it travels: type letter, tag '0' and its value bytes.
struct RouteField {
    char type = 'B';
    char tag = '0';
    Bytes value;  // B: 1 byte; W, J: 2 bytes high first; A: 4 bytes high first; S: the text;
                  // N: the data bytes (the length byte is added when framing)
    bool operator==(const RouteField&) const = default;
};

struct RouteMessage {
    uint8_t code = 0;
    std::vector<RouteField> fields;
    std::string statusLine;
    Bytes frame;  // '$', code, 0x00, fields, 'L', CRC high, CRC low
};

// Frames code and fields; nothing when a field cannot travel (a block over 255 bytes).
std::optional<Bytes> FrameRouteMessage(uint8_t code, const std::vector<RouteField>& fields);

inline constexpr const char* kNoSourceRouteText = "No source route to send";
inline constexpr const char* kSendSourceRouteErrorStatus = "Send source route error";
inline constexpr const char* kSourceRouteErrorText = "Source route transmit error";
inline constexpr const char* kSendVirtualRouteErrorStatus = "Send virtual route error";
inline constexpr const char* kVirtualRouteErrorText = "Virtual route transmit error";
inline constexpr const char* kSendProtocolErrorStatus = "Send protocol error";
inline constexpr const char* kProtocolErrorText = "Protocol error";
inline constexpr const char* kRoutesSendErrorText = "Error in sending routes to modem !!";
inline constexpr const char* kRoutingNotAvailableText =
    "Routing NOT available in this modem version !!";
inline constexpr const char* kVirtualRoutesSendErrorText =
    "ERROR sending virtualrouteinfo to this modem !!";

// Message 1 for a node (protocol index 0xFF when none is selected); without one for the
// network's active node.
std::optional<RouteMessage> ProtocolInfoMessage(const Network& network, const TKuvio* node);
std::optional<RouteMessage> ProtocolInfoMessage(const Network& network);
RouteMessage OffsetLengthMessage(const Network& network);
RouteMessage RemoveSourceRoutesMessage();
RouteMessage RoutesSaveMessage(const std::string& statusLine);
// One route line ("00AB 3 5 7 ") as RoutesSendFirst or RoutesSend; nothing when the line has
// more system addresses than one block can carry (125).
std::optional<RouteMessage> SourceRouteMessage(const std::string& routeLine, bool first,
                                               size_t index);
// One table entry ("000000F0 <-> 0001" or "0003 <-> 0002").
std::optional<RouteMessage> VirtualRouteMessage(const std::string& entry, bool first, size_t index);

// The route lines the master receives, in sending order.
std::vector<std::string> CollectSourceRouteLines(const Network& network);
// A node's table entries that are sent; without a node the active node's.
std::vector<std::string> CollectVirtualRouteEntries(const Network& network, const TKuvio* node);
std::vector<std::string> CollectVirtualRouteEntries(const Network& network);

// What the exchange is to do next.
struct RouteAction {
    enum class Kind {
        Send,        // send message.frame (its status line first)
        ParamsSave,  // the exchange's own save-parameters command comes next
        End,         // the exchange ends (with errorText shown, when set)
        Error,       // building a message failed: status line errorStatus as an error, then
                     // errorText, and the exchange ends
        NotMine,     // the reply is not part of route distribution
    };
    Kind kind = Kind::NotMine;
    RouteMessage message;
    std::string errorStatus;
    std::string errorText;
};

// The sequence state of one designer window.
class RouteSequence {
  public:
    enum class Pending { None = 0, Routes = 5 };

    // The node the distribution is for. An exchange fixes it when it begins, so a click on
    // another node meanwhile changes nothing of what is sent; null: the network's active node.
    TKuvio* node = nullptr;

    RouteAction SendProtocolInfo(const Network& network);
    RouteAction SendOffsetLength(const Network& network);
    RouteAction SendRemoveSourceRoutes();
    RouteAction SendSourceRoutes(const Network& network, bool first);
    RouteAction SendVirtualRoutes(const Network& network, bool first);

    // The step that follows a reply of the modem (code with bit 7 cleared; byte5 the byte at
    // offset 5 when the reply has one; hasFields whether a field follows the header).
    RouteAction OnReply(Network& network, uint8_t replyCode, std::optional<uint8_t> byte5,
                        bool hasFields);

    Pending pending = Pending::None;
    std::vector<std::string> items;
    size_t index = 0;
    bool virtualSequence = false;
};

}  // namespace kelmor::designer
