#include <gtest/gtest.h>

#include "core/crc16.h"
#include "designer/routepayloads.h"
#include "designer/routes.h"
#include "netbuilder.h"

namespace kelmor::designer {
namespace {

using testing::TestNetwork;
using Act = RouteAction::Kind;

// Appends 'L' and the CRC as every frame ends.
Bytes Framed(Bytes body) {
    body.push_back('L');
    uint16_t crc = core::Mcrf4xxCrc(body.data(), body.size());
    body.push_back(static_cast<uint8_t>(crc >> 8));
    body.push_back(static_cast<uint8_t>(crc));
    return body;
}

TEST(RoutePayloadTest, ProtocolMessageCarriesProtocolRoutingSystemAddressAndNetworkId) {
    TestNetwork t;
    TKuvio& node = t.Add("A", "01", 0x0102);
    t.net.activeNode = &node;
    t.net.properties.accepted = AcceptedProperties{"n", "ABCDEFGHIJ", 2, 0, 1, 1};
    t.UseVirtualRouting();
    auto message = ProtocolInfoMessage(t.net);
    ASSERT_TRUE(message);
    // The ID is cut to eight characters: 30 bytes.
    EXPECT_EQ(message->frame,
              Framed({'$', 11, 0,   'B', '0', 2,   0,   'B', '0', 1,   0,   'W', '0', 1,
                      2,   0,  'S', '0', 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 0}));
    EXPECT_EQ(message->frame.size(), 30u);
    EXPECT_EQ(message->statusLine, "Send protocol info to modem");

    t.net.properties.accepted.networkId = "";
    t.net.properties.accepted.protocol = -1;  // a protocol name no item matched
    message = ProtocolInfoMessage(t.net);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->frame.size(), 22u);
    EXPECT_EQ(message->frame[5], 0xFF);

    t.net.activeNode = nullptr;
    EXPECT_EQ(RouteSequence{}.SendProtocolInfo(t.net).kind, Act::Error);
}

TEST(RoutePayloadTest, FixedMessages) {
    TestNetwork t;
    t.net.properties.accepted.offset = 5;
    t.net.properties.accepted.length = 2;
    EXPECT_EQ(OffsetLengthMessage(t.net).frame,
              Framed({'$', 7, 0, 'B', '0', 5, 0, 'B', '0', 2, 0}));
    EXPECT_EQ(OffsetLengthMessage(t.net).frame.size(), 14u);
    EXPECT_EQ(RemoveSourceRoutesMessage().frame, Framed({'$', 15, 0}));
    EXPECT_EQ(RoutesSaveMessage("x").frame, Framed({'$', 12, 0}));
}

TEST(RoutePayloadTest, SourceRouteLineBecomesAnAddressAndSystemAddressBlock) {
    auto one = SourceRouteMessage("A1 2 ", true, 0);
    ASSERT_TRUE(one);
    EXPECT_EQ(one->frame, Framed({'$', 13, 0, 'N', '0', 6, 0, 0, 0, 0xA1, 0, 2, 0}));
    EXPECT_EQ(one->frame.size(), 16u);
    EXPECT_EQ(one->statusLine, "Send source routeinfo to modem 0");

    auto three = SourceRouteMessage(" 1234abcd 2 300 65535 ", false, 4);
    ASSERT_TRUE(three);
    EXPECT_EQ(three->frame, Framed({'$', 4, 0, 'N', '0', 10, 0x12, 0x34, 0xAB, 0xCD, 0, 2, 0x01,
                                    0x2C, 0xFF, 0xFF, 0}));
    EXPECT_EQ(three->statusLine, "Send source routeinfo to modem 4");

    // An address that does not convert travels as 0.
    auto bad = SourceRouteMessage("zz 1 ", false, 1);
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->frame[6] | bad->frame[7] | bad->frame[8] | bad->frame[9], 0);

    // 126 system addresses do not fit one block.
    std::string longLine = "01";
    for (int i = 0; i < 126; ++i) longLine += " 1";
    EXPECT_FALSE(SourceRouteMessage(longLine, false, 0));
}

TEST(RoutePayloadTest, VirtualEntriesBecomeLabelOrAddressFields) {
    auto address = VirtualRouteMessage("000000F0 <-> 0001", true, 0);
    ASSERT_TRUE(address);
    EXPECT_EQ(address->frame, Framed({'$', 14, 0, 'A', '0', 0, 0, 0, 0xF0, 0, 'J', '0', 0, 1, 0}));
    EXPECT_EQ(address->frame.size(), 18u);
    auto label = VirtualRouteMessage(" 0003 <-> 0002 ", false, 3);
    ASSERT_TRUE(label);
    EXPECT_EQ(label->frame, Framed({'$', 10, 0, 'J', '0', 0, 3, 0, 'J', '0', 0, 2, 0}));
    EXPECT_EQ(label->frame.size(), 16u);
    EXPECT_EQ(label->statusLine, "Send virtual routeinfo to modem 3");
    EXPECT_FALSE(VirtualRouteMessage("00G3 <-> 0002", false, 0));
    EXPECT_FALSE(VirtualRouteMessage("0003", false, 0));
}

// M (F0, 1) master; A (A1, 2) and a mobile C (C0, 3) under it; B (B2, 4) under A.
struct Routed : TestNetwork {
    TKuvio& m = Add("M", "F0", 1, Kind::Master);
    TKuvio& a = Add("A", "A1", 2);
    TKuvio& c = Add("C", "C0", 3, Kind::Mobile);
    TKuvio& b = Add("B", "B2", 4);
    Routed() {
        Link(m, a);
        c.mobileRouteParent = &m;
        Link(a, b);
    }
    void Compute() {
        net.routesDirty = true;
        ComputeRoutes(net);
        ASSERT_FALSE(net.routeError);
    }
};

// Drives a sequence with positive replies and returns the frames' codes and status lines.
std::vector<std::pair<int, std::string>> RunPositive(Network& net, RouteSequence& seq) {
    std::vector<std::pair<int, std::string>> sent;
    RouteAction action = seq.OnReply(net, 2, std::nullopt, false);
    for (int guard = 0; guard < 100; ++guard) {
        if (action.kind == Act::ParamsSave) {
            sent.emplace_back(6, "[parameters saved]");
            action = seq.OnReply(net, 6, 1, true);
            continue;
        }
        if (action.kind != Act::Send) break;
        int code = action.message.code;
        sent.emplace_back(code, action.message.statusLine);
        int reply = code == 13 ? 4 : code == 14 ? 10 : code;
        action = seq.OnReply(net, static_cast<uint8_t>(reply), 1, true);
    }
    return sent;
}

TEST(RouteSequenceTest, MasterUnderSourceRoutingReceivesItsTableThenSave) {
    Routed t;
    t.Compute();
    t.net.activeNode = &t.m;
    RouteSequence seq;
    auto sent = RunPositive(t.net, seq);
    // The mobile node's route is left out while the mobile view is off.
    EXPECT_EQ(sent, (std::vector<std::pair<int, std::string>>{
                        {11, "Send protocol info to modem"},
                        {7, "Send M (offset) and N (length) info to modem"},
                        {6, "[parameters saved]"},
                        {13, "Send source routeinfo to modem 0"},
                        {4, "Send source routeinfo to modem 1"},
                        {12, "Send source route saving command"}}));
    EXPECT_EQ(seq.pending, RouteSequence::Pending::None);

    t.net.mobileView = true;
    EXPECT_EQ(CollectSourceRouteLines(t.net),
              (std::vector<std::string>{"A1 2 ", "C0 3 ", "B2 2 4 "}));
}

TEST(RouteSequenceTest, MasterWithoutRoutesGetsSaveAtOnceAndSlavesGetRemove) {
    TestNetwork t;
    TKuvio& m = t.Add("M", "F0", 1, Kind::Master);
    TKuvio& lonely = t.Add("L", "0C", 2);
    ComputeRoutes(t.net);
    t.net.activeNode = &m;
    RouteSequence seq;
    RouteAction action = seq.OnReply(t.net, 6, 1, true);
    ASSERT_EQ(action.kind, Act::Send);
    EXPECT_EQ(action.message.code, 12);
    EXPECT_EQ(action.message.statusLine, "No source route to send");

    t.net.activeNode = &lonely;
    action = seq.OnReply(t.net, 6, 1, true);
    ASSERT_EQ(action.kind, Act::Send);
    EXPECT_EQ(action.message.code, 15);
    EXPECT_EQ(seq.OnReply(t.net, 15, 1, true).kind, Act::End);
    // A failed parameter save ends the exchange.
    EXPECT_EQ(seq.OnReply(t.net, 6, 0, true).kind, Act::End);
    // Replies that are not route replies are left to the exchange.
    EXPECT_EQ(seq.OnReply(t.net, 1, std::nullopt, false).kind, Act::NotMine);
}

TEST(RouteSequenceTest, VirtualRoutingSendsTheActiveNodesTableAndClearsItsMark) {
    Routed t;
    t.UseVirtualRouting();
    t.Compute();
    t.net.activeNode = &t.a;
    t.a.MarkRoutesChanged(true);
    RouteSequence seq;
    auto sent = RunPositive(t.net, seq);
    EXPECT_EQ(sent, (std::vector<std::pair<int, std::string>>{
                        {11, "Send protocol info to modem"},
                        {7, "Send M (offset) and N (length) info to modem"},
                        {6, "[parameters saved]"},
                        {14, "Send virtual routeinfo to modem 0"},
                        {10, "Send virtual routeinfo to modem 1"},
                        {12, "Send virtual route saving command"}}));
    EXPECT_FALSE(t.a.routesChanged);

    // A node without a table ends after its parameters; so does a mobile one's table while
    // the mobile view is off.
    TKuvio& lonely = t.Add("L", "0D", 9);
    t.Compute();
    t.net.activeNode = &lonely;
    EXPECT_EQ(seq.OnReply(t.net, 6, 1, true).kind, Act::End);
    t.net.activeNode = &t.c;
    EXPECT_TRUE(CollectVirtualRouteEntries(t.net).empty());
}

TEST(RouteSequenceTest, NegativeRepliesEndWithTheirMessagesAndARestartResends) {
    Routed t;
    t.Compute();
    t.net.activeNode = &t.m;
    struct Case {
        uint8_t reply;
        uint8_t byte5;
        const char* text;
    } cases[] = {{4, 0, kRoutesSendErrorText},
                 {4, 2, kRoutingNotAvailableText},
                 {10, 0, kVirtualRoutesSendErrorText},
                 {10, 2, kRoutingNotAvailableText}};
    for (const Case& c : cases) {
        RouteSequence seq;
        seq.SendSourceRoutes(t.net, true);
        RouteAction action = seq.OnReply(t.net, c.reply, c.byte5, true);
        EXPECT_EQ(action.kind, Act::End);
        EXPECT_EQ(action.errorText, c.text);
    }

    // The modem answered programming mode again while routes were in flight: start over.
    RouteSequence seq;
    seq.SendSourceRoutes(t.net, true);
    seq.OnReply(t.net, 4, 1, true);
    ASSERT_EQ(seq.pending, RouteSequence::Pending::Routes);
    RouteAction again = seq.OnReply(t.net, 8, std::nullopt, false);
    ASSERT_EQ(again.kind, Act::Send);
    EXPECT_EQ(again.message.code, 13);
    EXPECT_EQ(again.message.statusLine, "Send source routeinfo to modem 0");
}

}  // namespace
}  // namespace kelmor::designer
