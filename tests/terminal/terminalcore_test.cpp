// The terminal's traffic and port ownership, on an in-memory device whose output the test can
// hold as flow control would.
#include "terminal/terminalcore.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "../serial/fakeserialdevice.h"
#include "fakeprompter.h"
#include "terminal/portsetup.h"

namespace kelmor::terminal {
namespace {

using kelmor::testing::FakeFactory;
using kelmor::testing::FakeLine;
using kelmor::testing::FakePrompter;

template <class Done>
bool PumpUntil(Done done, int timeoutMs = 3000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void PumpFor(int ms) {
    PumpUntil([] { return false; }, ms);
}

// A terminal's core on the fake device, port open, echo off.
struct CoreFixture : ::testing::Test {
    std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
    FakePrompter prompter;
    MemoryTextArea area;
    TerminalDisplay display{area};
    TerminalCore core{display};

    void SetUp() override {
        platform::SetDefaultPrompter(&prompter);
        core.Port().SetDeviceFactory(FakeFactory(line));
        core.Port().SetDevicePath("fake");
        core.Port().SetPrompter(&prompter);
        core.Port().Setvaliaika(5);
        ASSERT_TRUE(core.OpenPort());
    }
    void TearDown() override {
        core.ClosePort();
        platform::SetDefaultPrompter(nullptr);
    }
    std::string Written() {
        std::lock_guard lock(line->mutex);
        return std::string(line->written.begin(), line->written.end());
    }
    int WriteCalls() {
        std::lock_guard lock(line->mutex);
        return line->writeCalls;
    }
    void Hold(bool hold) {
        line->With([hold](FakeLine& l) { l.holdWrites = hold; });
    }
    void Type(const std::string& text) {
        for (char c : text) core.TypeCharacter(static_cast<uint8_t>(c));
    }
};

TEST_F(CoreFixture, MovingToAnotherPortWhileAWriteIsHeldKeepsTypingAndPastingAlive) {
    Hold(true);
    Type("a");
    ASSERT_TRUE(PumpUntil([&] { return WriteCalls() > 0; }));
    PumpFor(20);  // the write is in flight, held by flow control

    // The settings dialog moves the terminal from COM 2 to COM 5.
    PortSetup setup;
    setup.SetPrompter(&prompter);
    TerminalPortSettings s = setup.Begin(core, false);
    s.serialPort = 4;
    setup.Accept(s);
    ASSERT_TRUE(core.Port().IsOpen());
    EXPECT_EQ(core.Port().Portin_nro(), serial::COM5);

    Hold(false);
    Type("b");
    core.SendBlock({'p', 'a', 's', 't', 'e'});
    // The held "a" went with the old port; everything after it goes out on the new one.
    EXPECT_TRUE(PumpUntil([&] { return Written() == "bpaste"; })) << Written();
}

TEST_F(CoreFixture, TypedBacklogLargerThanTheTransmitBufferIsSentWhole) {
    core.Port().SetTX_puskurin_koko(16);
    Hold(true);
    Type("x");
    ASSERT_TRUE(PumpUntil([&] { return WriteCalls() > 0; }));
    // Typed while the first write is held: more than the port's transmit buffer takes at once.
    const std::string backlog = "the quick brown fox jumps over the lazy dog";
    Type(backlog);
    PumpFor(20);
    Hold(false);
    EXPECT_TRUE(PumpUntil([&] { return Written() == "x" + backlog; })) << Written();
    // And the terminal still sends afterwards.
    Type("!");
    EXPECT_TRUE(PumpUntil([&] { return Written() == "x" + backlog + "!"; })) << Written();
}

TEST_F(CoreFixture, DiscardingPendingSendKeepsTheChunkInFlightAndTypedBytes) {
    core.Port().SetTX_puskurin_koko(4);
    Hold(true);
    core.SendBlock({'1', '2', '3', '4', '5', '6', '7', '8'});
    ASSERT_TRUE(PumpUntil([&] { return WriteCalls() > 0; }));
    Type("t");
    core.DiscardPendingSend();
    Hold(false);
    EXPECT_TRUE(PumpUntil([&] { return Written() == "1234t"; })) << Written();
    PumpFor(30);
    EXPECT_EQ(Written(), "1234t");
}

TEST_F(CoreFixture, PortNoticesTellTheirCauseApart) {
    using M = TransmitMessage;
    using C = PortChange;
    std::vector<M> messages;
    std::vector<std::pair<M, C>> notices;
    // The lists die with this body, before the fixture closes the port: forget them first.
    auto forget = [this](CoreFixture*) {
        core.onTransmitMessage = nullptr;
        core.onPortNotice = nullptr;
    };
    std::unique_ptr<CoreFixture, decltype(forget)> guard(this, forget);
    core.transmitWindowOpen = true;
    core.onTransmitMessage = [&](M m) { messages.push_back(m); };
    core.onPortNotice = [&](M m, C c) { notices.push_back({m, c}); };

    core.ClosePort(C::Released);
    EXPECT_EQ(core.ClosedBy(), PortClosedBy::Shell);
    core.OpenPort(C::Reacquired);
    EXPECT_EQ(core.ClosedBy(), PortClosedBy::None);
    core.ClosePort(C::Suspended);
    core.OpenPort(C::Resumed);
    core.ClosePort(C::User);
    EXPECT_TRUE(core.UserClosed());
    // A release of a port the user closed leaves it the user's to open.
    core.ClosePort(C::Released);
    EXPECT_EQ(core.ClosedBy(), PortClosedBy::User);
    core.OpenPort(C::User);

    // The transmit window's own notices: closed for every close, back only after a resume.
    EXPECT_EQ(messages, (std::vector<M>{M::PortClosed, M::PortClosed, M::PortBack, M::PortClosed,
                                        M::PortClosed}));
    EXPECT_EQ(notices, (std::vector<std::pair<M, C>>{{M::PortClosed, C::Released},
                                                     {M::PortBack, C::Reacquired},
                                                     {M::PortClosed, C::Suspended},
                                                     {M::PortBack, C::Resumed},
                                                     {M::PortClosed, C::User},
                                                     {M::PortClosed, C::Released},
                                                     {M::PortBack, C::User}}));

    // A device that goes away is its own cause.
    notices.clear();
    line->With([](FakeLine& l) { l.hungUp = true; });
    ASSERT_TRUE(PumpUntil([&] { return !notices.empty(); }));
    EXPECT_EQ(notices.back(), std::make_pair(M::PortClosed, C::DeviceLost));
    EXPECT_EQ(core.ClosedBy(), PortClosedBy::DeviceLost);
    EXPECT_TRUE(core.UserClosed());
}

TEST(PasteBytesTest, BareLineFeedsBecomeCrLf) {
    struct Case {
        std::string text, sent;
    };
    const Case cases[] = {
        {"a\nb", "a\r\nb"},
        {"a\r\nb", "a\r\nb"},
        {"a\rb", "a\rb"},
        {"\n\n", "\r\n\r\n"},
        {"\r\n\n", "\r\n\r\n"},
        {"x\n", "x\r\n"},
        {"no line end", "no line end"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> got = PasteBytes(c.text);
        EXPECT_EQ(std::string(got.begin(), got.end()), c.sent) << c.text;
    }
}

}  // namespace
}  // namespace kelmor::terminal
