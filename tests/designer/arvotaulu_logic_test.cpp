// The property table's cells, copy and save text, the column a double click opens, and the
// listing source that feeds the table and the printouts.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "designer/nodelisting.h"
#include "designer/propertytable.h"
#include "netbuilder.h"
#include "platform/programdir.h"

namespace kelmor::designer {
namespace {

using testing::TestNetwork;

NodeListing ShortListing(const TKuvio& node) {
    char address[8];
    std::snprintf(address, sizeof address, "%04X", node.systemAddress);
    return {{"Modem name:", node.name},
            {"Terminal address:", node.GetAddress()},
            {"Modem address:", address},
            {"Channel:", node.typeName + "-" + node.name}};
}

TKuvio& AddOfType(TestNetwork& t, const std::string& name, const std::string& type, uint16_t sys) {
    TKuvio& n = t.Add(name, "1" + name, sys);
    n.typeName = type;
    return n;
}

TEST(PropertyTable, OneTabPerTypeInOrderOfFirstAppearanceColumnsInNetworkOrder) {
    TestNetwork t;
    AddOfType(t, "a1", "KL450.smf", 0x10);
    AddOfType(t, "b1", "KL160", 0x11);
    AddOfType(t, "a2", "KL450.smf", 0x12);
    AddOfType(t, "a3", "KL450.spf", 0x13);  // the same definition file
    auto tabs = BuildPropertyTable(t.net, ShortListing);
    ASSERT_EQ(tabs.size(), 2u);
    EXPECT_EQ(tabs[0].typeName, "KL450");
    EXPECT_EQ(tabs[1].typeName, "KL160");
    ASSERT_EQ(tabs[0].ColumnCount(), 4);
    ASSERT_EQ(tabs[0].RowCount(), 4);
    EXPECT_EQ(tabs[0].cells[0], (std::vector<std::string>{"Modem name:", "a1", "a2", "a3"}));
    EXPECT_EQ(tabs[0].cells[2],
              (std::vector<std::string>{"Modem address:", "0010", "0012", "0013"}));
    EXPECT_EQ(tabs[0].nodes[2], t.net.nodes[3].get());
    EXPECT_EQ(tabs[1].cells[3], (std::vector<std::string>{"Channel:", "KL160-b1"}));

    TestNetwork empty;
    EXPECT_TRUE(BuildPropertyTable(empty.net, ShortListing).empty());
    EXPECT_EQ(PropertyTableCaption(empty.net), "Property table of all the modems");
    empty.net.singleModemMode = true;
    EXPECT_EQ(PropertyTableCaption(empty.net), "Property table");
}

TEST(PropertyTable, ALongerListingGrowsTheGridAndLeavesShortColumnsBlank) {
    TestNetwork t;
    AddOfType(t, "short", "T", 1);
    AddOfType(t, "long", "T", 2);
    auto tabs = BuildPropertyTable(t.net, [](const TKuvio& n) {
        NodeListing l = ShortListing(n);
        if (n.name == "long") l.push_back({"Extra:", "x"});
        return l;
    });
    ASSERT_EQ(tabs[0].RowCount(), 5);
    // Captions come from the tab's first node.
    EXPECT_EQ(tabs[0].cells[4], (std::vector<std::string>{"", "", "x"}));
}

TEST(PropertyTable, CopyIsTabSeparatedRowsWithAClosingLineBreak) {
    PropertyTab tab;
    tab.cells = {{"c0", "a", "b"}, {"c1", "1", "2"}, {"c2", "3", "4"}};
    EXPECT_EQ(CopyCells(tab, {1, 1, 2, 2}), "1\t2\r\n3\t4\r\n\r\n");
    EXPECT_EQ(CopyCells(tab, {0, 0, 0, 0}), "c0\r\n\r\n");
    // Select all: fixed cells included; a range past the grid is clamped.
    EXPECT_EQ(CopyCells(tab, {0, 0, 99, 99}), "c0\ta\tb\r\nc1\t1\t2\r\nc2\t3\t4\r\n\r\n");
}

TEST(PropertyTable, SavedTextHasATypeLineAndRoundTripsTheCells) {
    PropertyTab one;
    one.typeName = "KL160";
    one.cells = {{"Modem name:", "n"}, {"Modem address:", "0001"}};
    EXPECT_EQ(TableText({one}),
              "Modem type KL160\r\nModem name:\tn\r\nModem address:\t0001\r\n\r\n\r\n");

    TestNetwork t;
    AddOfType(t, "a1", "KL450", 1);
    AddOfType(t, "b 1", "KL160", 2);
    AddOfType(t, "", "KL450", 3);  // an empty name is an empty cell
    auto tabs = BuildPropertyTable(t.net, ShortListing);
    std::string path = platform::ProgramDir() + "/grid.txt";
    std::ofstream(path, std::ios::binary) << TableText(tabs);
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto back = ParseTableText(text);
    ASSERT_EQ(back.size(), tabs.size());
    for (size_t i = 0; i < tabs.size(); ++i) {
        EXPECT_EQ(back[i].typeName, tabs[i].typeName);
        EXPECT_EQ(back[i].cells, tabs[i].cells);
    }
}

TEST(PropertyTable, DoubleClickFindsTheNodeByItsModemAddress) {
    TestNetwork t;
    AddOfType(t, "a", "T", 0x1A);
    TKuvio& b = AddOfType(t, "b", "T", 0xBEEF);
    auto tabs = BuildPropertyTable(t.net, ShortListing);
    EXPECT_EQ(NodeOfColumn(t.net, tabs[0], 2), &b);
    EXPECT_EQ(NodeOfColumn(t.net, tabs[0], 1), t.net.nodes[0].get());
    EXPECT_EQ(NodeOfColumn(t.net, tabs[0], 0), nullptr);
    EXPECT_EQ(NodeOfColumn(t.net, tabs[0], 3), nullptr);
    tabs[0].cells[2][1] = "--";  // single-modem mode
    EXPECT_EQ(NodeOfColumn(t.net, tabs[0], 1), nullptr);
    tabs[0].cells[2][1] = "7777";  // no such node
    EXPECT_EQ(NodeOfColumn(t.net, tabs[0], 1), nullptr);
}

TEST(NodeListing, CaptionsFromTheDefinitionAndStoredValuesWhenItIsMissing) {
    const std::string folder = platform::ProgramDir();
    std::ofstream(folder + "/TINY.smf", std::ios::binary)
        << "[Version]\r\nName=TINY\r\nVersion number=1\r\nKelmor ini=x\r\n"
           "[Properties]\r\nB01=Radio channel\r\nB01_v=3\r\nM01=Local echo\r\nM01_v=3\r\n";
    TestNetwork t;
    TKuvio& known = AddOfType(t, "known", "TINY", 0x21);
    known.PutParameter('B', '0', true, true, "7");
    known.PutParameter('M', '0', true, true, "1");
    TKuvio& lost = AddOfType(t, "lost", "GONE", 0x22);
    lost.PutParameter('B', '0', true, true, "42");

    NodeListingSource source(folder, '0');
    NodeListing listing = source(known);
    ASSERT_EQ(listing.size(), 5u);
    EXPECT_EQ(listing[0].value, "known");
    EXPECT_EQ(listing[2].value, "0021");
    EXPECT_EQ(listing[3].caption, "Radio channel:");
    EXPECT_EQ(listing[3].value, "7");
    EXPECT_EQ(listing[4].caption, "Local echo");
    EXPECT_EQ(listing[4].value, "<ON>");

    NodeListing missing = source(lost);
    ASSERT_GE(missing.size(), 5u);
    EXPECT_EQ(missing[0].value, "lost");
    EXPECT_EQ(missing[3].caption, "NO DEFINITION FILE");
    EXPECT_EQ(missing[3].value, "GONE.smf");
    EXPECT_EQ(missing[4].value, "42");

    // Both land in the table under their own type.
    auto tabs = BuildPropertyTable(t.net, source.Lister());
    ASSERT_EQ(tabs.size(), 2u);
    EXPECT_EQ(tabs[1].typeName, "GONE");
    EXPECT_EQ(tabs[1].cells[4][1], "42");
}

}  // namespace
}  // namespace kelmor::designer
