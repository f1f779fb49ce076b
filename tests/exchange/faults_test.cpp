// Faults of the exchange around the user and the port: the node fixed at the start, replies
// the modem sends unasked, frames the port cannot take, events that arrive while a question is
// open, and stopping a running exchange.
#include <gtest/gtest.h>

#include "bench.h"

namespace kelmor::exchangetest {
namespace {

using platform::Answer;

// Master M (F0, 1) and A (A1, 2) under it.
struct TwoNodes : Bench {
    designer::TKuvio& m = *node;
    designer::TKuvio& a = AddNode("A", "A1", 2);
    TwoNodes() : Bench("KL450", true) {
        m.name = "M";
        m.SetAddress("F0");
        a.routeParent = &m;
        for (auto* n : {&m, &a}) FillValues(n->parameters, definition, n->systemAddress);
    }
};

TEST(FixedNodeTest, ClickingAnotherModemDuringATransmitChangesNothingOfWhatIsSent) {
    TwoNodes b;
    b.net.activeNode = &b.m;
    b.intercept = [&](const Bytes& frame) -> std::optional<Bytes> {
        if (frame[1] == 2) b.net.activeNode = &b.a;  // the user clicks A meanwhile
        return std::nullopt;
    };
    ASSERT_TRUE(b.exchange.StartTransmit());
    b.Run();
    EXPECT_EQ(b.Commands(), (Lines{"ProgOn", "ParamsSend", "ProtocolSend", "ParamsSave",
                                   "RoutesSendFirst", "RoutesSave", "ProgOff"}));
    EXPECT_EQ(b.result, ExchangeResult::Completed);
    // The master's own system address and the master's table, not A's.
    EXPECT_EQ(b.modem->State().systemAddress, 1);
    EXPECT_EQ(b.modem->State().sourceRoutes, (std::vector<sim::SourceRoute>{{0xA1, {2}}}));
    for (size_t i = 0; i < b.m.parameters.size(); ++i) {
        if (b.m.parameters[i].level == '9') break;
        EXPECT_EQ(b.modem->State().eeprom[i], b.m.parameters[i].value) << i;
    }
}

TEST(UnaskedReplyTest, ProgrammingModeRepliesNeverTakeThePlaceOfTheAwaitedOne) {
    struct Case {
        const char* name;
        bool transmit;
        uint8_t before;       // the command whose reply is preceded by an unasked one
        uint8_t unaskedCode;  // 0x81 or 0x88
        Lines commands;
    };
    const std::vector<Case> cases = {
        {"remote state before the save reply",
         true,
         6,
         0x88,
         {"ProgOn", "ParamsSend", "ParamsSave", "ProgOff"}},
        {"programming mode before the parameter reply",
         false,
         3,
         0x81,
         {"ProgOn", "ParamsRequest", "ProgOff"}},
        {"remote state before the parameter reply",
         false,
         3,
         0x88,
         {"ProgOn", "ParamsRequest", "ProgOff"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bench b;
        b.LoadModem(4);
        FillValues(b.node->parameters, b.definition, 9);
        b.intercept = [&](const Bytes& frame) -> std::optional<Bytes> {
            if (frame[1] == c.before) {
                Bytes unasked = modemcfg::MessageBuilder(c.unaskedCode)
                                    .Add('S', '0', "KL450/SIM")
                                    .Add('B', '0', "5")
                                    .Finish();
                b.inbound.push_back({b.clock.Now() + 5, unasked});
            }
            return std::nullopt;
        };
        ASSERT_TRUE(c.transmit ? b.exchange.StartTransmit() : b.exchange.StartReceive());
        b.Run();
        EXPECT_EQ(b.Commands(), c.commands);
        EXPECT_EQ(b.result, ExchangeResult::Completed);
        EXPECT_EQ(b.prompter.Count(), 0u);
        EXPECT_EQ(b.StatusTexts().back(), "Serial port closed");
    }
}

TEST(QueueTest, PortIsSizedForTheLargestFrameAndAFrameItCannotTakeEndsTheExchangeAtOnce) {
    Bench b;
    FillValues(b.node->parameters, b.definition, 2);
    std::vector<modemcfg::Field> fields;
    for (const auto& p : b.node->parameters)
        if (p.level != '9') fields.push_back({p.type, p.level, p.value});
    const size_t paramsFrame = modemcfg::BuildMessage(2, fields).size();
    b.transmitBuffer = paramsFrame - 1;  // a port that stays too small

    ASSERT_TRUE(b.exchange.StartTransmit());
    EXPECT_GE(b.reserved, paramsFrame);
    b.Run();
    EXPECT_EQ(b.Commands(), (Lines{"ProgOn"}));
    EXPECT_EQ(b.result, ExchangeResult::QueueFailed);
    // Ended on the programming-mode reply, not by the watchdog ten seconds later.
    EXPECT_LT(b.endedAt - b.sent[0].at, 1000);
    EXPECT_FALSE(b.open);
    EXPECT_TRUE(b.due.empty());
    EXPECT_EQ(b.prompter.Texts(), (Lines{modemcfg::kQueueFailedText}));
    EXPECT_EQ(b.status.back(), (std::pair<std::string, StatusMode>{modemcfg::kQueueFailedStatus,
                                                                   StatusMode::Final}));
}

TEST(QuestionTest, BytesAndTimersArrivingWhileTheTypeQuestionIsOpenDoNotReenterTheEngine) {
    sim::ProgrammingConfig config;
    config.version = 9;  // asks the version question
    Bench b("KL450", false, config);
    b.LoadModem(6);
    const Bytes repeated = b.modem->Receive(modemcfg::BuildMessage(modemcfg::Command::ProgOn));
    int questions = 0;
    b.prompter.whileOpen = [&](const platform::Prompt&) {
        ++questions;
        EXPECT_TRUE(b.exchange.QuestionOpen());
        // The modem repeats its programming-mode reply and the watchdog fires while the user
        // reads the question.
        b.exchange.OnReceived(repeated);
        b.exchange.OnTimer(ExchangeTimer::Rsptmr);
        EXPECT_TRUE(b.exchange.Running());
        EXPECT_EQ(b.Commands(), (Lines{"ProgOn"}));
    };
    b.prompter.Script({Answer::Yes});
    ASSERT_TRUE(b.exchange.StartReceive());
    b.Run();
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(b.Commands(), (Lines{"ProgOn", "ParamsRequest", "ProgOff"}));
    EXPECT_EQ(b.result, ExchangeResult::Completed);
}

TEST(QuestionTest, AStalledModemStillEndsWhenAMessageWasOpenDuringTheWatchdog) {
    // The modem never answers ProgOff after a failed save; the watchdog expires while the
    // save-error message is open and must still end the exchange once it closes.
    sim::ProgrammingConfig config;
    config.faults = {
        {static_cast<int>(modemcfg::Command::ParamsSave), sim::ProgFaultKind::SaveFails, 0, 1},
        {static_cast<int>(modemcfg::Command::ProgOff), sim::ProgFaultKind::Silence, 0, -1}};
    Bench b("KL450", false, config);
    FillValues(b.node->parameters, b.definition, 3);
    b.prompter.whileOpen = [&](const platform::Prompt& p) {
        if (p.text == modemcfg::kSaveErrorText) b.exchange.OnTimer(ExchangeTimer::Rsptmr);
    };
    ASSERT_TRUE(b.exchange.StartTransmit());
    b.Run();
    EXPECT_FALSE(b.exchange.Running());
    EXPECT_EQ(b.StatusTexts().back(), modemcfg::kDataflowStatus);
    EXPECT_FALSE(b.open);
}

TEST(AbortTest, StopsTimersClosesThePortAndWritesTheFinalLine) {
    struct Case {
        const char* name;
        bool duringQuestion;
    };
    for (const Case& c : {Case{"while opening", false}, Case{"while the question is open", true}}) {
        SCOPED_TRACE(c.name);
        sim::ProgrammingConfig config;
        config.version = 9;
        Bench b("KL450", false, config);
        if (c.duringQuestion) {
            b.prompter.whileOpen = [&](const platform::Prompt&) { b.exchange.Abort(); };
            b.prompter.Script({Answer::Yes});
        }
        ASSERT_TRUE(b.exchange.StartReceive());
        if (!c.duringQuestion) b.exchange.Abort();
        b.Run();
        EXPECT_FALSE(b.exchange.Running());
        EXPECT_EQ(b.result, ExchangeResult::Aborted);
        EXPECT_FALSE(b.open);
        EXPECT_TRUE(b.due.empty());
        EXPECT_EQ(b.status.back(), (std::pair<std::string, StatusMode>{modemcfg::kAbortedStatus,
                                                                       StatusMode::Final}));
        EXPECT_EQ(b.Commands(), c.duringQuestion ? Lines{"ProgOn"} : Lines{});
        // Nothing more reaches the modem afterwards.
        b.exchange.OnTimer(ExchangeTimer::Alkutmr);
        EXPECT_EQ(b.Commands().size(), c.duringQuestion ? 1u : 0u);
    }
}

}  // namespace
}  // namespace kelmor::exchangetest

namespace kelmor::exchangetest {
namespace {

TEST(LateReplyTest, ALateReplyWithinTheTimeOutsStillCompletesAndOneAfterThemIsIgnored) {
    {
        Bench b;
        b.LoadModem(2);
        b.replyDelayMs = 8000;  // every reply just inside the ten seconds
        ASSERT_TRUE(b.exchange.StartReceive());
        b.Run();
        EXPECT_EQ(b.result, ExchangeResult::Completed);
        EXPECT_EQ(b.Commands(), (Lines{"ProgOn", "ParamsRequest", "ProgOff"}));
    }
    {
        Bench b;
        b.replyDelayMs = 12000;  // the programming-mode reply comes after the no-response end
        ASSERT_TRUE(b.exchange.StartReceive());
        b.Run();
        EXPECT_EQ(b.result, ExchangeResult::NoResponse);
        // The port is closed, so nothing reaches the engine; were it fed anyway, it is ignored.
        b.exchange.OnReceived(b.modem->Receive(modemcfg::BuildMessage(modemcfg::Command::ProgOn)));
        EXPECT_FALSE(b.exchange.Running());
        EXPECT_EQ(b.Commands(), (Lines{"ProgOn"}));
        EXPECT_EQ(b.prompter.Texts(), (Lines{modemcfg::kNoResponseText}));
    }
}

}  // namespace
}  // namespace kelmor::exchangetest
