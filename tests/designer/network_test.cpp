#include "designer/network.h"

#include <gtest/gtest.h>

#include "designer/definitiontypes.h"
#include "netbuilder.h"
#include "platform/inifile.h"
#include "platform/programdir.h"

namespace kelmor::designer {
namespace {

using platform::Answer;
using testing::TestNetwork;

TEST(TKuvioTest, KindChangesSetFlagsAndMultiPortDropsEmptyAddresses) {
    TKuvio node;
    node.PutAddressAt(1, "0A");  // appends: ["", "0A"]
    node.PutAddressAt(5, "");    // appends: ["", "0A", ""]
    node.SetKind(Kind::Multi);
    EXPECT_EQ(node.addresses, (std::vector<std::string>{"0A"}));
    EXPECT_EQ(node.GetAddress(), "multi port");
    EXPECT_EQ(node.AddressAt(0), "0A");
    EXPECT_EQ(node.AddressAt(1), "@@");
    node.SetAddress("FF");  // ignored for a multi-port node
    EXPECT_EQ(node.addresses, (std::vector<std::string>{"0A"}));

    node.SetKind(Kind::Mobile);
    EXPECT_TRUE(node.isMobile);
    EXPECT_FALSE(node.isMulti || node.isMaster);
    node.SetKind(Kind::Master);
    EXPECT_TRUE(node.isMaster);
    EXPECT_FALSE(node.isMulti || node.isMobile);
    node.SetKind(Kind::Plain);
    EXPECT_EQ(node.GetKind(), Kind::Plain);

    node.PutAddressAt(-1, "");
    EXPECT_TRUE(node.addresses.empty());
}

TEST(TKuvioTest, DefinitionFileNameReplacesTheExtension) {
    TKuvio node;
    for (auto [type, file] : {std::pair{"RM400", "RM400.smf"},
                              {"RM400.ssf", "RM400.smf"},
                              {"RM400.smf", "RM400.smf"},
                              {"v1.2/RM", "v1.2/RM.smf"}}) {
        node.typeName = type;
        EXPECT_EQ(node.DefinitionFileName(), file) << type;
    }
}

TEST(TKuvioTest, PutParameterFollowsTheCursorAndTheShownRule) {
    TKuvio node;
    // A false set-shown flag on a new list appends an all-zero entry and stores nothing.
    node.PutParameter('B', '1', false, true, "5");
    ASSERT_EQ(node.parameters.size(), 1u);
    EXPECT_EQ(node.parameters[0], (modemcfg::ModemParam{0, 0, false, ""}));

    node.ClearParameters();
    node.PutParameter('B', '1', true, true, "1");
    node.PutParameter('W', '2', true, false, "2");
    node.PutParameter('S', '3', true, true, "three");
    ASSERT_EQ(node.parameters.size(), 3u);

    // After a rewind, fewer writes leave the rest unchanged; a false flag updates only
    // entries that are shown.
    node.RewindParameters();
    node.PutParameter('B', '1', false, false, "10");  // shown entry: updated
    node.PutParameter('W', '2', false, false, "20");  // not shown: left alone
    EXPECT_EQ(node.parameters[0].value, "10");
    EXPECT_TRUE(node.parameters[0].shown);
    EXPECT_EQ(node.parameters[1].value, "2");
    EXPECT_EQ(node.parameters[2].value, "three");
    EXPECT_EQ(node.parameters.size(), 3u);

    ParameterRead r = node.ReadParameter(true);
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.type, 'B');
    EXPECT_EQ(r.value, "10");
    node.ReadParameter(false);
    node.ReadParameter(false);
    r = node.ReadParameter(false);
    EXPECT_FALSE(r.found);
    EXPECT_EQ(r.type, ' ');
    EXPECT_EQ(r.level, '0');
    EXPECT_EQ(r.value, "ERROR");
    EXPECT_EQ(node.ReadParameter(true).value, "10");
}

TEST(TKuvioTest, VirtualTableOrderDependsOnItsFirstEntry) {
    TKuvio addressFirst;
    addressFirst.AddAddressRoute(0xF0, 2);
    addressFirst.AddLabelRoute(3, 1);
    EXPECT_EQ(addressFirst.VirtualRoutes(),
              (std::vector<std::string>{"000000F0 <-> 0002", "0003 <-> 0001"}));

    TKuvio labelFirst;
    labelFirst.AddLabelRoute(5, 4);
    labelFirst.AddLabelRoute(3, 2);
    labelFirst.AddAddressRoute(0xAB, 7);
    EXPECT_EQ(labelFirst.NextVirtualRoute(true), "000000AB <-> 0007");
    EXPECT_EQ(labelFirst.NextVirtualRoute(false), "0003 <-> 0002");
    EXPECT_EQ(labelFirst.NextVirtualRoute(false), "0005 <-> 0004");
    EXPECT_EQ(labelFirst.NextVirtualRoute(false), "");

    EXPECT_EQ(*labelFirst.VirtualRoutesText(),
              "000000AB <-> 0007\r\n0003 <-> 0002\r\n0005 <-> 0004\r\n");
    labelFirst.ResetVirtualRoutes();
    EXPECT_FALSE(labelFirst.HasVirtualRoutes());
    EXPECT_EQ(*labelFirst.virtualRoutesBefore,
              "000000AB <-> 0007\r\n0003 <-> 0002\r\n0005 <-> 0004\r\n");
    labelFirst.ResetVirtualRoutes();
    EXPECT_FALSE(labelFirst.virtualRoutesBefore.has_value());
}

TEST(TKuvioTest, SourceRouteLinesAreConvertedAndSorted) {
    TKuvio master;
    master.AddSourceRoute("B2 3 65535 ");
    master.AddSourceRoute("00ab 3 5 7 ");
    EXPECT_EQ(master.SourceRoutes(),
              (std::vector<std::string>{"000000AB 0003 0005 0007", "000000B2 0003 FFFF"}));
}

TEST(NetworkTest, SetMasterAsksWhenTheNodeHasARouteAndDemotesThePreviousMaster) {
    TestNetwork t;
    TKuvio& a = t.Add("A", "A1", 1, Kind::Master);
    TKuvio& b = t.Add("B", "B2", 2);
    TKuvio& c = t.Add("C", "C3", 3);
    t.Link(a, b);
    c.mobileRouteParent = &a;

    t.prompter.Script({Answer::No});
    EXPECT_FALSE(t.net.SetMaster(&b));
    EXPECT_EQ(t.net.masterNode, &a);
    EXPECT_EQ(b.routeParent, &a);
    ASSERT_EQ(t.prompter.Count(), 1u);
    EXPECT_EQ(t.prompter.Prompts()[0].text,
              "Do you want to make this modem as Master and remove incoming route ?");
    EXPECT_EQ(t.prompter.Prompts()[0].caption, "Warning");

    t.prompter.Script({Answer::Yes});
    b.noAddress = true;
    EXPECT_TRUE(t.net.SetMaster(&b));
    EXPECT_EQ(t.net.masterNode, &b);
    EXPECT_EQ(b.routeParent, nullptr);
    EXPECT_FALSE(b.noAddress);
    EXPECT_EQ(a.GetKind(), Kind::Plain);

    // No normal route: no question; the mobile route stays.
    t.prompter.Clear();
    EXPECT_TRUE(t.net.SetMaster(&c));
    EXPECT_EQ(t.prompter.Count(), 0u);
    EXPECT_EQ(c.mobileRouteParent, &a);
    EXPECT_TRUE(t.net.modified && t.net.routesDirty);
}

TEST(NetworkTest, ConnectRefusesTheMasterAsTargetAndLoopsAndAsksBeforeReplacing) {
    TestNetwork t;
    TKuvio& m = t.Add("M", "F0", 1, Kind::Master);
    TKuvio& a = t.Add("A", "A1", 2);
    TKuvio& b = t.Add("B", "B2", 3);
    TKuvio& c = t.Add("C", "C3", 4);
    t.net.modified = false;

    EXPECT_FALSE(t.net.Connect(&a, &m));
    EXPECT_EQ(t.prompter.Texts().back(), "Route can't direct to master !!");
    EXPECT_FALSE(t.net.Connect(&a, &a));
    EXPECT_FALSE(t.net.modified);

    EXPECT_TRUE(t.net.Connect(&m, &a));
    EXPECT_TRUE(t.net.Connect(&a, &b));
    EXPECT_TRUE(t.net.Connect(&b, &c));
    // c -> a would close the loop a -> b -> c -> a.
    t.prompter.Clear();
    EXPECT_FALSE(t.net.Connect(&c, &a));
    EXPECT_EQ(a.routeParent, &m);
    EXPECT_EQ(t.prompter.Texts(), std::vector<std::string>{kRouteLoopText});

    // Replacing asks; No keeps the old route, Yes replaces it.
    t.prompter.Clear();
    t.prompter.Script({Answer::No, Answer::Yes});
    EXPECT_FALSE(t.net.Connect(&a, &c));
    EXPECT_EQ(c.routeParent, &b);
    EXPECT_TRUE(t.net.Connect(&a, &c));
    EXPECT_EQ(c.routeParent, &a);
    EXPECT_EQ(t.prompter.Texts()[0], "Replace existing route ??");
    EXPECT_EQ(t.prompter.Prompts()[0].caption, "Question");

    // The mobile view links the mobile parents and asks its own question.
    t.net.mobileView = true;
    t.prompter.Clear();
    EXPECT_TRUE(t.net.Connect(&b, &c));
    EXPECT_EQ(c.mobileRouteParent, &b);
    EXPECT_EQ(c.routeParent, &a);
    t.prompter.Script({Answer::Yes});
    EXPECT_TRUE(t.net.Connect(&a, &c));
    EXPECT_EQ(t.prompter.Texts(), std::vector<std::string>{"Replace existing mobile route ??"});
    EXPECT_EQ(t.net.RouteOf(&c), &a);
}

TEST(NetworkTest, ConnectRefusesAMobileModemAsRouteParentInBothViews) {
    TestNetwork t;
    TKuvio& m = t.Add("M", "F0", 1, Kind::Master);
    TKuvio& car = t.Add("Car", "0C", 2, Kind::Mobile);
    TKuvio& a = t.Add("A", "A1", 3);
    for (bool mobileView : {false, true}) {
        t.net.mobileView = mobileView;
        t.net.modified = false;
        t.prompter.Clear();
        EXPECT_FALSE(t.net.Connect(&car, &a));
        EXPECT_EQ(t.prompter.Texts(), std::vector<std::string>{kMobileInRouteText});
        EXPECT_EQ(a.routeParent, nullptr);
        EXPECT_EQ(a.mobileRouteParent, nullptr);
        EXPECT_FALSE(t.net.modified);
    }
    // A mobile modem still hangs at the far end of a route.
    EXPECT_TRUE(t.net.Connect(&m, &car));
    EXPECT_EQ(car.mobileRouteParent, &m);
}

TEST(NetworkTest, DeletingANodeUnlinksItsChildrenAndForgetsTheMaster) {
    TestNetwork t;
    TKuvio& m = t.Add("M", "F0", 1, Kind::Master);
    TKuvio& a = t.Add("A", "A1", 2);
    TKuvio& b = t.Add("B", "B2", 3);
    t.Link(m, a);
    t.Link(a, b);
    b.mobileRouteParent = &a;

    t.prompter.Script({Answer::No});
    EXPECT_FALSE(t.net.DeleteNode(&a));
    EXPECT_EQ(t.net.nodes.size(), 3u);

    t.net.activeNode = &a;
    t.prompter.Script({Answer::Yes});
    EXPECT_TRUE(t.net.DeleteNode(&a));
    ASSERT_EQ(t.net.nodes.size(), 2u);
    EXPECT_EQ(b.routeParent, nullptr);
    EXPECT_EQ(b.mobileRouteParent, nullptr);
    EXPECT_EQ(t.net.activeNode, nullptr);
    EXPECT_EQ(t.net.currentNode, nullptr);

    t.prompter.Script({Answer::Yes});
    EXPECT_TRUE(t.net.DeleteNode(&m));
    EXPECT_EQ(t.net.masterNode, nullptr);
    EXPECT_EQ(t.prompter.Prompts().back().text, "Do you want to delete this modem ?");
}

TEST(NetworkTest, CopyKeepsTypeParametersAndMobileKindOnly) {
    TestNetwork t;
    TKuvio& mobile = t.Add("Mob", "0A", 7, Kind::Mobile);
    mobile.typeName = "RM400.ssf";
    mobile.typeTitle = "RM 400";
    mobile.typeVersion = 5;
    mobile.PutParameter('B', '1', true, true, "3");
    mobile.PutParameter('S', '9', true, false, "x");
    TKuvio& multi = t.Add("Multi", "", 8, Kind::Multi);
    multi.PutAddressAt(0, "0B");
    t.net.lastMouseX = 100;
    t.net.lastMouseY = 200;
    int counter = t.net.nodeCounter;

    TKuvio* copy = t.net.CopyNode(&mobile);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->typeName, "RM400.smf");
    EXPECT_EQ(copy->typeTitle, "RM 400");
    EXPECT_EQ(copy->typeVersion, 5);
    EXPECT_EQ(copy->GetKind(), Kind::Mobile);
    EXPECT_EQ(copy->parameters, mobile.parameters);
    EXPECT_EQ(copy->GetAddress(), "");
    EXPECT_EQ(copy->name, "Noname");
    EXPECT_EQ(copy->systemAddress, counter + 1);
    EXPECT_EQ(copy->LabelLeft(), 85);
    EXPECT_EQ(copy->LabelTop(), 175);
    EXPECT_EQ(t.net.activeNode, copy);
    EXPECT_FALSE(copy->isNew);

    TKuvio* plain = t.net.CopyNode(&multi);
    EXPECT_EQ(plain->GetKind(), Kind::Plain);
    EXPECT_EQ(plain->GetAddress(), "");
}

TEST(NetworkTest, NewNodesTakeTheirTypeInformationFromTheDefinitionFile) {
    const std::string folder = platform::ProgramDir();
    ASSERT_TRUE(
        platform::WriteFileAtomic(folder + "/RM400.smf",
                                  "[Version]\r\nKelmor ini=1\r\nName=RM 400\r\nVersion number=5\r\n"
                                  "Settings=19200,8,N,1\r\n"));
    kelmor::testing::FakePrompter prompter;
    DefinitionTypeInfo types(folder, false, prompter);
    Network net(prompter, &types);
    TKuvio& known = net.NewNode(Kind::Plain, "RM400", 0, 0);
    EXPECT_EQ(known.typeTitle, "RM 400");
    EXPECT_EQ(known.typeVersion, 5);
    EXPECT_EQ(known.portSettings, "19200,8,N,1");
    EXPECT_EQ(known.systemAddress, 1);
    EXPECT_TRUE(known.isNew);
    TKuvio& missing = net.NewNode(Kind::Plain, "NONE", 0, 0);
    EXPECT_EQ(missing.typeTitle, "ERROR");
    EXPECT_EQ(missing.typeVersion, 0);
    EXPECT_EQ(missing.portSettings, "9600,8,N,1");
    EXPECT_EQ(missing.systemAddress, 2);
}

}  // namespace
}  // namespace kelmor::designer
