// The designer window hosting the modem exchange, offscreen, against kelmor-modem-sim on a
// pseudo-terminal in real time: receive into a new node through the properties form, edit,
// transmit and receive again; routes to the master and to another modem; a rejected parameter;
// no response; commands refused while a transfer runs; closing the window mid-transfer.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "designer/ui/designerexchange.h"
#include "designer/ui/piirtopohja.h"
#include "designer/ui/prjominaisuus.h"
#include "fakeshellservices.h"
#include "modemcfg/definition.h"
#include "platform/inifile.h"
#include "platform/programdir.h"

namespace kelmor::designer::ui {
namespace {

using modemcfg::ExchangeResult;
using Lines = std::vector<std::string>;

const std::string kDefinitions = KELMOR_SOURCE_DIR "/resources/definitions";

// kelmor-modem-sim as a child process; its first output line is the pty's device path.
struct Simulator {
    pid_t pid = -1;
    std::string device;
    std::string state;

    explicit Simulator(std::vector<std::string> extra = {}) {
        state = platform::ProgramDir() + "/modem.json";
        std::filesystem::remove(state);
        std::vector<std::string> argv = {KELMOR_SIM_PATH, "--smf",   "KL160", "--definitions",
                                         kDefinitions,    "--state", state};
        argv.insert(argv.end(), extra.begin(), extra.end());
        int fds[2];
        if (pipe(fds) != 0) return;
        pid = fork();
        if (pid == 0) {
            dup2(fds[1], STDOUT_FILENO);
            close(fds[0]);
            close(fds[1]);
            std::vector<char*> args;
            for (auto& a : argv) args.push_back(a.data());
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
        close(fds[1]);
        FILE* out = fdopen(fds[0], "r");
        char line[512] = {};
        if (out && fgets(line, sizeof line, out)) device = line;
        while (!device.empty() && (device.back() == '\n' || device.back() == '\r'))
            device.pop_back();
        // The rest of its output is not read; the pipe stays open until it ends.
        setenv("KELMOR_COM1", device.c_str(), 1);
    }
    ~Simulator() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            int status = 0;
            waitpid(pid, &status, 0);
        }
        unsetenv("KELMOR_COM1");
    }
    nlohmann::json State() const {
        std::string text;
        platform::ReadFileBytes(state, text);
        return nlohmann::json::parse(text, nullptr, false);
    }
};

class DesignerExchangeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::remove(platform::SettingsPath());
        std::filesystem::copy_file(kDefinitions + "/KL160.smf",
                                   platform::ProgramDir() + "/KL160.smf",
                                   std::filesystem::copy_options::overwrite_existing);
        def = modemcfg::ReadDefinition(platform::ProgramDir(), "KL160.smf");
        ASSERT_TRUE(def.Ok());
    }
    void Open(bool single) {
        window = std::make_unique<Tpiirtopohja>(shell, single);
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->resize(900, 700);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        QApplication::processEvents();
        QApplication::processEvents();
        if (auto* d = window->findChild<Tprj_ominaisuus*>(); d && d->isVisible())
            d->CancelBtnClick();
        shell.prompter.Clear();
        exchange = dynamic_cast<DesignerExchange*>(&window->Exchange());
        ASSERT_NE(exchange, nullptr);
    }
    void TearDown() override {
        if (window) {
            if (exchange) exchange->Forget(nullptr);  // no accept of a new node on close
            window->Net().modified = false;
            window->close();
        }
    }
    TKuvio& AddNode(const std::string& name, const std::string& address, int x) {
        TKuvio& n = window->Net().NewNode(Kind::Plain, "KL160", x, 60);
        n.name = name;
        n.SetAddress(address);
        n.parameters = modemcfg::NewParameterList(def.groups, !window->SingleMode());
        for (size_t i = 0; i < def.groups.size(); ++i) {
            const auto& g = def.groups[i];
            n.parameters[i].value = g.type == 'S'   ? name
                                    : g.type == 'H' ? "12AB"
                                    : g.type == 'R' ? "1"
                                    : g.type == 'M' ? "1"
                                                    : std::to_string(x % 200 + i);
        }
        n.isNew = false;
        return n;
    }
    bool WaitEnded(int ms = 20000) {
        return QTest::qWaitFor([&] { return !exchange->Engine().Running(); }, ms);
    }
    static std::string Saved(const nlohmann::json& state, size_t i) {
        return state["parameters"][i]["saved"].get<std::string>();
    }

    testing::FakeShellServices shell;
    std::unique_ptr<Tpiirtopohja> window;
    DesignerExchange* exchange = nullptr;
    modemcfg::Definition def;
};

TEST_F(DesignerExchangeTest, ReceiveIntoANewNodeEditTransmitAndReceiveAgain) {
    Simulator sim;
    ASSERT_FALSE(sim.device.empty());
    Open(true);
    TKuvio& node = window->Net().NewNode(Kind::Plain, "KL160", 100, 100);
    ASSERT_TRUE(node.isNew);
    window->Exchange().OpenProperties(node);
    auto& form = exchange->Form();
    ASSERT_TRUE(form.isVisible());

    // Receive from the form: the new node is accepted first, then filled by the modem.
    QTest::mouseClick(form.findChild<QPushButton*>("receivebtn"), Qt::LeftButton);
    EXPECT_FALSE(form.findChild<QPushButton*>("pois")->isEnabled());
    EXPECT_TRUE(exchange->PortOpen());
    ASSERT_TRUE(WaitEnded());
    EXPECT_EQ(exchange->LastResult(), ExchangeResult::Completed)
        << ::testing::PrintToString(shell.prompter.Texts());
    EXPECT_FALSE(exchange->PortOpen());
    nlohmann::json state = sim.State();
    ASSERT_TRUE(state.is_object());
    ASSERT_EQ(node.parameters.size(), def.groups.size());
    for (size_t i = 0; i < def.groups.size(); ++i) {
        if (def.groups[i].level == '9') continue;
        if (node.parameters[i].shown) {
            EXPECT_EQ(node.parameters[i].value, Saved(state, i)) << def.groups[i].key;
        }
    }
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.findChild<QPushButton*>("pois")->isEnabled());
    EXPECT_EQ(shell.status.caption, "Receiving values from modem " + node.name);
    EXPECT_EQ(shell.status.lines.back(), "Serial port closed");

    // Change the radio channel in the form and transmit.
    auto* channel = qobject_cast<QSpinBox*>(form.EditorAt(0));
    ASSERT_NE(channel, nullptr);
    const int changed = channel->value() == 42 ? 43 : 42;
    channel->setValue(changed);
    QTest::mouseClick(form.findChild<QPushButton*>("transmitbtn"), Qt::LeftButton);
    ASSERT_TRUE(WaitEnded());
    EXPECT_EQ(exchange->LastResult(), ExchangeResult::Completed);
    EXPECT_EQ(Saved(sim.State(), 0), std::to_string(changed));
    EXPECT_EQ(shell.status.caption, "Transfering values to modem " + node.name);

    // And back again.
    node.parameters[0].value = "1";
    window->Exchange().ReceiveValues(node);
    ASSERT_TRUE(WaitEnded());
    EXPECT_EQ(node.parameters[0].value, std::to_string(changed));
    EXPECT_EQ(qobject_cast<QSpinBox*>(form.EditorAt(0))->value(), changed);
    EXPECT_TRUE(shell.prompter.Texts().empty()) << shell.prompter.Texts()[0];
}

TEST_F(DesignerExchangeTest, RoutingTransmitToTheMasterAndToAnotherModem) {
    Simulator sim;
    Open(false);
    Network& net = window->Net();
    TKuvio& m = AddNode("M", "F0", 100);
    TKuvio& a = AddNode("A", "A1", 200);
    TKuvio& b = AddNode("B", "B2", 300);
    net.SetMaster(&m);
    a.routeParent = &m;
    b.routeParent = &a;
    net.routesDirty = true;

    window->Exchange().TransmitValues(m);
    ASSERT_TRUE(WaitEnded());
    EXPECT_EQ(exchange->LastResult(), ExchangeResult::Completed)
        << ::testing::PrintToString(shell.prompter.Texts());
    nlohmann::json state = sim.State();
    EXPECT_EQ(state["protocol"]["systemAddress"], m.systemAddress);
    EXPECT_EQ(state["sourceRoutes"].size(), 2u);
    EXPECT_EQ(state["sourceRoutes"][1]["address"], "000000B2");
    EXPECT_EQ(state["sourceRoutes"][1]["path"],
              nlohmann::json::array({a.systemAddress, b.systemAddress}));

    window->Exchange().TransmitValues(a);
    ASSERT_TRUE(WaitEnded());
    EXPECT_EQ(exchange->LastResult(), ExchangeResult::Completed);
    state = sim.State();
    EXPECT_EQ(state["protocol"]["systemAddress"], a.systemAddress);
    EXPECT_TRUE(state["sourceRoutes"].empty());
}

TEST_F(DesignerExchangeTest, OtherNodeClickedAndDeleteRefusedDuringATransmit) {
    Simulator sim;
    Open(false);
    Network& net = window->Net();
    TKuvio& m = AddNode("M", "F0", 100);
    TKuvio& a = AddNode("A", "A1", 200);
    net.SetMaster(&m);
    a.routeParent = &m;
    net.routesDirty = true;

    window->Exchange().TransmitValues(m);
    ASSERT_TRUE(exchange->Engine().Running());
    // While the port is open the exchange commands are off.
    EXPECT_FALSE(window->Action("Lhetarvot1")->isEnabled());
    EXPECT_FALSE(window->Action("Haearvot1")->isEnabled());
    // The user clicks A, then tries to delete the master and to start a new project.
    window->Editor().Select(&a);
    EXPECT_EQ(net.activeNode, &a);
    window->Editor().DeleteWithQuestion(&m);
    window->NewClick();
    EXPECT_EQ(net.IndexOf(&m), 0);
    EXPECT_EQ(shell.prompter.Texts().front(), kExchangeRunsText);

    ASSERT_TRUE(WaitEnded());
    EXPECT_EQ(exchange->LastResult(), ExchangeResult::Completed);
    QApplication::processEvents();
    EXPECT_TRUE(window->Action("Lhetarvot1")->isEnabled());
    nlohmann::json state = sim.State();
    EXPECT_EQ(state["protocol"]["systemAddress"], m.systemAddress);
    EXPECT_EQ(Saved(state, 9), m.parameters[9].value);
    EXPECT_EQ(state["sourceRoutes"].size(), 1u);
}

TEST_F(DesignerExchangeTest, RejectedParameterTurnsItsEditorRed) {
    Simulator sim;
    Open(true);
    TKuvio& node = AddNode("Single", "01", 100);
    // Entry 1 is a choice of three: index 7 is no valid value for the modem.
    ASSERT_EQ(def.groups[1].type, 'R');
    node.parameters[1].value = "7";
    window->Exchange().TransmitValues(node);
    ASSERT_TRUE(WaitEnded());
    EXPECT_EQ(exchange->LastResult(), ExchangeResult::ParameterError);
    EXPECT_EQ(shell.prompter.Texts(), (Lines{modemcfg::kParameterErrorText}));
    auto& form = exchange->Form();
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.EditorAt(1)->property("marked").toBool());
    EXPECT_EQ(form.EditorAt(1)->palette().color(QPalette::Text), QColor(Qt::red));
    EXPECT_FALSE(exchange->PortOpen());
}

TEST_F(DesignerExchangeTest, NoResponseClosesThePortWithTheMessage) {
    Simulator sim({"--prog-fault", "ProgOn:silence:0:-1"});
    Open(true);
    TKuvio& node = AddNode("Single", "01", 100);
    window->Exchange().ReceiveValues(node);
    ASSERT_TRUE(WaitEnded(15000));
    EXPECT_EQ(exchange->LastResult(), ExchangeResult::NoResponse);
    EXPECT_EQ(shell.prompter.Texts(), (Lines{modemcfg::kNoResponseText}));
    EXPECT_EQ(shell.status.lines.back(), "Port closed");
    EXPECT_FALSE(exchange->PortOpen());
}

TEST_F(DesignerExchangeTest, ClosingTheWindowStopsTheTransfer) {
    Simulator sim;
    Open(true);
    TKuvio& node = AddNode("Single", "01", 100);
    window->Exchange().TransmitValues(node);
    ASSERT_TRUE(exchange->PortOpen());
    window->Net().modified = false;
    window->close();
    EXPECT_FALSE(exchange->Engine().Running());
    EXPECT_EQ(exchange->LastResult(), ExchangeResult::Aborted);
    EXPECT_FALSE(exchange->PortOpen());
    EXPECT_EQ(shell.status.lines.back(), modemcfg::kAbortedStatus);
}

TEST_F(DesignerExchangeTest, LevelNineFromTheDialogRebuildsTheFormAndReceivesFactoryValues) {
    Simulator sim;
    shell.factoryMode = true;
    Open(true);
    TKuvio& node = AddNode("Single", "01", 100);
    window->Exchange().OpenProperties(node);
    auto& form = exchange->Form();
    const int builds = form.BuildCount();
    size_t firstFactory = 0;
    while (def.groups[firstFactory].level != '9') ++firstFactory;
    EXPECT_FALSE(form.EditorAt(firstFactory)->isVisible());

    window->Exchange().SecurityLevel();
    auto* dialog = exchange->SecurityDialog();
    ASSERT_TRUE(dialog && dialog->isVisible());
    dialog->taso_9->click();
    QTest::keyClicks(dialog->salasana, "drolnexi");
    dialog->ok->click();
    EXPECT_EQ(exchange->Level(), '9');
    EXPECT_TRUE(window->Exchange().SecurityLevelNine());
    EXPECT_EQ(form.BuildCount(), builds + 1);
    EXPECT_TRUE(form.EditorAt(firstFactory)->isVisible());

    window->Exchange().ReceiveValues(node);
    ASSERT_TRUE(WaitEnded());
    EXPECT_EQ(exchange->LastResult(), ExchangeResult::Completed);
    nlohmann::json state = sim.State();
    for (size_t i = firstFactory; i < def.groups.size(); ++i)
        EXPECT_EQ(node.parameters[i].value, Saved(state, i)) << def.groups[i].key;
}

TEST_F(DesignerExchangeTest, ConversionChangesTheNodesType) {
    std::filesystem::copy_file(kDefinitions + "/KL450.smf", platform::ProgramDir() + "/KL450.smf",
                               std::filesystem::copy_options::overwrite_existing);
    Open(false);
    TKuvio& node = AddNode("N", "0A", 100);
    node.parameters[0].value = "17";
    window->Exchange().ConvertType(node, "KL450");
    auto& form = exchange->Form();
    ASSERT_TRUE(form.Converting());
    EXPECT_TRUE(window->Exchange().ConversionMode());
    shell.prompter.Script({platform::Answer::Yes});
    QTest::mouseClick(form.findChild<QPushButton*>("ConvAll"), Qt::LeftButton);
    QTest::mouseClick(form.findChild<QPushButton*>("ok"), Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(node.DefinitionFileName(), "KL450.smf");
    modemcfg::Definition kl450 = modemcfg::ReadDefinition(platform::ProgramDir(), "KL450.smf");
    ASSERT_EQ(node.parameters.size(), kl450.groups.size());
    EXPECT_EQ(node.typeTitle, kl450.name);
    EXPECT_EQ(node.parameters[0].type, kl450.groups[0].type);
    EXPECT_EQ(node.parameters[0].value, "17");  // both types start with a byte: Conv all
}

TEST_F(DesignerExchangeTest, DeletingTheFormsNodeClosesTheForm) {
    Open(false);
    TKuvio& a = AddNode("A", "A1", 100);
    window->Exchange().OpenProperties(a);
    ASSERT_TRUE(exchange->Form().isVisible());
    shell.prompter.Script({platform::Answer::Yes});  // "Do you want to delete this modem ?"
    window->Editor().DeleteWithQuestion(&a);
    ASSERT_TRUE(window->Net().nodes.empty());
    EXPECT_FALSE(exchange->Form().isVisible());
    exchange->Form().Accept();  // nothing is written anywhere
    EXPECT_EQ(exchange->FormNode(), nullptr);
}

TEST_F(DesignerExchangeTest, PortMenuStoresTheChoice) {
    Open(true);
    QAction* com5 = window->Action("COM5");
    ASSERT_NE(com5, nullptr);
    com5->trigger();
    EXPECT_EQ(modemcfg::ReadPortNumber(platform::SettingsPath()), 5);
    EXPECT_EQ(exchange->Engine().PortNumber(), 5);
}

}  // namespace
}  // namespace kelmor::designer::ui
