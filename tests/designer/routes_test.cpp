#include "designer/routes.h"

#include <gtest/gtest.h>

#include "netbuilder.h"

namespace kelmor::designer {
namespace {

using testing::TestNetwork;
using Lines = std::vector<std::string>;

TEST(CheckAddressesTest, FindsDuplicatesByValueAndMalformedAddresses) {
    struct Case {
        std::vector<std::string> addresses;  // one plain node each; "R" makes a repeater
        const char* message;                 // nullptr: no error
        int activeIndex;
    } cases[] = {
        {{"0A", "a"}, kDuplicateAddressText, 1},
        {{"0A", "0B", "000A"}, kDuplicateAddressText, 2},
        {{"0x1A", " 1a "}, kDuplicateAddressText, 1},
        {{"01", "xyz"}, kInvalidHexAddressText, 1},
        {{"", "01"}, kInvalidHexAddressText, 0},
        {{"1FFFFFFFF"}, kInvalidHexAddressText, 0},
        {{"0A", "R", "R", "0B"}, nullptr, -1},
        {{"FFFFFFFF", "0"}, nullptr, -1},
    };
    for (const Case& c : cases) {
        TestNetwork t;
        uint16_t system = 1;
        for (const std::string& a : c.addresses) {
            if (a == "R") {
                t.Repeater("R", system++);
            } else {
                t.Add(a, a, system++);
            }
        }
        t.net.activeNode = nullptr;
        bool error = CheckAddresses(t.net);
        SCOPED_TRACE(::testing::PrintToString(c.addresses));
        EXPECT_EQ(error, c.message != nullptr);
        EXPECT_EQ(t.net.routeError, c.message != nullptr);
        if (c.message) {
            EXPECT_EQ(t.prompter.Texts(), Lines{c.message});
            EXPECT_EQ(t.net.activeNode, t.net.NodeAt(static_cast<size_t>(c.activeIndex)));
        } else {
            EXPECT_EQ(t.prompter.Count(), 0u);
        }
    }
}

TEST(CheckAddressesTest, ChecksEveryAddressOfAMultiPortNode) {
    TestNetwork t;
    t.Add("A", "0C", 1);
    TKuvio& multi = t.Add("M", "", 2, Kind::Multi);
    multi.PutAddressAt(0, "0A");
    multi.PutAddressAt(1, "0B");
    EXPECT_FALSE(CheckAddresses(t.net));
    multi.PutAddressAt(2, "00b");
    EXPECT_TRUE(CheckAddresses(t.net));
    EXPECT_EQ(t.prompter.Texts(), Lines{kDuplicateAddressText});
    EXPECT_EQ(t.net.activeNode, &multi);
}

// Master M (F0, system 1); A (A1, 2) under M; R a repeater (3) under A; B (B2, 4) under R.
struct Chain : TestNetwork {
    TKuvio& m = Add("M", "F0", 1, Kind::Master);
    TKuvio& a = Add("A", "A1", 2);
    TKuvio& r = Repeater("R", 3);
    TKuvio& b = Add("B", "B2", 4);
    Chain() {
        Link(m, a);
        Link(a, r);
        Link(r, b);
    }
};

TEST(SourceRoutesTest, RouteTextsAndTheMastersTable) {
    Chain t;
    TKuvio& lonely = t.Add("L", "0C", 9);
    ComputeRoutes(t.net);
    EXPECT_FALSE(t.net.routeError);
    EXPECT_FALSE(t.net.routesDirty);
    EXPECT_TRUE(t.net.routesComputed);
    EXPECT_EQ(t.m.routeText, "tyhja1 ");
    EXPECT_EQ(t.a.routeText, "A1 2 ");
    EXPECT_EQ(t.r.routeText, "toistin");
    // The repeater's system address is on the way, and it has no line of its own.
    EXPECT_EQ(t.b.routeText, "B2 2 3 4 ");
    EXPECT_EQ(lonely.routeText, "tyhja");
    EXPECT_EQ(t.m.SourceRoutes(), (Lines{"000000A1 0002", "000000B2 0002 0003 0004"}));
    EXPECT_EQ(t.prompter.Count(), 0u);
}

TEST(SourceRoutesTest, MultiPortNodeGivesALinePerAddressAndMobileFollowsMobileParents) {
    Chain t;
    TKuvio& multi = t.Add("X", "", 5, Kind::Multi);
    multi.PutAddressAt(0, "30");
    multi.PutAddressAt(1, "10");
    multi.PutAddressAt(2, "20");
    t.Link(t.a, multi);
    TKuvio& car = t.Add("Car", "C0", 6, Kind::Mobile);
    t.Link(t.a, car);              // its normal route is not used
    car.mobileRouteParent = &t.b;  // M - A - R - B - Car
    ComputeRoutes(t.net);
    ASSERT_FALSE(t.net.routeError);
    EXPECT_EQ(multi.routeText, "30 2 5 \r\n10 2 5 \r\n20 2 5 \r\n");
    EXPECT_EQ(car.routeText, "C0 4 6 ");
    EXPECT_EQ(t.m.SourceRoutes(),
              (Lines{"00000010 0002 0005", "00000020 0002 0005", "00000030 0002 0005",
                     "000000A1 0002", "000000B2 0002 0003 0004", "000000C0 0004 0006"}));
}

TEST(SourceRoutesTest, FailuresStopWithTheirMessageAndActiveNode) {
    {
        TestNetwork t;
        t.Add("A", "01", 1);
        ComputeRoutes(t.net);
        EXPECT_TRUE(t.net.routeError);
        EXPECT_TRUE(t.net.routesDirty);
        EXPECT_EQ(t.prompter.Texts(), Lines{kNoMasterText});
    }
    {
        Chain t;
        TKuvio& empty = t.Add("E", "", 7, Kind::Multi);
        t.Link(t.a, empty);
        t.net.activeNode = &t.m;
        ComputeRoutes(t.net);
        EXPECT_TRUE(t.net.routeError);
        EXPECT_EQ(t.prompter.Texts(), Lines{kNoDefinedAddressText});
        EXPECT_EQ(t.net.activeNode, &empty);
        // Results before the failure stay; a new computation runs again.
        EXPECT_EQ(t.b.routeText, "B2 2 3 4 ");
        EXPECT_TRUE(t.net.routesDirty);
    }
}

TEST(SourceRoutesTest, ALoopFromADamagedFileEndsTheWalkWithAMessage) {
    Chain t;
    TKuvio& x = t.Add("X", "0D", 8);
    TKuvio& y = t.Add("Y", "0E", 9);
    x.routeParent = &y;  // links set directly, as a damaged file can hold them
    y.routeParent = &x;
    ComputeRoutes(t.net);
    EXPECT_TRUE(t.net.routeError);
    EXPECT_EQ(t.prompter.Texts(), Lines{kRouteLoopFoundText});
    EXPECT_EQ(t.net.activeNode, &x);

    t.prompter.Clear();
    t.UseVirtualRouting();
    t.net.routesDirty = true;
    ComputeRoutes(t.net);
    EXPECT_TRUE(t.net.routeError);
    EXPECT_EQ(t.prompter.Texts(), Lines{kRouteLoopFoundText});
}

TEST(VirtualRoutesTest, LabelsFollowTheHopsAcrossTheNetwork) {
    TestNetwork t;
    t.UseVirtualRouting();
    TKuvio& m = t.Add("M", "F0", 1, Kind::Master);
    TKuvio& a = t.Add("A", "A1", 2);
    TKuvio& b = t.Add("B", "B2", 3);
    t.Link(m, a);
    t.Link(a, b);
    ComputeRoutes(t.net);
    ASSERT_FALSE(t.net.routeError);
    EXPECT_EQ(a.VirtualRoutes(), (Lines{"000000F0 <-> 0001", "0003 <-> 0002"}));
    EXPECT_EQ(b.VirtualRoutes(), (Lines{"000000F0 <-> 0002"}));
    EXPECT_EQ(m.VirtualRoutes(), (Lines{"000000A1 <-> 0001", "000000B2 <-> 0003"}));
    EXPECT_EQ(a.routeText, "A1 ");
    EXPECT_EQ(b.routeText, "B2 ");
}

TEST(VirtualRoutesTest, RepeaterRelaysLabelsAndMultiPortMasterMapsEveryAddress) {
    Chain t;  // M - A - R - B
    t.UseVirtualRouting();
    ComputeRoutes(t.net);
    ASSERT_FALSE(t.net.routeError);
    // The repeater's own walk numbers the hop from A as well.
    EXPECT_EQ(t.a.VirtualRoutes(), (Lines{"000000F0 <-> 0001", "0003 <-> 0002", "0006 <-> 0005"}));
    // The repeater gets no master entry and is not mapped at the master.
    EXPECT_EQ(t.r.VirtualRoutes(), (Lines{"0005 <-> 0004"}));
    EXPECT_EQ(t.b.VirtualRoutes(), (Lines{"000000F0 <-> 0004"}));
    EXPECT_EQ(t.m.VirtualRoutes(), (Lines{"000000A1 <-> 0001", "000000B2 <-> 0006"}));

    // A multi-port master is mapped with each of its addresses, repeaters included.
    t.m.isMulti = true;
    t.m.PutAddressAt(-1, "");
    t.m.PutAddressAt(0, "F1");
    t.m.PutAddressAt(1, "F2");
    t.net.routesDirty = true;
    ComputeRoutes(t.net);
    ASSERT_FALSE(t.net.routeError);
    EXPECT_EQ(t.a.VirtualRoutes(),
              (Lines{"000000F1 <-> 0001", "000000F2 <-> 0001", "0003 <-> 0002", "0006 <-> 0005"}));
    EXPECT_EQ(t.r.VirtualRoutes(),
              (Lines{"000000F1 <-> 0002", "000000F2 <-> 0002", "0005 <-> 0004"}));
}

TEST(VirtualRoutesTest, ChangesAreMarkedFromTheSecondComputationOn) {
    TestNetwork t;
    t.UseVirtualRouting();
    TKuvio& m = t.Add("M", "F0", 1, Kind::Master);
    TKuvio& a = t.Add("A", "A1", 2);
    TKuvio& b = t.Add("B", "B2", 3);
    TKuvio& c = t.Add("C", "C3", 4);
    TKuvio& idle = t.Add("I", "0D", 5);
    t.Link(m, a);
    t.Link(m, b);
    t.Link(m, c);
    ComputeRoutes(t.net);
    for (auto& n : t.net.nodes) EXPECT_FALSE(n->routesChanged) << n->name;

    // No change in between: nothing is recomputed and nothing is marked.
    ComputeRoutes(t.net);
    for (auto& n : t.net.nodes) EXPECT_FALSE(n->routesChanged) << n->name;

    // Moving B under A renumbers the labels after it.
    t.Link(a, b);
    t.net.routesDirty = true;
    ComputeRoutes(t.net);
    ASSERT_FALSE(t.net.routeError);
    EXPECT_TRUE(m.routesChanged);
    EXPECT_TRUE(a.routesChanged);
    EXPECT_FALSE(b.routesChanged);  // still 000000F0 <-> 0002
    EXPECT_TRUE(c.routesChanged);   // its label moved from 0003 to 0004
    EXPECT_FALSE(idle.routesChanged);
    EXPECT_EQ(c.VirtualRoutes(), (Lines{"000000F0 <-> 0004"}));
}

TEST(VirtualRoutesTest, AddressesThatDoNotConvertStopTheComputation) {
    {
        TestNetwork t;
        t.UseVirtualRouting();
        TKuvio& m = t.Add("M", "F0", 1, Kind::Master);
        TKuvio& a = t.Add("A", "A1", 2);
        t.Link(m, a);
        m.SetAddress("");
        ComputeVirtualRoutes(t.net);  // without the address check
        EXPECT_TRUE(t.net.routeError);
        EXPECT_EQ(t.prompter.Texts(), Lines{kInvalidAddressText});
        EXPECT_EQ(t.net.activeNode, &m);
    }
    {
        TestNetwork t;
        t.UseVirtualRouting();
        TKuvio& m = t.Add("M", "F0", 1, Kind::Master);
        TKuvio& x = t.Add("X", "", 2, Kind::Multi);
        x.PutAddressAt(0, "0");  // not above 0
        t.Link(m, x);
        t.net.activeNode = &m;
        ComputeRoutes(t.net);
        EXPECT_TRUE(t.net.routeError);
        EXPECT_EQ(t.prompter.Texts(), Lines{kInvalidAddressText});
        EXPECT_EQ(t.net.activeNode, &x);
    }
}

TEST(ShowRouteTest, TextsForSourceRouting) {
    Chain t;
    TKuvio& multi = t.Add("X", "", 5, Kind::Multi);
    multi.PutAddressAt(0, "10");
    multi.PutAddressAt(1, "20");
    t.Link(t.a, multi);
    TKuvio& lonely = t.Add("L", "0C", 9);
    EXPECT_EQ(ShowRoute(t.net, &t.b), "Route\r\n000000B2 0002 0003 0004");
    EXPECT_EQ(ShowRoute(t.net, &multi), "Route\r\n00000010 0002 0005\r\n00000020 0002 0005");
    EXPECT_EQ(ShowRoute(t.net, &t.r), "Repeater.\r\nNo route");
    EXPECT_EQ(ShowRoute(t.net, &lonely), kNoRouteText);
    EXPECT_EQ(ShowRoute(t.net, &t.m), "");
    EXPECT_TRUE(t.m.SourceRoutesShown());
    EXPECT_EQ(t.net.currentNode, nullptr);

    t.UseVirtualRouting();
    t.net.routesDirty = true;
    EXPECT_EQ(ShowRoute(t.net, &t.a), "");
    EXPECT_TRUE(t.a.VirtualRoutesShown());
}

}  // namespace
}  // namespace kelmor::designer
