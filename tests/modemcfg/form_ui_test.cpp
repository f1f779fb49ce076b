// The properties form and the security level dialog, driven offscreen: editors built from any
// definition, visibility by level and mode, the hex key filter, filling and accepting, marking
// a modem's rejected fields, conversion between two types, and a large random definition.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <fstream>
#include <random>

#include "fakeprompter.h"
#include "modemcfg/listing.h"
#include "modemcfg/ui/tominaisuus.h"
#include "modemcfg/ui/tsuoja.h"

namespace kelmor::modemcfg::ui {
namespace {

using platform::Answer;
using Lines = std::vector<std::string>;

std::string Folder() { return std::getenv("KELMOR_HOME"); }

// A definition file with a correct integrity number, so the check stays silent.
void WriteSmf(const std::string& type, const std::string& properties) {
    std::string text = "[Version]\r\nName=" + type +
                       "\r\nVersion number=7\r\nKelmor ini=x\r\nNumber=0\r\n\r\n[Properties]\r\n" +
                       properties + "\r\n[help text]\r\nB01_h=Channel hint|The radio channel.\r\n";
    uint16_t number = IntegrityNumber(type + ".smf", SplitTextLines(text));
    size_t at = text.find("Number=0");
    text.replace(at, 8, "Number=" + std::to_string(number));
    std::ofstream f(Folder() + "/" + type + ".smf", std::ios::binary);
    f << text;
}

// One parameter of every kind; R01 hidden in single-modem mode; levels 0, 5, 6 and 9.
const char* kAllKinds =
    "B01=Channel\r\nB01_v=3\r\n"
    "W01=Length\r\nW01_v=3\r\n"
    "H01=Own\r\nH01_v=3\r\n"
    "S01=Station\r\nS01_v=3\r\n"
    "M51=Echo\r\nM51_v=3\r\n"
    "R01=Rate\r\nR01_v=1\r\nR01_1=1200\r\nR01_2=2400\r\n"
    "B61=Retries\r\nB61_v=3\r\n"
    "W91=Serial\r\nW91_v=3\r\n";

struct Recorder : FormHost {
    void FormAccepted(const FormResult& r) override { results.push_back(r); }
    void FormHidden() override { ++hidden; }
    void ReceiveRequested() override { ++receives; }
    void TransmitRequested() override { ++transmits; }
    std::vector<FormResult> results;
    int hidden = 0, receives = 0, transmits = 0;
};

struct FormFixture {
    Recorder host;
    testing::FakePrompter prompter;
    Tominaisuus form{host, prompter};
    FormContext context;
    FormFixture() { context.folder = Folder(); }

    FormNode Node(const std::string& type, ParameterList params = {}) {
        FormNode n;
        n.name = "Relay";
        n.addresses = {"00AB"};
        n.systemAddress = 0x12;
        n.typeFileName = type + ".smf";
        n.typeVersion = 7;
        n.parameters = std::move(params);
        return n;
    }
    template <class W>
    W* Editor(size_t i, bool second = false) {
        return qobject_cast<W*>(form.EditorAt(i, second));
    }
    Lines Messages() { return prompter.Texts(); }
};

TEST(FormTest, EditorsOfEveryKindFollowTheLevelAndAreRebuiltOnlyWhenTheyMust) {
    WriteSmf("ALL", kAllKinds);
    FormFixture f;
    f.form.Open(f.Node("ALL"), f.context);
    EXPECT_EQ(f.form.windowTitle(), "Modem ALL properties, version:7");
    ASSERT_NE(f.Editor<QSpinBox>(0), nullptr);
    EXPECT_EQ(f.Editor<QSpinBox>(0)->maximum(), 255);
    EXPECT_EQ(f.Editor<QSpinBox>(0)->toolTip(), "Channel hint");
    EXPECT_EQ(f.Editor<QSpinBox>(1)->maximum(), 65535);
    EXPECT_EQ(f.Editor<QLineEdit>(2)->maxLength(), 8);
    EXPECT_EQ(f.Editor<QLineEdit>(2)->text(), "0");
    EXPECT_EQ(f.Editor<QLineEdit>(3)->maxLength(), 20);
    EXPECT_EQ(f.Editor<QCheckBox>(4)->text(), "Echo");
    EXPECT_EQ(f.Editor<QComboBox>(5)->count(), 2);
    EXPECT_EQ(f.Editor<QComboBox>(5)->currentIndex(), 0);
    // Level 0: 5 and 6 shown but disabled, 9 hidden.
    EXPECT_FALSE(f.Editor<QCheckBox>(4)->isEnabled());
    EXPECT_FALSE(f.Editor<QSpinBox>(6)->isEnabled());
    EXPECT_TRUE(f.Editor<QSpinBox>(6)->isVisible());
    EXPECT_FALSE(f.Editor<QSpinBox>(7)->isVisible());
    EXPECT_EQ(f.form.BuildCount(), 1);

    // Another node of the same type: no rebuild.
    f.form.Open(f.Node("ALL"), f.context);
    EXPECT_EQ(f.form.BuildCount(), 1);
    // Level 5: rebuilt, 5 editable; level 9: the factory row after "Factory settings:".
    f.context.securityLevel = '5';
    f.form.Open(f.Node("ALL"), f.context);
    EXPECT_EQ(f.form.BuildCount(), 2);
    EXPECT_TRUE(f.Editor<QCheckBox>(4)->isEnabled());
    EXPECT_FALSE(f.Editor<QSpinBox>(6)->isEnabled());
    f.context.securityLevel = '9';
    f.form.Open(f.Node("ALL"), f.context);
    EXPECT_TRUE(f.Editor<QSpinBox>(7)->isVisible());
    auto top = [&](QWidget* w) { return w->mapTo(&f.form, QPoint(0, 0)).y(); };
    bool separator = false;
    for (QLabel* l : f.form.findChildren<QLabel*>())
        if (l->text() == "Factory settings:" && l->isVisible())
            separator = top(l) < top(f.form.EditorAt(7)) && top(l) > top(f.form.EditorAt(6));
    EXPECT_TRUE(separator);
    // Single-modem view hides R01 (flags 1) and the name rows.
    f.context.singleView = true;
    f.form.Open(f.Node("ALL"), f.context);
    EXPECT_FALSE(f.Editor<QComboBox>(5)->isVisible());
    EXPECT_FALSE(f.form.findChild<QLineEdit*>("nimi")->isVisible());
    EXPECT_EQ(f.form.BuildCount(), 4);
    EXPECT_TRUE(f.Messages().empty()) << f.Messages()[0];
}

TEST(FormTest, HexEditorRefusesOtherKeysWithTheMessage) {
    WriteSmf("ALL", kAllKinds);
    FormFixture f;
    f.form.Open(
        f.Node("ALL", {{'B', '0', true, "1"}, {'W', '0', true, "2"}, {'H', '0', true, "A"}}),
        f.context);
    QLineEdit* hex = f.Editor<QLineEdit>(2);
    hex->setFocus();
    hex->end(false);
    QTest::keyClicks(hex, "1g");
    EXPECT_EQ(hex->text(), "A1");
    EXPECT_EQ(f.Messages(), (Lines{kHexKeyText}));
    QTest::keyClick(hex, Qt::Key_Backspace);
    QTest::keyClicks(hex, "f");
    EXPECT_EQ(hex->text(), "Af");
    EXPECT_EQ(f.Messages().size(), 1u);
}

TEST(FormTest, FillingAsksOnceAtATypeConflictAndAcceptRewindsOrClears) {
    WriteSmf("ALL", kAllKinds);
    FormFixture f;
    ParameterList stored = {{'B', '0', true, "300"},  {'W', '0', true, "40000"},
                            {'B', '0', true, "7"},  // conflict: the definition has H here
                            {'S', '0', true, "Base"}, {'M', '5', true, "1"},
                            {'R', '0', false, "1"},   {'B', '6', true, "3"},
                            {'W', '9', true, "9"},    {'B', '0', true, "extra"}};
    f.prompter.Script({Answer::No});
    f.form.Open(f.Node("ALL", stored), f.context);
    EXPECT_EQ(f.Messages(), (Lines{ConflictText("ALL")}));
    EXPECT_EQ(f.prompter.Prompts().back().caption, kConflictCaption);
    EXPECT_EQ(f.Editor<QSpinBox>(0)->value(), 255);
    EXPECT_EQ(f.Editor<QSpinBox>(1)->value(), 40000);
    EXPECT_EQ(f.Editor<QLineEdit>(3)->text(), "");  // filling stopped before it

    f.prompter.Clear();
    f.prompter.Script({Answer::Yes});
    f.form.Open(f.Node("ALL", stored), f.context);
    EXPECT_EQ(f.Messages().size(), 1u);  // asked once
    EXPECT_EQ(f.Editor<QLineEdit>(3)->text(), "Base");
    EXPECT_TRUE(f.Editor<QCheckBox>(4)->isChecked());
    EXPECT_EQ(f.Editor<QComboBox>(5)->currentIndex(), 1);

    f.Editor<QSpinBox>(0)->setValue(12);
    QTest::mouseClick(f.form.findChild<QPushButton*>("ok"), Qt::LeftButton);
    ASSERT_EQ(f.host.results.size(), 1u);
    const FormResult& r = f.host.results[0];
    EXPECT_FALSE(r.clearList);  // the type the editors were built for: rewind
    ASSERT_EQ(r.entries.size(), 8u);
    EXPECT_EQ(r.entries[0], (ModemParam{'B', '0', true, "12"}));
    EXPECT_EQ(r.entries[5], (ModemParam{'R', '0', true, "1"}));
    EXPECT_EQ(r.entries[7], (ModemParam{'W', '9', false, "9"}));  // hidden at level 0
    EXPECT_EQ(r.name, "Relay");
    EXPECT_EQ(r.addresses, (Lines{"00AB"}));
    EXPECT_EQ(r.systemAddress, 0x12);
    EXPECT_FALSE(f.form.isVisible());
    EXPECT_FALSE(f.form.HasNode());

    // A node of another type: the list is cleared on accept.
    WriteSmf("TWO", "B01=Only\r\nB01_v=3\r\n");
    f.form.Open(f.Node("TWO"), f.context);
    f.form.Accept();
    EXPECT_TRUE(f.host.results.back().clearList);
}

TEST(FormTest, CancelAcceptsANewNodeAndForgetsAnOldOne) {
    WriteSmf("ALL", kAllKinds);
    FormFixture f;
    FormNode n = f.Node("ALL");
    n.isNew = true;
    f.form.Open(n, f.context);
    QTest::mouseClick(f.form.findChild<QPushButton*>("pois"), Qt::LeftButton);
    ASSERT_EQ(f.host.results.size(), 1u);
    EXPECT_FALSE(f.host.results[0].fromExchange);
    EXPECT_EQ(f.host.results[0].entries.size(), 8u);
    EXPECT_FALSE(f.form.isVisible());
    n.isNew = false;
    f.form.Open(n, f.context);
    QTest::mouseClick(f.form.findChild<QPushButton*>("pois"), Qt::LeftButton);
    EXPECT_EQ(f.host.results.size(), 1u);
    EXPECT_FALSE(f.form.HasNode());
}

TEST(FormTest, RepliedFieldsTurnRedWithTheModemsValues) {
    WriteSmf("ALL", kAllKinds);
    FormFixture f;
    f.context.securityLevel = '9';
    f.form.Open(f.Node("ALL"), f.context);
    f.form.MarkField(1, Field{'B', '0', "9"});
    f.form.MarkField(2, Field{'W', '0', "77"});
    f.form.MarkField(3, Field{'M', '0', "1"});  // H editor: mismatch
    f.form.MarkField(1001, Field{'W', '9', "5"});
    f.form.MarkField(1002, Field{'W', '9', "5"});  // past the last record
    EXPECT_EQ(f.Editor<QSpinBox>(0)->value(), 9);
    EXPECT_EQ(f.Editor<QSpinBox>(1)->value(), 77);
    EXPECT_TRUE(f.form.EditorAt(0)->property("marked").toBool());
    EXPECT_TRUE(f.form.EditorAt(1)->property("marked").toBool());
    EXPECT_FALSE(f.form.EditorAt(2)->property("marked").toBool());
    EXPECT_EQ(f.Editor<QSpinBox>(7)->value(), 5);
    EXPECT_EQ(f.form.EditorAt(0)->palette().color(QPalette::Text), QColor(Qt::red));
    EXPECT_EQ(f.Messages(), (Lines{kFieldMismatchText, kMoreFieldsText}));
}

TEST(FormTest, ConversionPairsRowsAndSkipsABytefacingAWord) {
    WriteSmf("OLD", "B01=Channel\r\nB01_v=3\r\nB02=Power\r\nB02_v=3\r\nM01=Echo\r\nM01_v=3\r\n");
    WriteSmf("NEW", "B01=Channel\r\nB01_v=3\r\nW01=Power\r\nW01_v=3\r\nM01=Echo\r\nM01_v=3\r\n");
    FormFixture f;
    f.form.Open(
        f.Node("OLD", {{'B', '0', true, "5"}, {'B', '0', true, "6"}, {'M', '0', true, "1"}}),
        f.context, "NEW");
    EXPECT_TRUE(f.form.Converting());
    auto arrows = f.form.ArrowButtons();
    ASSERT_EQ(arrows.size(), 3u);
    EXPECT_TRUE(arrows[0]->isEnabled());
    EXPECT_FALSE(arrows[1]->isEnabled());
    EXPECT_FALSE(f.form.findChild<QPushButton*>("receivebtn")->isVisible());
    EXPECT_TRUE(f.form.findChild<QPushButton*>("ConvAll")->isVisible());

    f.prompter.Script({Answer::Yes});
    QTest::mouseClick(arrows[0], Qt::LeftButton);
    EXPECT_EQ(f.prompter.Texts().back(),
              "Converting value\r\nChannel: 0\r\nto\r\nChannel: 5\r\n\r\nAre you sure you want to "
              "convert this value ?");
    EXPECT_EQ(f.Editor<QSpinBox>(0, true)->value(), 5);

    f.prompter.Script({Answer::Yes});
    QTest::mouseClick(f.form.findChild<QPushButton*>("ConvAll"), Qt::LeftButton);
    EXPECT_EQ(f.prompter.Texts().back(), kConvertAllQuestion);
    EXPECT_EQ(f.Editor<QSpinBox>(1, true)->value(), 0);  // W facing B: skipped
    EXPECT_TRUE(f.Editor<QCheckBox>(2, true)->isChecked());

    f.form.Accept();
    const FormResult& r = f.host.results.back();
    EXPECT_EQ(r.newTypeFileName, "NEW.smf");
    EXPECT_TRUE(r.clearList);
    EXPECT_EQ(r.entries,
              (ParameterList{{'B', '0', true, "5"}, {'W', '0', true, "0"}, {'M', '0', true, "1"}}));
}

TEST(FormTest, DefinitionWithOnlyFactoryParameters) {
    WriteSmf("FAC", "B91=Serial\r\nB91_v=3\r\nW92=Trim\r\nW92_v=3\r\n");
    FormFixture f;
    f.form.Open(f.Node("FAC"), f.context);
    EXPECT_FALSE(f.form.EditorAt(0)->isVisible());
    EXPECT_FALSE(f.form.EditorAt(1)->isVisible());
    EXPECT_TRUE(f.Messages().empty());
    f.context.singleView = true;
    f.form.Open(f.Node("FAC"), f.context);
    EXPECT_EQ(f.Messages(), (Lines{NoVisibleFieldText("FAC.smf")}));
    // Without [Properties] at all: the ini-file message and no editors.
    WriteSmf("NONE", "");
    f.prompter.Clear();
    f.form.Open(f.Node("NONE"), f.context);
    EXPECT_EQ(f.Messages(), (Lines{kCheckIniFileText}));
    EXPECT_EQ(f.form.EditorAt(0), nullptr);
}

TEST(FormTest, AddressRowsNoAddressAndMultiPortLines) {
    WriteSmf("ALL", kAllKinds);
    FormFixture f;
    FormNode n = f.Node("ALL");
    f.form.Open(n, f.context);
    auto* noAddress = f.form.findChild<QCheckBox*>("no_address");
    auto* address = f.form.findChild<QLineEdit*>("osoite");
    EXPECT_EQ(f.form.findChild<QLineEdit*>("systemosoite")->text(), "0012");
    QTest::mouseClick(noAddress, Qt::LeftButton, {}, QPoint(noAddress->width() - 6, 8));
    EXPECT_TRUE(noAddress->isChecked());
    EXPECT_EQ(address->text(), "No address");
    EXPECT_TRUE(address->isReadOnly());
    f.form.Accept();
    EXPECT_TRUE(f.host.results.back().noAddress);
    EXPECT_TRUE(f.host.results.back().addressChanged);

    // The master under virtual routing keeps its address: the box stays unchecked.
    f.context.virtualRouting = true;
    n.isMaster = true;
    f.form.Open(n, f.context);
    EXPECT_FALSE(noAddress->isEnabled());
    noAddress->click();
    EXPECT_FALSE(noAddress->isChecked());

    // A multi-port node: the lines of the list, blank ones left out.
    f.context.virtualRouting = false;
    n.isMaster = false;
    n.isMulti = true;
    n.addresses = {"01", "02"};
    f.form.Open(n, f.context);
    EXPECT_FALSE(noAddress->isEnabled());
    EXPECT_TRUE(address->isReadOnly());
    auto* more = f.form.findChild<QPushButton*>("Multibtn");
    auto* memo = f.form.findChild<QPlainTextEdit*>("MultiMemo");
    EXPECT_TRUE(more->isVisible());
    QTest::mouseClick(more, Qt::LeftButton);
    EXPECT_TRUE(memo->isVisible());
    memo->setPlainText("01\n   \n0A \n");
    memo->document()->setModified(true);
    f.form.Accept();
    EXPECT_EQ(f.host.results.back().addresses, (Lines{"01", "0A "}));
    EXPECT_TRUE(f.host.results.back().addressChanged);
}

// A definition nobody wrote the form for: random kinds, levels, flags and choices.
std::string RandomDefinition(std::mt19937& rng, int count) {
    const char kinds[] = "BWHSMR";
    std::map<char, int> counter;
    std::string text;
    for (int i = 0; i < count; ++i) {
        char kind = kinds[rng() % 6];
        char level = "0123456789"[rng() % 10];
        std::string key = std::string(1, kind) + level + std::to_string(++counter[kind]);
        text += key + "=Param " + std::to_string(i) + "\r\n" + key +
                "_v=" + std::to_string(rng() % 4) + "\r\n";
        if (kind == 'R') {
            int entries = 1 + static_cast<int>(rng() % 6);
            for (int e = 1; e <= entries; ++e)
                text += key + "_" + std::to_string(e) + "=Entry " + std::to_string(e) + "\r\n";
        }
    }
    return text;
}

TEST(FormTest, LargeRandomDefinitionBuildsFillsAcceptsAndListsAsTheLogicDoes) {
    std::mt19937 rng(1234);
    WriteSmf("RND", RandomDefinition(rng, 300));
    Definition d = ReadDefinition(Folder(), "RND.smf");
    ASSERT_TRUE(d.Ok()) << d.error;
    ASSERT_EQ(d.groups.size(), 300u);
    ParameterList stored;
    for (const ParameterGroup& g : d.groups) {
        std::string value = g.type == 'S' ? "txt" : g.type == 'H' ? "1F" : "1";
        stored.push_back({g.type, g.level, true, value});
    }
    for (char level : {'0', '9'}) {
        FormFixture f;
        f.context.securityLevel = level;
        f.context.factoryMode = level == '9';
        FormNode node = f.Node("RND", stored);
        f.form.Open(node, f.context);
        EXPECT_TRUE(f.Messages().empty()) << f.Messages()[0];
        NodeValues values = NodeValuesOf(node);
        ListingOptions options;
        options.securityLevel = level;
        EXPECT_EQ(f.form.Listing(), ListNode(values, &d, options));
        f.form.Accept();
        ASSERT_EQ(f.host.results.back().entries.size(), 300u);
        for (size_t i = 0; i < 300; ++i)
            EXPECT_EQ(f.host.results.back().entries[i].value,
                      EditorValue(d.groups[i].type, stored[i].value, d.groups[i].choices.size()));
    }
}

TEST(SecurityLevelTest, PasswordsDecideTheLevelAndAWrongOneDropsItToZero) {
    testing::FakePrompter prompter;
    Tsuoja dialog(true, prompter);
    std::vector<int> levels;
    int accepted = 0;
    dialog.levelChanged = [&](int l) { levels.push_back(l); };
    dialog.accepted = [&] { ++accepted; };
    dialog.show();
    EXPECT_TRUE(dialog.taso_9->isVisible());
    EXPECT_FALSE(dialog.salasana->isEnabled());

    dialog.taso_9->click();
    EXPECT_TRUE(dialog.salasana->isEnabled());
    QTest::keyClicks(dialog.salasana, "drolnexi");
    dialog.ok->click();
    EXPECT_EQ(levels, (std::vector<int>{9}));
    EXPECT_EQ(accepted, 1);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(dialog.Level9Chosen());

    dialog.show();
    EXPECT_TRUE(dialog.taso_9->isChecked());
    EXPECT_TRUE(dialog.salasana->text().isEmpty());
    dialog.taso_5->click();
    QTest::keyClicks(dialog.salasana, "PMTVKREZ");  // letter case counts
    dialog.ok->click();
    EXPECT_EQ(levels.back(), 0);
    EXPECT_EQ(prompter.Texts(), (Lines{kWrongPasswordText}));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.salasana->text().isEmpty());
    EXPECT_EQ(accepted, 1);

    dialog.taso_0->click();
    dialog.ok->click();
    EXPECT_EQ(levels.back(), 0);
    EXPECT_EQ(accepted, 2);

    Tsuoja plain(false, prompter);
    plain.show();
    EXPECT_FALSE(plain.taso_9->isVisible());
}

}  // namespace
}  // namespace kelmor::modemcfg::ui
