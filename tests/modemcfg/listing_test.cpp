// The listing of a node's values that the properties form, the property table and the printouts
// share: fixed rows, editor conversions, the factory row, and a node without its definition.
#include "modemcfg/listing.h"

#include <gtest/gtest.h>

namespace kelmor::modemcfg {
namespace {

const char* kSmf =
    "[Version]\r\nName=T\r\n[Properties]\r\n"
    "B01=Channel\r\nB01_v=3\r\n"
    "R01=Rate\r\nR01_v=1\r\nR01_1=1200\r\nR01_2=2400\r\n"
    "M51=Echo\r\nM51_v=3\r\n"
    "H01=Own\r\nH01_v=3\r\n"
    "S61=Station\r\nS61_v=0\r\n"
    "W91=Serial\r\nW91_v=3\r\n";

Definition Def() {
    Definition d = ParseDefinition("T.smf", kSmf);
    EXPECT_TRUE(d.Ok()) << d.error;
    return d;
}

NodeValues Node(ParameterList params) {
    NodeValues n;
    n.name = "Relay 4";
    n.addresses = {"00AB"};
    n.systemAddress = 0x2A;
    n.parameters = std::move(params);
    return n;
}

ModemParam P(char type, char level, std::string value) { return {type, level, true, value}; }

TEST(ListingTest, RowsFollowTheEditorsAndStopAtTheFactoryParametersBelowLevelNine) {
    Definition d = Def();
    NodeValues node = Node({P('B', '0', "300"), P('R', '0', "1"), P('M', '5', "1"),
                            P('H', '0', "123456789A"), P('S', '6', "abc"), P('W', '9', "70000")});
    ListingOptions level0;
    EXPECT_EQ(ListNode(node, &d, level0),
              (std::vector<ListingEntry>{{"Modem name:", "Relay 4", 0, -1},
                                         {"Terminal address:", "00AB", 0, -1},
                                         {"Modem address:", "002A", 0, -1},
                                         {"Channel:", "255", 'B', 0},
                                         {"Rate:", "2400", 'R', 1},
                                         {"Echo", "<ON>", 'M', 2},
                                         {"Own:", "12345678", 'H', 3},
                                         {"Station:", "abc", 'S', 4}}));

    ListingOptions level9;
    level9.securityLevel = '9';
    auto rows = ListNode(node, &d, level9);
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows[8], (ListingEntry{"FACTORY SETTINGS", "******", 0, -1}));
    EXPECT_EQ(rows[9], (ListingEntry{"Serial:", "65535", 'W', 5}));
}

TEST(ListingTest, ConversionsOfStoredTexts) {
    struct Case {
        char type;
        std::string stored;
        std::string editor;
    };
    for (const Case& c : std::vector<Case>{{'B', "abc", "0"},
                                           {'B', "-4", "0"},
                                           {'W', "65535", "65535"},
                                           {'R', "-3", "0"},
                                           {'R', "2", "-1"},
                                           {'R', "x", "0"},
                                           {'M', "yes", "0"},
                                           {'S', std::string(25, 's'), std::string(20, 's')}}) {
        EXPECT_EQ(EditorValue(c.type, c.stored, 2), c.editor) << c.type << " " << c.stored;
    }
    // A choice past the last entry selects nothing and lists as empty.
    Definition d = Def();
    auto rows = ParameterRows(d.groups, {"1", "5"}, '0');
    EXPECT_EQ(rows[1].value, "");
    // Editors past the end of a short list show their initial values.
    EXPECT_EQ(rows[2].value, "<OFF>");
    EXPECT_EQ(rows[3].value, "0");
}

TEST(ListingTest, SingleModemViewAndMultiPortRows) {
    NodeValues node = Node({});
    ListingOptions single;
    single.singleView = true;
    single.fileName = FileNameFromCaption("Single modem setup:  /tmp/a b.ssf ");
    auto rows = FixedRows(node, single);
    EXPECT_EQ(rows[0], (ListingEntry{"File:", "/tmp/a b.ssf", 0, -1}));
    EXPECT_EQ(rows[1], (ListingEntry{"--", "--", 0, -1}));
    EXPECT_EQ(rows[2], (ListingEntry{"--", "--", 0, -1}));

    node.isMulti = true;
    node.addresses = {"01", "02", "0A"};
    EXPECT_EQ(FixedRows(node, {})[1], (ListingEntry{"Terminal addresses:", "01,02,0A", 0, -1}));
}

TEST(ListingTest, NodeWithoutItsDefinitionListsItsStoredValuesWithANote) {
    NodeValues node = Node({P('B', '0', "7"), P('M', '0', "1"), P('H', '9', "FF")});
    std::string folder = std::getenv("KELMOR_HOME");
    auto rows = ListNode(node, folder, "GONE.smf", {});
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[3], (ListingEntry{"NO DEFINITION FILE", "GONE.smf", 0, -1}));
    EXPECT_EQ(rows[4], (ListingEntry{"Parameter 1 (B0):", "7", 'B', 0}));
    EXPECT_EQ(rows[5], (ListingEntry{"Parameter 2 (M0):", "<ON>", 'M', 1}));

    ListingOptions level9;
    level9.securityLevel = '9';
    rows = ListNode(node, folder, "GONE.smf", level9);
    ASSERT_EQ(rows.size(), 8u);
    EXPECT_EQ(rows[6].caption, "FACTORY SETTINGS");
    EXPECT_EQ(rows[7], (ListingEntry{"Parameter 3 (H9):", "FF", 'H', 2}));
}

}  // namespace
}  // namespace kelmor::modemcfg
