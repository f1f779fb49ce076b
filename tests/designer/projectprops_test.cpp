#include "designer/projectprops.h"

#include <gtest/gtest.h>

#include "designer/address.h"
#include "netbuilder.h"

namespace kelmor::designer {
namespace {

using testing::TestNetwork;
using namespace std::string_literals;

TEST(AddressValueTest, TrimsPrefixesAndReportsFailuresAsError) {
    struct Case {
        std::string text;
        uint32_t value;
        std::string after;
    } cases[] = {
        {" 1a ", 0x1A, "0x1a"},
        {"0x1A", 0x1A, "0x1A"},
        {"FFFFFFFF", 0xFFFFFFFF, "0xFFFFFFFF"},
        {"000000000A", 0x0A, "0x000000000A"},
        {"xyz", 0, "error"},
        {"", 0, "error"},
        {"1FFFFFFFF", 0, "error"},
        {"0X1A", 0, "error"},  // "0X" is not the prefix: "0x0X1A" does not read
        {"1 2", 0, "error"},
    };
    for (Case c : cases) {
        std::string text = c.text;
        EXPECT_EQ(AddressValue(text), c.value) << c.text;
        EXPECT_EQ(text, c.after) << c.text;
    }
}

TEST(ProjectPropertiesTest, ProtocolEnablesOffsetAndLength) {
    ProjectProperties p;
    p.controls.m = 7;
    p.controls.n = 3;
    p.ProtocolChanged(1);  // IEC60870-5-101
    EXPECT_EQ(p.controls.m, 0);
    EXPECT_EQ(p.controls.n, 1);
    EXPECT_FALSE(p.controls.mEnabled);
    EXPECT_TRUE(p.controls.nEnabled);
    EXPECT_EQ(p.controls.nMax, 2);
    p.ProtocolChanged(2);  // RP570 / 571
    EXPECT_FALSE(p.controls.mEnabled || p.controls.nEnabled);
    p.ProtocolChanged(0);
    EXPECT_TRUE(p.controls.mEnabled && p.controls.nEnabled);
    EXPECT_EQ(p.controls.nMax, 4);

    // Without reset the values stay.
    p.controls.m = 9;
    p.controls.n = 4;
    p.controls.addresstype = -1;
    p.EnableByProtocol(false);
    EXPECT_FALSE(p.controls.mEnabled || p.controls.nEnabled);
    EXPECT_EQ(p.controls.m, 9);
    EXPECT_EQ(p.controls.n, 4);
}

TEST(ProjectPropertiesTest, OkAcceptsAndCancelRestoresOnlyAfterAnOk) {
    TestNetwork t;
    ProjectProperties& p = t.net.properties;
    p.controls.nimi = "typed";
    p.Cancel();  // nothing accepted yet: the controls keep what they show
    EXPECT_EQ(p.controls.nimi, "typed");
    EXPECT_EQ(p.accepted.offset, -1);

    p.Show();  // the first show gives empty texts, M 0 and N 1
    EXPECT_EQ(p.controls.nimi, "");
    EXPECT_EQ(p.controls.m, 0);
    EXPECT_EQ(p.controls.n, 1);

    p.newProjectMode = true;
    p.controls.nimi = "Harbour";
    p.controls.netid = "h1";
    t.net.mobileView = true;
    p.RoutingTypeClick(t.net, 1);
    EXPECT_TRUE(t.net.routesDirty);
    t.net.fileNamed = true;
    p.Ok(t.net);
    EXPECT_EQ(p.accepted.name, "Harbour");
    EXPECT_EQ(p.accepted.offset, 0);
    EXPECT_EQ(t.net.projectFileName, "Harbour.spf");
    EXPECT_EQ(t.net.title, "Project: Harbour | file: Harbour.spf");
    EXPECT_FALSE(t.net.fileNamed);
    EXPECT_FALSE(t.net.mobileView);  // virtual routing turns the mobile view off
    EXPECT_FALSE(t.net.mobileRoutesEnabled);
    EXPECT_FALSE(p.newProjectMode);
    EXPECT_TRUE(t.net.modified);

    p.controls.nimi = "changed";
    p.controls.routingType = 0;
    p.Cancel();
    EXPECT_EQ(p.controls.nimi, "Harbour");
    EXPECT_TRUE(p.IsVirtualRouting());
}

TEST(ProjectPropertiesTest, BlockRoundTripAndUnknownProtocol) {
    TestNetwork t;
    ProjectProperties& p = t.net.properties;
    p.controls.nimi = "Net";
    p.controls.addresstype = 1;
    p.controls.m = 0;
    p.controls.n = 2;
    p.controls.routingType = 1;
    p.controls.netid = "12345678";
    p.controls.hexaddress = 0;
    std::string block;
    ASSERT_TRUE(p.WriteBlock(block, nullptr));
    EXPECT_EQ(block, "S\x03Net"s + "S\x0E" + "IEC60870-5-101" + "B\x00"s + "B\x02" + "B\x01" +
                         "S\x08" + "12345678" + "B\x00"s);

    TestNetwork u;
    ByteReader in(block);
    ASSERT_TRUE(u.net.properties.ReadBlock(in, "f.spf", u.net));
    EXPECT_EQ(u.net.properties.controls.nimi, "Net");
    EXPECT_EQ(u.net.properties.controls.hexaddress, 0);
    EXPECT_EQ(u.net.properties.accepted.length, 2);
    EXPECT_FALSE(u.net.properties.controls.mEnabled);
    EXPECT_EQ(u.net.title, "Project: Net | file: f.spf");

    std::string unknown =
        "S\x01X"s + "S\x05" + "Other" + "B\x03" + "B\x02" + "B\x00"s + "S\x00"s + "B\x01";
    ByteReader in2(unknown);
    ASSERT_TRUE(u.net.properties.ReadBlock(in2, "g.spf", u.net));
    EXPECT_EQ(u.net.properties.accepted.protocol, -1);
    EXPECT_FALSE(u.net.properties.controls.mEnabled || u.net.properties.controls.nEnabled);
    EXPECT_EQ(u.net.properties.accepted.offset, 3);
    EXPECT_TRUE(u.net.mobileRoutesEnabled);

    const std::string cutBytes = unknown.substr(0, 9);
    ByteReader cut(cutBytes);
    EXPECT_FALSE(u.net.properties.ReadBlock(cut, "h.spf", u.net));
}

}  // namespace
}  // namespace kelmor::designer
