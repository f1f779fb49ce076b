#include "designer/projectfile.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "designer/routes.h"
#include "netbuilder.h"
#include "platform/inifile.h"
#include "platform/programdir.h"

namespace kelmor::designer {
namespace {

using platform::Answer;
using testing::TestNetwork;
using namespace std::string_literals;

std::string Home(const std::string& name) { return platform::ProgramDir() + "/" + name; }

std::string Read(const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(platform::ReadFileBytes(path, bytes)) << path;
    return bytes;
}

std::string U32(uint32_t v) {
    std::string s;
    for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}
std::string Element(char code, const std::string& text, char attribute = '0') {
    return std::string{code, static_cast<char>(text.size()), attribute} + text;
}

// Every kind, both link kinds, a repeater, parameters, a negative-free position.
void BuildSample(TestNetwork& t) {
    t.net.properties.controls.nimi = "Harbour";
    t.net.properties.controls.netid = "net7";
    t.net.properties.controls.addresstype = 1;
    t.net.properties.controls.m = 3;
    t.net.properties.controls.n = 2;
    t.net.properties.controls.routingType = 1;
    TKuvio& m = t.Add("Master", "F0", 0x0102, Kind::Master);
    TKuvio& r = t.Repeater("Relay", 0x00FF);
    TKuvio& mob = t.Add("Car", "0C", 5, Kind::Mobile);
    TKuvio& multi = t.Add("RTU", "", 6, Kind::Multi);
    multi.PutAddressAt(0, "10");
    multi.PutAddressAt(1, "11");
    multi.PutAddressAt(2, "12");
    TKuvio& plain = t.Add("Pump", "0x2A", 7);
    t.Link(m, r);
    t.Link(r, multi);
    t.Link(multi, plain);
    mob.mobileRouteParent = &r;
    plain.mobileRouteParent = &m;
    m.MoveTo(10, 20);
    plain.MoveTo(300, 400);
    for (auto& node : t.net.nodes) {
        node->typeName = "RM400";
        node->PutParameter('B', '1', true, false, "12");
        node->PutParameter('S', '9', true, true, "text " + node->name);
        node->PutParameter('H', '0', true, true, "");
    }
}

TEST(ProjectFileTest, ProjectRoundTripKeepsKindsLinksAndParameters) {
    TestNetwork t;
    BuildSample(t);
    const std::string path = Home("sample.spf");
    ASSERT_TRUE(SaveNetwork(t.net, path));
    EXPECT_FALSE(t.net.modified);

    TestNetwork u;
    ASSERT_TRUE(LoadNetwork(u.net, path));
    ASSERT_EQ(u.net.nodes.size(), 5u);
    EXPECT_EQ(u.prompter.Count(), 0u);
    for (size_t i = 0; i < 5; ++i) {
        const TKuvio& a = *t.net.nodes[i];
        const TKuvio& b = *u.net.nodes[i];
        SCOPED_TRACE(a.name);
        EXPECT_EQ(b.name, a.name);
        EXPECT_EQ(b.GetKind(), a.GetKind());
        EXPECT_EQ(b.addresses, a.addresses);
        EXPECT_EQ(b.IsRepeater(), a.IsRepeater());
        EXPECT_EQ(b.systemAddress, a.systemAddress);
        EXPECT_EQ(b.typeName, a.typeName);
        EXPECT_EQ(b.left, a.left);
        EXPECT_EQ(b.top, a.top);
        EXPECT_EQ(u.net.IndexOf(b.routeParent), t.net.IndexOf(a.routeParent));
        EXPECT_EQ(u.net.IndexOf(b.mobileRouteParent), t.net.IndexOf(a.mobileRouteParent));
        ASSERT_EQ(b.parameters.size(), a.parameters.size());
        for (size_t p = 0; p < a.parameters.size(); ++p) {
            EXPECT_EQ(b.parameters[p].type, a.parameters[p].type);
            EXPECT_EQ(b.parameters[p].level, a.parameters[p].level);
            EXPECT_EQ(b.parameters[p].value, a.parameters[p].value);
            EXPECT_TRUE(b.parameters[p].shown);  // every reloaded parameter is shown
        }
    }
    EXPECT_EQ(u.net.nodes[1]->GetAddress(), "No address");
    EXPECT_EQ(u.net.masterNode, u.net.nodes[0].get());
    EXPECT_EQ(u.net.activeNode, u.net.masterNode);
    EXPECT_EQ(u.net.nodes[0]->systemAddress, 0x0102);
    EXPECT_EQ(u.net.nodes[1]->systemAddress, 0x00FF);
    EXPECT_EQ(u.net.nodeCounter, 0x0102);
    EXPECT_FALSE(u.net.modified);
    EXPECT_FALSE(u.net.routesComputed);
    const AcceptedProperties& p = u.net.properties.accepted;
    EXPECT_EQ(p.name, "Harbour");
    EXPECT_EQ(p.networkId, "net7");
    EXPECT_EQ(p.protocol, 1);
    EXPECT_EQ(p.offset, 3);
    EXPECT_EQ(p.length, 2);
    EXPECT_TRUE(u.net.properties.IsVirtualRouting());
    EXPECT_FALSE(u.net.mobileRoutesEnabled);
    EXPECT_EQ(u.net.title, "Project: Harbour | file: " + path);

    // Saving what was loaded gives the same bytes.
    const std::string again = Home("again.spf");
    ASSERT_TRUE(SaveNetwork(u.net, again));
    EXPECT_EQ(Read(again), Read(path));
}

TEST(ProjectFileTest, WritesTheDocumentedBytes) {
    TestNetwork t;
    t.net.properties.controls = PropertyControls{};  // "noname", "netid", protocol 0, M 0, N 1
    TKuvio& m = t.Add("M", "0A", 0x0102, Kind::Master);
    TKuvio& a = t.Add("A", "0B", 3);
    t.Link(m, a);
    a.mobileRouteParent = &m;
    m.MoveTo(5, -19);  // picture at (5, 0)
    a.MoveTo(-40, 81);
    a.typeName = "T";
    a.PutParameter('W', '4', true, true, "99");
    auto bytes = SerializeNetwork(t.net, nullptr);
    ASSERT_TRUE(bytes);
    std::string expected = std::string("V\x16") + "ZORVALINK Kelmor 4.0.7";
    expected += std::string("S\x06") + "noname" + "S\x0C" + "User Defined" + "B\x00"s + "B\x01" +
                "B\x00"s + "S\x05" + "netid" + "B\x01";
    expected += U32(5) + U32(0) + U32(0x80000001) + U32(0) + U32(0);
    expected +=
        Element('S', "M") + Element('S', "0A") + "W\x01\x02" + Element('S', "TYPE") + "Z\x00\x00"s;
    expected += U32(static_cast<uint32_t>(-40)) + U32(100) + U32(2) + U32(1) + U32(1);
    expected += Element('S', "A") + Element('S', "0B") + "W\x00\x03"s + Element('S', "T") +
                Element('W', "99", '4') + "Z\x00\x00"s;
    EXPECT_EQ(*bytes, expected);

    // A negative position reads back as 0.
    TestNetwork u;
    LoadNetworkBytes(u.net, *bytes, "x.spf");
    ASSERT_EQ(u.net.nodes.size(), 2u);
    EXPECT_EQ(u.net.nodes[1]->left, 0);
    EXPECT_EQ(u.net.nodes[1]->top, 100);
}

TEST(ProjectFileTest, VersionTextSelectsTheLayout) {
    struct Case {
        std::optional<std::string> header;
        bool old;
    } cases[] = {{std::nullopt, true}, {"3.1.12", true}, {"3.1.1", true},        {"2.9", true},
                 {"3.1.13", false},    {"3.1.2", false}, {kProgramTitle, false}, {"", true}};
    for (const Case& c : cases) {
        EXPECT_EQ(IsOldLayout(c.header), c.old) << c.header.value_or("(none)");
    }
}

TEST(ProjectFileTest, OldFileWithoutHeaderUsesTheOldMasksAndFlags) {
    std::string props = std::string("S\x03") + "old" + "S\x0B" + "RP570 / 571" + "B\x02" + "B\x03" +
                        "B\x00"s + "S\x02" + "id" + "B\x00"s;
    auto record = [](uint32_t id, uint32_t parent, uint32_t mobileParent, const std::string& name,
                     const std::string& address) {
        return U32(1) + U32(2) + U32(id) + U32(parent) + U32(mobileParent) + Element('S', name) +
               Element('S', address) + "W\x00\x09"s + Element('S', "T") + "Z\x00\x00"s;
    };
    // Old id words: the number is masked with 0x7FFF7FFF; bit 31 master, bit 15 mobile; bit 29
    // is part of the number, not the multi-port flag.
    std::string file = props + record(0x80000001, 0, 0, "M", "01") +
                       record(0x20000002, 1, 0, "Big", "02") +
                       record(0x00008003, 0, 0x20000002, "Mob", "03");
    TestNetwork t;
    LoadNetworkBytes(t.net, file, "old.spf");
    ASSERT_EQ(t.net.nodes.size(), 3u);
    EXPECT_EQ(t.prompter.Count(), 0u);
    TKuvio& m = *t.net.nodes[0];
    TKuvio& big = *t.net.nodes[1];
    TKuvio& mob = *t.net.nodes[2];
    EXPECT_EQ(t.net.masterNode, &m);
    EXPECT_FALSE(big.isMulti);
    EXPECT_EQ(big.GetAddress(), "02");
    EXPECT_EQ(big.routeParent, &m);
    EXPECT_TRUE(mob.isMobile);
    EXPECT_EQ(mob.mobileRouteParent, &big);
    EXPECT_EQ(t.net.properties.accepted.protocol, 2);
    EXPECT_EQ(t.net.properties.accepted.name, "old");
    EXPECT_FALSE(t.net.properties.controls.mEnabled);

    // The same records under a current header: bit 29 is the multi-port flag and is read
    // with a count element, so the old record no longer parses the same way.
    std::string current =
        std::string("V\x06") + "3.1.13" + props + record(0x80000001, 0, 0, "M", "01");
    TestNetwork u;
    LoadNetworkBytes(u.net, current, "new.spf");
    ASSERT_EQ(u.net.nodes.size(), 1u);
    EXPECT_EQ(u.net.masterNode, u.net.nodes[0].get());
}

TEST(ProjectFileTest, AFileCutAtAnyByteNeverCrashesAndReportsTheCorruption) {
    TestNetwork t;
    BuildSample(t);
    auto full = SerializeNetwork(t.net, nullptr);
    ASSERT_TRUE(full);
    // Record boundaries: a cut there is a clean end of file.
    std::vector<size_t> boundaries;
    {
        TestNetwork probe;
        for (size_t i = 0; i <= full->size(); ++i) {
            probe.prompter.Clear();
            LoadNetworkBytes(probe.net, full->substr(0, i), "cut.spf");
            if (probe.prompter.Count() == 0) boundaries.push_back(i);
        }
    }
    // After the properties block and after each of the five records.
    ASSERT_EQ(boundaries.size(), 6u);
    EXPECT_EQ(boundaries.back(), full->size());

    for (size_t cut = 0; cut < full->size(); ++cut) {
        TestNetwork u;
        LoadNetworkBytes(u.net, full->substr(0, cut), "cut.spf");
        bool boundary = std::find(boundaries.begin(), boundaries.end(), cut) != boundaries.end();
        if (!boundary) {
            ASSERT_EQ(u.prompter.Texts(), std::vector<std::string>{kCorruptedText}) << cut;
        }
        EXPECT_LE(u.net.nodes.size(), 5u);
    }
}

TEST(ProjectFileTest, TruncatedParameterListKeepsWhatWasRead) {
    TestNetwork t;
    BuildSample(t);
    auto full = *SerializeNetwork(t.net, nullptr);
    // Cut the last record just after its second parameter: 'H' element (3 bytes) and 'Z' lost.
    std::string cut = full.substr(0, full.size() - 6);
    TestNetwork u;
    LoadNetworkBytes(u.net, cut, "cut.spf");
    ASSERT_EQ(u.net.nodes.size(), 5u);
    EXPECT_EQ(u.prompter.Texts(), std::vector<std::string>{kCorruptedText});
    EXPECT_EQ(u.net.nodes[4]->parameters.size(), 2u);
    EXPECT_EQ(u.net.nodes[4]->parameters[1].value, "text Pump");
}

TEST(ProjectFileTest, ReaderAcceptsLongTextsButTheWriterRefusesThemAndKeepsTheOldFile) {
    // A reader of any length byte: a 255-byte name.
    std::string longName(255, 'n');
    std::string file = std::string("V\x01") + "4" + "S\x00"s + "S\x00"s + "B\x00"s + "B\x01" +
                       "B\x00"s + "S\x00"s + "B\x01" + U32(0) + U32(0) + U32(1) + U32(0) + U32(0) +
                       Element('S', longName) + Element('S', "01") + "W\x00\x01"s +
                       Element('S', "T") + "Z\x00\x00"s;
    TestNetwork t;
    LoadNetworkBytes(t.net, file, "long.spf");
    ASSERT_EQ(t.net.nodes.size(), 1u);
    EXPECT_EQ(t.net.nodes[0]->name, longName);

    const std::string path = Home("keep.spf");
    ASSERT_TRUE(platform::WriteFileAtomic(path, "old contents"));
    t.prompter.Clear();
    EXPECT_FALSE(SaveNetwork(t.net, path));
    EXPECT_EQ(Read(path), "old contents");
    ASSERT_EQ(t.prompter.Count(), 1u);
    EXPECT_NE(
        t.prompter.Texts()[0].find("Modem 1 \"" + longName + "\": the name is longer than 79"),
        std::string::npos);

    t.net.nodes[0]->name = std::string(79, 'x');  // the longest text that fits
    t.net.nodes[0]->PutParameter('S', '0', true, true, std::string(80, 'v'));
    t.prompter.Clear();
    EXPECT_FALSE(SaveNetwork(t.net, path));
    EXPECT_NE(t.prompter.Texts()[0].find("value of parameter 1"), std::string::npos);
    t.net.nodes[0]->ClearParameters();
    EXPECT_TRUE(SaveNetwork(t.net, path));
}

TEST(ProjectFileTest, SingleModemFileHoldsParameterPartsOnly) {
    TestNetwork t;
    t.net.singleModemMode = true;
    TKuvio& node = t.Add("", "", 1);
    node.typeName = "RM400";
    node.PutParameter('B', '2', true, true, "7");
    auto bytes = SerializeNetwork(t.net, nullptr);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, Element('S', "RM400") + Element('B', "7", '2') + "Z\x00\x00"s);

    TestNetwork u;
    u.net.singleModemMode = true;
    u.net.clientWidth = 400;
    u.net.clientHeight = 300;
    LoadNetworkBytes(u.net, *bytes + *bytes, "two.ssf");
    ASSERT_EQ(u.net.nodes.size(), 2u);
    EXPECT_EQ(u.net.nodes[0]->parameters.size(), 1u);
    EXPECT_EQ(u.net.nodes[0]->LabelLeft(), 185);
    EXPECT_EQ(u.net.nodes[0]->LabelTop(), 125);
    EXPECT_EQ(u.net.title, "Setup single modem : two.ssf");
}

TEST(ProjectFileTest, ModemDataChecksTheTypeWithoutRegardToCase) {
    const std::string path = Home("data.ssf");
    ASSERT_TRUE(platform::WriteFileAtomic(
        path, Element('S', "RM400X") + Element('B', "1", '3') + "Z\x00\x00"s));
    TestNetwork t;
    TKuvio& node = t.Add("N", "01", 1);
    node.typeName = "rm400x";
    node.PutParameter('W', '0', true, true, "old");
    EXPECT_TRUE(LoadModemDataFile(t.net, node, path));
    ASSERT_EQ(node.parameters.size(), 1u);
    EXPECT_EQ(node.parameters[0].value, "1");

    node.typeName = "OTHER";
    EXPECT_FALSE(LoadModemDataFile(t.net, node, path));
    EXPECT_TRUE(node.parameters.empty());
    EXPECT_EQ(t.prompter.Texts(),
              std::vector<std::string>{"This modem doesn't match with requested file"});
}

TEST(ProjectFileTest, RecentFilesMoveTheOpenedFileToTheTop) {
    const std::string ini = platform::SettingsPath();
    kelmor::testing::FakePrompter prompter;
    RecentFiles recent;
    recent.Read(ini, false);
    for (const char* f : {"a", "b", "c", "d", "e", "f"}) recent.Update(f, ini, false, prompter);
    EXPECT_EQ(recent.files, (std::array<std::string, 6>{"f", "e", "d", "c", "b", "a"}));
    recent.Update("f", ini, false, prompter);  // already latest: unchanged
    EXPECT_EQ(recent.files, (std::array<std::string, 6>{"f", "e", "d", "c", "b", "a"}));
    recent.Update("c", ini, false, prompter);  // found at 3: 0..2 move down
    EXPECT_EQ(recent.files, (std::array<std::string, 6>{"c", "f", "e", "d", "b", "a"}));
    recent.Update("g", ini, false, prompter);  // a seventh file drops the oldest
    EXPECT_EQ(recent.files, (std::array<std::string, 6>{"g", "c", "f", "e", "d", "b"}));

    RecentFiles reread;
    reread.Read(ini, false);
    EXPECT_EQ(reread.files, recent.files);
    RecentFiles single;
    single.Read(ini, true);
    EXPECT_EQ(single.files[0], "");
    platform::IniFile file(ini);
    EXPECT_EQ(file.ReadString("File List", "Latest", ""), "g");
    EXPECT_EQ(file.ReadString("File List", "File5", ""), "b");

    auto menu = recent.Menu();
    ASSERT_EQ(menu.size(), 5u);
    EXPECT_EQ(menu[0].caption, "c");
    EXPECT_EQ(menu[0].hint, "File 1 c");
    EXPECT_EQ(prompter.Count(), 0u);

    // An unwritable settings file: the message, and the list is still updated.
    const std::string blocked = Home("no/such/dir/kelmor.ini");
    EXPECT_FALSE(recent.Update("h", blocked, false, prompter));
    EXPECT_EQ(prompter.Texts(),
              std::vector<std::string>{"Unable to write ini file. Access denied"});
    EXPECT_EQ(recent.files[0], "h");
}

TEST(ProjectFileTest, SaveQuestionKeepsTheWorkUnlessSavedOrDeclined) {
    TestNetwork t;
    t.Add("A", "01", 1);
    const std::string path = Home("asked.spf");
    std::vector<FileDialogRequest> requests;
    std::optional<std::string> choice;
    FileDialog dialog = [&](const FileDialogRequest& r) {
        requests.push_back(r);
        return choice;
    };

    t.net.modified = true;
    t.prompter.Script({Answer::Cancel});
    EXPECT_EQ(AskSave(t.net, dialog), AskSaveResult::Stop);
    EXPECT_EQ(t.net.nodes.size(), 1u);
    EXPECT_EQ(t.prompter.Prompts()[0].text, "Save changes to file ?");
    EXPECT_EQ(t.prompter.Prompts()[0].buttons, platform::Buttons::YesNoCancel);

    // Yes, then the save dialog cancelled: nothing is dropped.
    t.prompter.Script({Answer::Yes});
    EXPECT_EQ(AskSave(t.net, dialog), AskSaveResult::Stop);
    EXPECT_EQ(t.net.nodes.size(), 1u);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].filter, "Project files|*.spf");
    EXPECT_EQ(requests[0].defaultExt, "spf");
    EXPECT_EQ(requests[0].fileName, "noname.spf");

    choice = path;
    t.prompter.Script({Answer::Yes});
    EXPECT_EQ(AskSave(t.net, dialog), AskSaveResult::Continue);
    EXPECT_TRUE(t.net.nodes.empty());
    EXPECT_EQ(t.net.projectFileName, path);
    EXPECT_TRUE(std::filesystem::exists(path));

    t.Add("B", "02", 2);
    t.net.modified = true;
    t.prompter.Script({Answer::No});
    EXPECT_EQ(AskSave(t.net, dialog), AskSaveResult::Continue);
    EXPECT_TRUE(t.net.nodes.empty());
    EXPECT_FALSE(t.net.modified);
}

TEST(ProjectFileTest, OpeningARemovedRecentFileShowsTheMessageOnly) {
    TestNetwork t;
    t.Add("A", "01", 1);
    RecentFiles recent;
    const std::string gone = Home("gone.spf");
    EXPECT_FALSE(OpenPath(t.net, {}, recent, platform::SettingsPath(), gone, true));
    EXPECT_EQ(t.prompter.Texts(),
              std::vector<std::string>{"Project file " + gone + " has been removed from disk"});
    EXPECT_EQ(t.net.nodes.size(), 1u);

    // An existing one loads, becomes the current file and goes to the top of the list.
    ASSERT_TRUE(SaveNetwork(t.net, Home("here.spf")));
    EXPECT_TRUE(OpenPath(t.net, {}, recent, platform::SettingsPath(), Home("here.spf"), true));
    EXPECT_EQ(t.net.projectFileName, Home("here.spf"));
    EXPECT_EQ(recent.files[0], Home("here.spf"));
    EXPECT_TRUE(t.net.routesDirty && t.net.fileNamed);
    EXPECT_EQ(t.net.nodeCounter, 1);
}

}  // namespace
}  // namespace kelmor::designer

namespace kelmor::designer {
namespace {

// Open of a file that cannot be read, or that turns out damaged, must not leave the old
// project's name pointing at a network that is not its content.
TEST(ProjectFileTest, FailedOpenKeepsTheProjectItsFileNameAndTheRecentList) {
    TestNetwork t;
    t.Add("A", "01", 1);
    const std::string good = Home("good.spf");
    ASSERT_TRUE(SaveNetwork(t.net, good));
    RecentFiles recent;
    ASSERT_TRUE(OpenPath(t.net, {}, recent, platform::SettingsPath(), good, false));
    t.net.nodes[0]->name = "Edited";
    t.net.modified = true;
    t.prompter.Clear();

    const std::string missing = Home("missing.spf");
    EXPECT_FALSE(OpenPath(t.net, {}, recent, platform::SettingsPath(), missing, false));
    EXPECT_EQ(t.prompter.Texts(), std::vector<std::string>{"Unable to open file " + missing});
    ASSERT_EQ(t.net.nodes.size(), 1u);
    EXPECT_EQ(t.net.nodes[0]->name, "Edited");
    EXPECT_TRUE(t.net.modified);
    EXPECT_EQ(t.net.projectFileName, good);
    EXPECT_TRUE(t.net.fileNamed);
    EXPECT_EQ(recent.files[0], good);

    // A damaged file shows what was read, but Save no longer writes to a named file.
    const std::string bytes = Read(good);
    const std::string cut = Home("cut.spf");
    ASSERT_TRUE(platform::WriteFileAtomic(cut, bytes.substr(0, bytes.size() - 2)));
    t.net.modified = false;
    EXPECT_FALSE(OpenPath(t.net, {}, recent, platform::SettingsPath(), cut, false));
    EXPECT_EQ(t.net.nodes.size(), 1u);
    EXPECT_FALSE(t.net.fileNamed);
    EXPECT_EQ(recent.files[0], good);
    int dialogs = 0;
    FileDialog cancel = [&dialogs](const FileDialogRequest&) -> std::optional<std::string> {
        ++dialogs;
        return std::nullopt;
    };
    EXPECT_FALSE(SaveCommand(t.net, cancel, recent, platform::SettingsPath()));
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(Read(cut), bytes.substr(0, bytes.size() - 2));
}

TEST(ProjectFileTest, AReadOnlyFileIsNotReplacedAndTheWorkStaysUnsaved) {
    TestNetwork t;
    t.Add("A", "01", 1);
    const std::string path = Home("locked.spf");
    ASSERT_TRUE(platform::WriteFileAtomic(path, "old"));
    std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::group_read |
                                           std::filesystem::perms::others_read);
    t.net.modified = true;
    EXPECT_FALSE(SaveNetwork(t.net, path));
    EXPECT_EQ(Read(path), "old");
    EXPECT_TRUE(t.net.modified);
    EXPECT_EQ(t.prompter.Texts(), std::vector<std::string>{"Unable to create file " + path});
}

TEST(ProjectFileTest, LoadedLinksAreRoutedByTheNextComputation) {
    TestNetwork t;
    TKuvio& m = t.Add("M", "F0", 1, Kind::Master);
    TKuvio& a = t.Add("A", "A1", 2);
    t.Link(m, a);
    const std::string path = Home("routes.spf");
    ASSERT_TRUE(SaveNetwork(t.net, path));

    TestNetwork u;
    ASSERT_TRUE(LoadNetwork(u.net, path));
    EXPECT_TRUE(u.net.routesDirty);
    ComputeRoutes(u.net);
    EXPECT_FALSE(u.net.routeError);
    EXPECT_EQ(u.net.nodes[1]->routeText, "A1 2 ");
}

}  // namespace
}  // namespace kelmor::designer
