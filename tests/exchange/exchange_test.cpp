// The modem exchange driven against the simulated modem on a virtual clock: every chain command
// by command, the questions, the time-outs and the route distribution.
#include <gtest/gtest.h>

#include "bench.h"
#include "core/crc16.h"
#include "designer/routes.h"

namespace kelmor::exchangetest {
namespace {

using modemcfg::PendingOperation;
using platform::Answer;

const char* kNoRoutingText = "Routing NOT available in this modem version !!";

size_t FirstFactory(const modemcfg::Definition& d) {
    size_t i = 0;
    while (i < d.groups.size() && d.groups[i].level != '9') ++i;
    return i;
}

// --- receive ---

TEST(ReceiveTest, LevelZeroRunsTheChainAndStoresOnlyShownEntries) {
    Bench b;
    // What the modem holds: values of salt 3; the node holds salt 7.
    b.LoadModem(3);
    FillValues(b.node->parameters, b.definition, 7);
    const modemcfg::ParameterList before = b.node->parameters;
    b.net.modified = false;

    ASSERT_TRUE(b.exchange.StartReceive());
    EXPECT_EQ(b.caption, "Receiving values from modem Modem 1");
    b.Run();

    EXPECT_EQ(b.Commands(), (Lines{"ProgOn", "ParamsRequest", "ProgOff"}));
    // The programming-mode command goes out one second after the port opened.
    ASSERT_FALSE(b.sent.empty());
    EXPECT_EQ(b.sent[0].at - b.openedAt, 1000);
    EXPECT_EQ(b.StatusTexts(), (Lines{"Opening port COM1.. Wait 1 second..", "Modem 1",
                                      "Set the modem to the programming mode",
                                      "Modem turned to remote state response",
                                      "Requesting parameters from the modem.",
                                      "Response from the modem.", "Set programming mode off",
                                      "Modem to normal state response", "Serial port closed"}));
    EXPECT_EQ(b.status.back().second, StatusMode::Final);
    EXPECT_EQ(b.result, ExchangeResult::Completed);
    EXPECT_FALSE(b.open);
    EXPECT_EQ(b.prompter.Count(), 0u);
    EXPECT_EQ(b.Events({"form:"}), (Lines{"form:hide", "form:show"}));
    // The byte log: every frame sent, and every reply with a good CRC.
    ASSERT_EQ(b.loggedSent.size(), b.sent.size());
    for (size_t i = 0; i < b.sent.size(); ++i) EXPECT_EQ(b.loggedSent[i], b.sent[i].frame);
    EXPECT_EQ(b.loggedReceived.size(), 3u);

    size_t firstFactory = FirstFactory(b.definition);
    int hiddenKept = 0;
    for (size_t i = 0; i < before.size(); ++i) {
        const auto& entry = b.node->parameters[i];
        if (i < firstFactory && before[i].shown) {
            EXPECT_EQ(entry.value, b.modem->State().values[i]) << i;
        } else {
            EXPECT_EQ(entry.value, before[i].value) << i;  // hidden or factory: kept
            ++hiddenKept;
        }
    }
    EXPECT_GT(hiddenKept, static_cast<int>(before.size() - firstFactory));  // some hidden ones
    EXPECT_EQ(b.net.currentNode, b.node);
    EXPECT_TRUE(b.net.modified);
    EXPECT_EQ(b.settings->baudRate, 19200);
    EXPECT_EQ(b.settings->parity, 'E');
    EXPECT_EQ(b.portNumber, 1);
}

TEST(ReceiveTest, LevelNineAlsoRequestsTheFactoryParametersAndShowsThem) {
    Bench b;
    b.LoadModem(5);
    b.exchange.SetSecurityLevel('9');

    ASSERT_TRUE(b.exchange.StartReceive());
    b.Run();

    EXPECT_EQ(b.Commands(), (Lines{"ProgOn", "ParamsRequest", "FactoryParamsRequest", "ProgOff"}));
    EXPECT_EQ(b.result, ExchangeResult::Completed);
    size_t firstFactory = FirstFactory(b.definition);
    ASSERT_LT(firstFactory, b.node->parameters.size());
    for (size_t i = firstFactory; i < b.node->parameters.size(); ++i) {
        EXPECT_TRUE(b.node->parameters[i].shown) << i;
        EXPECT_EQ(b.node->parameters[i].value, b.modem->State().values[i]) << i;
        EXPECT_EQ(b.node->parameters[i].level, '9');
    }
}

// --- transmit ---

struct TransmitCase {
    std::string type;
    char level;
    Lines commands;
};

class SingleTransmitTest : public ::testing::TestWithParam<TransmitCase> {};

TEST_P(SingleTransmitTest, SendsTheChainAndTheModemSavesEveryValue) {
    const TransmitCase& c = GetParam();
    Bench b(c.type);
    FillValues(b.node->parameters, b.definition, 11);
    b.exchange.SetSecurityLevel(c.level);

    ASSERT_TRUE(b.exchange.StartTransmit());
    EXPECT_EQ(b.caption, "Transfering values to modem Modem 1");
    b.Run();

    EXPECT_EQ(b.Commands(), c.commands);
    EXPECT_EQ(b.result, ExchangeResult::Completed);
    EXPECT_EQ(b.prompter.Count(), 0u);
    EXPECT_EQ(b.StatusTexts().back(), "Serial port closed");
    const size_t firstFactory = FirstFactory(b.definition);
    for (size_t i = 0; i < b.node->parameters.size(); ++i) {
        bool sent = i < firstFactory || c.level == '9';
        const std::string expected =
            sent ? b.node->parameters[i].value : sim::DefaultValue(b.definition.groups[i].type);
        EXPECT_EQ(b.modem->State().eeprom[i], expected) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Levels, SingleTransmitTest,
    ::testing::Values(
        TransmitCase{"KL450", '0', {"ProgOn", "ParamsSend", "ParamsSave", "ProgOff"}},
        TransmitCase{
            "KL450", '9', {"ProgOn", "FactoryParamsSend", "ParamsSend", "ParamsSave", "ProgOff"}}),
    [](const auto& info) { return std::string("Level") + info.param.level; });

TEST(TransmitTest, LevelNineWithoutFactoryParametersSendsParametersDirectly) {
    Bench b;
    // The same type without its factory parameters.
    auto& groups = b.definition.groups;
    groups.erase(groups.begin() + static_cast<long>(FirstFactory(b.definition)), groups.end());
    b.modem = std::make_unique<sim::ProgrammingModem>(b.definition, sim::ProgrammingConfig{});
    b.node->parameters = modemcfg::NewParameterList(groups, false);
    FillValues(b.node->parameters, b.definition, 2);
    b.exchange.SetSecurityLevel('9');
    ASSERT_TRUE(b.exchange.StartTransmit());
    b.Run();
    EXPECT_EQ(b.Commands(), (Lines{"ProgOn", "ParamsSend", "ParamsSave", "ProgOff"}));
    EXPECT_EQ(b.result, ExchangeResult::Completed);
}

TEST(TransmitTest, RejectedParameterSendsProgOffBeforeTheFormShowsTheModemsValues) {
    Bench b;
    FillValues(b.node->parameters, b.definition, 1);
    // Entry 2 is a choice of six entries: index 9 is out of its range.
    ASSERT_EQ(b.definition.groups[2].type, 'R');
    b.node->parameters[2].value = "9";
    b.modem->State().values[1] = b.modem->State().eeprom[1] = "1";
    b.modem->State().values[2] = b.modem->State().eeprom[2] = "4";
    const std::vector<std::string> saved = b.modem->State().eeprom;

    ASSERT_TRUE(b.exchange.StartTransmit());
    b.Run();

    EXPECT_EQ(b.Commands(), (Lines{"ProgOn", "ParamsSend", "ProgOff"}));
    EXPECT_EQ(b.result, ExchangeResult::ParameterError);
    // The modem answers its own values of the first three parameters; all three are marked.
    Lines order = b.Events({"send:ProgOff", "mark:", "form:show", "prompt:"});
    EXPECT_EQ(order, (Lines{"send:ProgOff", "mark:1:B:0", "mark:2:R:1", "mark:3:R:4", "form:show",
                            "prompt:" + std::string(modemcfg::kParameterErrorText)}));
    auto texts = b.StatusTexts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Parameter error"), texts.end());
    // Nothing reached the modem's EEPROM.
    EXPECT_EQ(b.modem->State().eeprom, saved);
    EXPECT_EQ(b.modem->State().values, saved);
}

TEST(TransmitTest, EmptyParameterListEndsWithAMessageInsteadOfAStall) {
    Bench b;
    b.node->parameters.clear();
    ASSERT_TRUE(b.exchange.StartTransmit());
    b.Run();
    EXPECT_EQ(b.Commands(), (Lines{"ProgOn", "ProgOff"}));
    EXPECT_EQ(b.result, ExchangeResult::NothingToSend);
    EXPECT_EQ(b.prompter.Texts(), (Lines{modemcfg::kNothingToSendText}));
    EXPECT_LT(b.endedAt, 2000);
}

TEST(TransmitTest, FailedEepromSaveIsReported) {
    sim::ProgrammingConfig config;
    config.faults.push_back(*sim::ParseProgFault("ParamsSave:savefail"));
    Bench b("KL450", false, config);
    FillValues(b.node->parameters, b.definition, 4);
    ASSERT_TRUE(b.exchange.StartTransmit());
    b.Run();
    EXPECT_EQ(b.Commands(), (Lines{"ProgOn", "ParamsSend", "ParamsSave", "ProgOff"}));
    EXPECT_EQ(b.prompter.Texts(), (Lines{modemcfg::kSaveErrorText}));
    EXPECT_EQ(b.result, ExchangeResult::SaveFailed);
}

// --- the programming-mode reply ---

struct TypeCase {
    std::string reported;  // type text the modem reports
    int version;
    std::optional<std::string> question;  // expected question, if any
    Answer answer;
    Lines commands;
    ExchangeResult result;
};

class TypeCheckTest : public ::testing::TestWithParam<TypeCase> {};

TEST_P(TypeCheckTest, AsksOnlyWhenTypeOrVersionDiffers) {
    const TypeCase& c = GetParam();
    sim::ProgrammingConfig config;
    config.typeText = c.reported;
    config.version = c.version;
    Bench b("KL450", false, config);
    b.prompter.Script({c.answer});
    ASSERT_TRUE(b.exchange.StartReceive());
    b.Run();
    if (c.question) {
        ASSERT_EQ(b.prompter.Count(), 1u);
        EXPECT_EQ(b.prompter.Prompts()[0].text, *c.question);
        EXPECT_EQ(b.prompter.Prompts()[0].buttons, platform::Buttons::YesNo);
    } else {
        EXPECT_EQ(b.prompter.Count(), 0u);
    }
    EXPECT_EQ(b.Commands(), c.commands);
    EXPECT_EQ(b.result, c.result);
    EXPECT_FALSE(b.open);
}

const Lines kReceiveChain{"ProgOn", "ParamsRequest", "ProgOff"};

INSTANTIATE_TEST_SUITE_P(
    Cases, TypeCheckTest,
    ::testing::Values(
        // KL450 has "Version number" 5.
        TypeCase{"kl450/2.1", 5, std::nullopt, Answer::Yes, kReceiveChain,
                 ExchangeResult::Completed},
        TypeCase{"KL450", 6, std::string(modemcfg::kVersionQuestion), Answer::Yes, kReceiveChain,
                 ExchangeResult::Completed},
        TypeCase{"KL450",
                 6,
                 std::string(modemcfg::kVersionQuestion),
                 Answer::No,
                 {"ProgOn", "ProgOff"},
                 ExchangeResult::Declined},
        TypeCase{"KL160/1.0",
                 5,
                 "Smf-file type doesn't match.\r\nSelected KL450\r\nRadio modem software needs the "
                 "smf-file KL160\r\nIncorrect smf-file type may show wrong values.\r\nDo you want "
                 "to continue ?",
                 Answer::No,
                 {"ProgOn", "ProgOff"},
                 ExchangeResult::Declined}));

// --- time-outs and faults ---

TEST(FailureTest, SilenceAfterProgOnEndsTenSecondsAfterTheStart) {
    sim::ProgrammingConfig config;
    config.faults.push_back(*sim::ParseProgFault("ProgOn:silence:0:-1"));
    Bench b("KL450", false, config);
    ASSERT_TRUE(b.exchange.StartReceive());
    b.Run();
    EXPECT_EQ(b.endedAt, 10000);
    EXPECT_EQ(b.result, ExchangeResult::NoResponse);
    EXPECT_EQ(b.prompter.Texts(), (Lines{modemcfg::kNoResponseText}));
    Lines texts = b.StatusTexts();
    Lines tail(texts.end() - 2, texts.end());
    EXPECT_EQ(tail, (Lines{"No response from the modem", "Port closed"}));
    EXPECT_EQ(b.Events({"cancel:"}), (Lines{"cancel:enabled"}));
    EXPECT_FALSE(b.open);
    EXPECT_TRUE(b.due.empty());
    EXPECT_FALSE(b.exchange.Running());
}

TEST(FailureTest, StallAfterTheProgrammingModeReplyEndsTenSecondsAfterTheLastStatusLine) {
    sim::ProgrammingConfig config;
    config.faults.push_back(*sim::ParseProgFault("ProgOn:stall"));
    Bench b("KL450", false, config);
    FillValues(b.node->parameters, b.definition, 1);
    ASSERT_TRUE(b.exchange.StartTransmit());
    b.Run();
    EXPECT_EQ(b.Commands(), (Lines{"ProgOn", "ParamsSend"}));
    // ProgOn at 1000, its reply at 1020: the last line ("Parameters send to modem") then.
    EXPECT_EQ(b.endedAt, 1020 + 10000);
    EXPECT_EQ(b.result, ExchangeResult::DataflowInterrupted);
    EXPECT_EQ(b.prompter.Texts(), (Lines{modemcfg::kDataflowText}));
    EXPECT_EQ(b.StatusTexts().back(), modemcfg::kDataflowStatus);
    EXPECT_EQ(b.status.back().second, StatusMode::Final);
    EXPECT_FALSE(b.open);
}

TEST(FailureTest, BadReplyCrcShowsBothNumbersAndTheWatchdogEndsTheExchange) {
    sim::ProgrammingConfig config;
    config.faults.push_back(*sim::ParseProgFault("ParamsRequest:corrupt"));
    Bench b("KL450", false, config);
    std::optional<Bytes> corrupted;
    b.intercept = [&](const Bytes& frame) -> std::optional<Bytes> {
        if (frame[1] == 3) {
            sim::ProgrammingModem copy(b.definition, {});
            copy.Receive(modemcfg::BuildMessage(modemcfg::Command::ProgOn));
            Bytes good = copy.Receive(frame);
            corrupted = good;
            corrupted->back() ^= 0xFF;
            return corrupted;
        }
        return std::nullopt;
    };
    ASSERT_TRUE(b.exchange.StartReceive());
    b.Run();
    ASSERT_TRUE(corrupted);
    auto check = modemcfg::CheckCrc(*corrupted);
    EXPECT_EQ(b.prompter.Texts(),
              (Lines{"CRC error in modem -> PC message" + std::to_string(check.computed) + " " +
                         std::to_string(check.received),
                     modemcfg::kDataflowText}));
    EXPECT_EQ(b.result, ExchangeResult::CrcError);
    EXPECT_EQ(b.Commands(), (Lines{"ProgOn", "ParamsRequest"}));
    // Nothing of the damaged reply was stored.
    for (const auto& p : b.node->parameters) EXPECT_EQ(p.value, "");
}

struct FaultCase {
    std::string fault;
    Lines commands;
    Lines prompts;
    ExchangeResult result;
};

class ModemFaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(ModemFaultTest, EndsWithTheModemsComplaint) {
    const FaultCase& c = GetParam();
    sim::ProgrammingConfig config;
    config.faults.push_back(*sim::ParseProgFault(c.fault));
    Bench b("KL450", false, config);
    FillValues(b.node->parameters, b.definition, 1);
    ASSERT_TRUE(b.exchange.StartTransmit());
    b.Run();
    EXPECT_EQ(b.Commands(), c.commands);
    EXPECT_EQ(b.prompter.Texts(), c.prompts);
    EXPECT_EQ(b.result, c.result);
    EXPECT_FALSE(b.open);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ModemFaultTest,
    ::testing::Values(
        // The modem's CRC-error reply: no resend; the watchdog ends the exchange.
        FaultCase{"ParamsSend:crc",
                  {"ProgOn", "ParamsSend"},
                  {modemcfg::kCrcReplyText, modemcfg::kDataflowText},
                  ExchangeResult::CrcError},
        FaultCase{"ParamsSave:unknown",
                  {"ProgOn", "ParamsSend", "ParamsSave", "ProgOff"},
                  {modemcfg::kUnknownReplyText},
                  ExchangeResult::UnknownReply}));

TEST(ExchangeTest, SecondStartIsRefusedWhileOneRuns) {
    Bench b;
    FillValues(b.node->parameters, b.definition, 1);
    ASSERT_TRUE(b.exchange.StartReceive());
    EXPECT_FALSE(b.exchange.StartTransmit());
    EXPECT_FALSE(b.exchange.StartReceive());
    EXPECT_EQ(b.prompter.Texts(),
              (Lines{modemcfg::kExchangeRunningText, modemcfg::kExchangeRunningText}));
    b.Run();
    EXPECT_EQ(b.Commands(), kReceiveChain);
    // Once it has ended a new one starts.
    EXPECT_TRUE(b.exchange.StartTransmit());
}

TEST(ExchangeTest, InvalidSerialSettingsAndPortNumbersAreReportedAndTheOldValuesKept) {
    Bench b;
    b.node->portSettings = "600,8,X,3";
    b.exchange.SetPortNumber(17);
    ASSERT_TRUE(b.exchange.StartReceive());
    EXPECT_EQ(b.prompter.Texts(), (Lines{"Check serial port baudrate !!\r\n600 is invalid value",
                                         "Check serial port parity !!\r\nX is invalid value",
                                         "Check serial port stopbits !!\r\n3 is invalid value",
                                         modemcfg::kPortNumberText}));
    EXPECT_FALSE(b.settings->baudRate);
    EXPECT_EQ(b.settings->dataBits, 8);
    EXPECT_EQ(b.portNumber, 0);  // never set

    // A port left open keeps its number.
    Bench c;
    c.open = true;
    c.exchange.SetPortNumber(3);
    ASSERT_TRUE(c.exchange.StartReceive());
    EXPECT_EQ(c.prompter.Texts(), (Lines{modemcfg::kClosePortFirstText}));
    EXPECT_EQ(c.portNumber, 0);
}

TEST(ExchangeTest, BytesBeforeTheProgrammingModeCommandAreDiscarded) {
    Bench b;
    ASSERT_TRUE(b.exchange.StartReceive());
    EXPECT_FALSE(b.exchange.ExchangeActive());
    // A stale reply still in the line when the port opens.
    b.exchange.OnReceived(modemcfg::MessageBuilder(0x83).Add('B', '0', "1").Finish());
    EXPECT_TRUE(b.exchange.ReceiveBuffer().empty());
    b.Run();
    EXPECT_EQ(b.Commands(), kReceiveChain);
    EXPECT_EQ(b.result, ExchangeResult::Completed);
}

TEST(ExchangeTest, RepeatedReplyDoesNotAdvanceTheChain) {
    Bench b;
    FillValues(b.node->parameters, b.definition, 1);
    b.intercept = [&](const Bytes& frame) -> std::optional<Bytes> {
        if (frame[1] != 2) return std::nullopt;
        // The ParamsSend reply arrives twice.
        Bytes ok = modemcfg::MessageBuilder(0x82).Finish();
        b.inbound.push_back({b.clock.Now() + 10, ok});
        return ok;
    };
    ASSERT_TRUE(b.exchange.StartTransmit());
    b.Run();
    EXPECT_EQ(b.Commands(), (Lines{"ProgOn", "ParamsSend", "ParamsSave", "ProgOff"}));
    EXPECT_EQ(b.result, ExchangeResult::Completed);
}

TEST(ExchangeTest, AModemThatNeverSettlesIsEndedByTheWatchdog) {
    struct Case {
        const char* name;
        std::function<std::optional<Bytes>(const Bytes&)> reply;
    };
    const std::vector<Case> cases = {
        // Answers ProgOff with "unknown": ProgOff is not sent again and again.
        {"unknown ProgOff",
         [](const Bytes& f) -> std::optional<Bytes> {
             if (f[1] == 0) return modemcfg::MessageBuilder(0x93).Finish();
             return std::nullopt;
         }},
        // Answers every command after ProgOn with a fresh remote-state reply.
        {"restarting",
         [](const Bytes& f) -> std::optional<Bytes> {
             if (f[1] != 1) return modemcfg::MessageBuilder(0x88).Finish();
             return std::nullopt;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bench b;
        FillValues(b.node->parameters, b.definition, 1);
        b.intercept = c.reply;
        ASSERT_TRUE(b.exchange.StartTransmit());
        b.Run();
        EXPECT_FALSE(b.exchange.Running());
        EXPECT_LT(b.sent.size(), 10u);
        EXPECT_EQ(b.StatusTexts().back(), modemcfg::kDataflowStatus);
        EXPECT_FALSE(b.open);
    }
}

// --- routing transmit ---

// Master M (F0, 1); A (A1, 2) under M; B (B2, 4) under A; all of the bench's type.
struct RoutedBench : Bench {
    designer::TKuvio& m = *node;
    designer::TKuvio& a = AddNode("A", "A1", 2);
    designer::TKuvio& c = AddNode("B", "B2", 4);
    explicit RoutedBench(sim::ProgrammingConfig config = {}) : Bench("KL450", true, config) {
        m.name = "M";
        m.SetAddress("F0");
        a.routeParent = &m;
        c.routeParent = &a;
        for (auto* n : {&m, &a, &c}) FillValues(n->parameters, definition, n->systemAddress);
        net.properties.accepted.networkId = "NET1";
        net.properties.accepted.protocol = 1;
    }
};

TEST(RoutingTransmitTest, MasterGetsEveryRouteLineThenRoutesSave) {
    sim::ProgrammingConfig config;
    config.wantsOffsetLength = true;
    RoutedBench b(config);
    b.net.activeNode = &b.m;
    b.m.routesChanged = true;
    // As just loaded from a file: nothing marks the routes for computation.
    b.net.routesDirty = false;
    ASSERT_TRUE(b.exchange.StartTransmit());
    b.Run();
    EXPECT_EQ(b.Commands(),
              (Lines{"ProgOn", "ParamsSend", "ProtocolSend", "OffsetLengthSend", "ParamsSave",
                     "RoutesSendFirst", "RoutesSend", "RoutesSave", "ProgOff"}));
    EXPECT_EQ(b.result, ExchangeResult::Completed);
    EXPECT_EQ(b.prompter.Count(), 0u);
    const sim::ModemState& s = b.modem->State();
    EXPECT_EQ(s.sourceRoutes, (std::vector<sim::SourceRoute>{{0xA1, {2}}, {0xB2, {2, 4}}}));
    EXPECT_EQ(s.networkId, "NET1");
    EXPECT_EQ(s.protocol, 1);
    EXPECT_EQ(s.routingType, 0);
    EXPECT_EQ(s.systemAddress, 1);
    EXPECT_FALSE(b.m.routesChanged);
    auto texts = b.StatusTexts();
    for (const char* line :
         {"Send protocol info to modem", "Send source routeinfo to modem 0",
          "Send source routeinfo to modem 1", "Send source route saving command"})
        EXPECT_NE(std::find(texts.begin(), texts.end(), line), texts.end()) << line;
    EXPECT_EQ(b.exchange.Pending(), PendingOperation::None);
}

TEST(RoutingTransmitTest, OtherModemUnderSourceRoutingGetsSourceRoutesRemove) {
    RoutedBench b;
    b.modem->State().sourceRoutes = {{0x12, {3}}};
    b.net.activeNode = &b.a;
    ASSERT_TRUE(b.exchange.StartTransmit());
    b.Run();
    EXPECT_EQ(b.Commands(), (Lines{"ProgOn", "ParamsSend", "ProtocolSend", "ParamsSave",
                                   "SourceRoutesRemove", "ProgOff"}));
    EXPECT_EQ(b.result, ExchangeResult::Completed);
    EXPECT_TRUE(b.modem->State().sourceRoutes.empty());
    EXPECT_EQ(b.modem->State().systemAddress, 2);
}

TEST(RoutingTransmitTest, VirtualRoutingSendsTheNodesTable) {
    RoutedBench b;
    b.net.properties.controls.routingType = 1;
    b.net.activeNode = &b.a;
    b.a.routesChanged = true;
    ASSERT_TRUE(b.exchange.StartTransmit());
    b.Run();
    ASSERT_TRUE(b.a.HasVirtualRoutes());
    const auto& table = b.a.VirtualRoutes();
    ASSERT_FALSE(table.empty());
    Lines expected{"ProgOn", "ParamsSend", "ProtocolSend", "ParamsSave", "VirtualRoutesSendFirst"};
    for (size_t i = 1; i < table.size(); ++i) expected.push_back("VirtualRoutesSend");
    expected.insert(expected.end(), {"RoutesSave", "ProgOff"});
    EXPECT_EQ(b.Commands(), expected);
    EXPECT_EQ(b.modem->State().virtualRoutes, table);
    EXPECT_EQ(b.modem->State().routingType, 1);
    EXPECT_FALSE(b.a.routesChanged);
    EXPECT_EQ(b.result, ExchangeResult::Completed);
}

TEST(RoutingTransmitTest, RoutingNotAvailableEndsTheChainAndKeepsTheRoutesMarked) {
    sim::ProgrammingConfig config;
    config.routingAvailable = false;
    RoutedBench b(config);
    b.net.activeNode = &b.m;
    b.m.routesChanged = true;
    ASSERT_TRUE(b.exchange.StartTransmit());
    b.Run();
    EXPECT_EQ(b.Commands(), (Lines{"ProgOn", "ParamsSend", "ProtocolSend", "ParamsSave",
                                   "RoutesSendFirst", "ProgOff"}));
    EXPECT_EQ(b.prompter.Texts(), (Lines{kNoRoutingText}));
    EXPECT_EQ(b.result, ExchangeResult::RoutingNotAvailable);
    EXPECT_TRUE(b.m.routesChanged);
    EXPECT_FALSE(b.open);
}

TEST(RoutingTransmitTest, RouteErrorStopsBeforeThePortOpens) {
    RoutedBench b;
    b.c.SetAddress("A1");  // duplicate address
    b.net.activeNode = &b.m;
    EXPECT_FALSE(b.exchange.StartTransmit());
    EXPECT_EQ(b.prompter.Texts(), (Lines{designer::kDuplicateAddressText}));
    EXPECT_TRUE(b.log.empty() || b.Events({"open"}).empty());
    EXPECT_FALSE(b.exchange.Running());
}

TEST(RoutingTransmitTest, RemoteStateReplyDuringRoutesRestartsTheSequence) {
    RoutedBench b;
    b.net.activeNode = &b.m;
    int routeFrames = 0;
    b.intercept = [&](const Bytes& frame) -> std::optional<Bytes> {
        // The modem restarts after the second route line: it answers as a fresh remote state.
        if ((frame[1] == 13 || frame[1] == 4) && ++routeFrames == 2)
            return modemcfg::MessageBuilder(0x88).Finish();
        return std::nullopt;
    };
    ASSERT_TRUE(b.exchange.StartTransmit());
    b.Run();
    EXPECT_EQ(b.Commands(),
              (Lines{"ProgOn", "ParamsSend", "ProtocolSend", "ParamsSave", "RoutesSendFirst",
                     "RoutesSend", "RoutesSendFirst", "RoutesSend", "RoutesSave", "ProgOff"}));
    EXPECT_EQ(b.result, ExchangeResult::Completed);
    EXPECT_EQ(b.modem->State().sourceRoutes.size(), 2u);
}

// --- port number setting ---

TEST(PortNumberTest, StoredInTheSettingsFileAndReadBack) {
    std::string ini = std::string(std::getenv("KELMOR_HOME")) + "/kelmor.ini";
    testing::FakePrompter prompter;
    EXPECT_EQ(modemcfg::ReadPortNumber(ini), 1);
    EXPECT_TRUE(modemcfg::StorePortNumber(ini, 7, prompter));
    EXPECT_EQ(modemcfg::ReadPortNumber(ini), 7);
    EXPECT_FALSE(modemcfg::StorePortNumber("/nonexistent/dir/kelmor.ini", 3, prompter));
    EXPECT_EQ(prompter.Texts(), (Lines{"Unable to write ini file. Access denied"}));
}

}  // namespace
}  // namespace kelmor::exchangetest
