// The main window's terminal list, port broker and tool-button rules, without a display.
#include "shell/terminalregistry.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "shell/toolbuttonstates.h"

namespace kelmor::shell {
namespace {

// A terminal that records what the registry asks of it.
struct FakeTerminal : ShellTerminal {
    explicit FakeTerminal(int port = 0, bool mirror = false) : port(port), mirror(mirror) {}
    int PortIndex() const override { return port; }
    bool Mirroring() const override { return mirror; }
    void MirrorCharacter(uint8_t ch) override { keys.push_back(static_cast<char>(ch)); }
    void MirrorBytes(const std::vector<uint8_t>& bytes) override {
        blocks.append(bytes.begin(), bytes.end());
    }
    void ClosePortFor(PortHandOver why) override {
        // A port already closed keeps whoever closed it.
        if (open) closedByShell = true;
        open = false;
        closes.push_back(why);
    }
    void ReopenPortAfter(PortHandOver why) override {
        open = true;
        closedByShell = false;
        reopens.push_back(why);
    }
    bool ClosedByShell() const override { return closedByShell; }
    bool SettingsPending() const override { return pending; }
    void BringToFront() override { ++fronted; }

    int port;
    bool mirror;
    bool open = true;
    bool closedByShell = false;
    bool pending = false;
    std::string keys, blocks;
    std::vector<PortHandOver> closes, reopens;
    int fronted = 0;
};

// The event loop's timers, run by the test one at a time.
struct ManualTimers {
    std::vector<std::pair<int, std::function<void()>>> pending;
    Scheduler scheduler() {
        return [this](int ms, std::function<void()> f) { pending.push_back({ms, std::move(f)}); };
    }
    // Runs the oldest timer; returns its delay (0 when none was waiting).
    int RunNext() {
        if (pending.empty()) return 0;
        auto [ms, f] = std::move(pending.front());
        pending.erase(pending.begin());
        f();
        return ms;
    }
};

TEST(TerminalRegistryTest, TenSlotsAndWindowEntriesInRegistrationOrder) {
    TerminalRegistry r;
    int changes = 0;
    r.onEntriesChanged = [&] { ++changes; };
    std::vector<FakeTerminal> t(12);
    for (int i = 0; i < 11; ++i) {
        r.TerminalOpened(&t[i]);
        r.RegisterTerminal(&t[i], "COM" + std::to_string(i + 1));
    }
    EXPECT_EQ(r.TerminalCount(), 11);
    ASSERT_EQ(r.Entries().size(), 11u);
    EXPECT_EQ(r.Entries()[10].caption, "COM11");
    for (int i = 0; i < 10; ++i) EXPECT_EQ(r.Slots()[i], &t[i]);  // the eleventh has none

    EXPECT_TRUE(r.UnregisterTerminal(&t[3]));
    EXPECT_FALSE(r.UnregisterTerminal(&t[3]));  // a second call finds nothing
    r.TerminalClosed(&t[3]);
    EXPECT_EQ(r.Slots()[3], nullptr);
    r.TerminalOpened(&t[11]);
    r.RegisterTerminal(&t[11], "COM12");
    EXPECT_EQ(r.Slots()[3], &t[11]);  // the first free slot
    EXPECT_EQ(r.Entries().back().terminal, &t[11]);

    EXPECT_TRUE(r.RenameTerminal("COM12", "COM12: 9600"));
    EXPECT_FALSE(r.RenameTerminal("COM99", "x"));
    EXPECT_EQ(r.Entries().back().caption, "COM12: 9600");
    EXPECT_EQ(changes, 11 + 1 + 1 + 1);
}

TEST(TerminalRegistryTest, MirroringReachesOtherMirroringTerminalsWithASlot) {
    TerminalRegistry r;
    std::vector<FakeTerminal> t(11, FakeTerminal(0, true));
    t[2].mirror = false;
    for (auto& x : t) {
        r.TerminalOpened(&x);
        r.RegisterTerminal(&x, "c");
    }
    r.MirrorKey(&t[0], 'k');
    r.MirrorBlock(&t[0], {'b', 'l'});
    EXPECT_EQ(t[0].keys, "");   // not back to the source
    EXPECT_EQ(t[1].keys, "k");  // mirroring
    EXPECT_EQ(t[2].keys, "");   // not mirroring
    EXPECT_EQ(t[10].keys, "");  // no slot
    EXPECT_EQ(t[1].blocks, "bl");
    EXPECT_EQ(t[2].blocks, "");
    EXPECT_EQ(t[10].blocks, "");
}

TEST(TerminalRegistryTest, ReleaseAndReacquireNeedTwoChildrenAndSpareUserClosedPorts) {
    TerminalRegistry r;
    FakeTerminal a(2), b(2), c(3), userClosed(2), pending(2);
    userClosed.open = false;  // closed from its menu
    pending.open = false;
    pending.pending = true;
    for (FakeTerminal* t : {&a, &b, &c, &userClosed, &pending}) r.TerminalOpened(t);

    r.ReleasePort(2, 1);  // only one child window: nothing
    EXPECT_TRUE(a.open);

    r.ReleasePort(2, 5);
    EXPECT_FALSE(a.open);
    EXPECT_FALSE(b.open);
    EXPECT_TRUE(c.open);  // another port
    EXPECT_EQ(a.closes, std::vector<PortHandOver>{PortHandOver::Release});
    EXPECT_TRUE(pending.closes.empty());  // no port chosen yet

    r.ReacquirePort(2, 1);
    EXPECT_FALSE(a.open);
    r.ReacquirePort(2, 5);
    EXPECT_TRUE(a.open);
    EXPECT_TRUE(b.open);
    EXPECT_EQ(a.reopens, std::vector<PortHandOver>{PortHandOver::Release});
    EXPECT_FALSE(userClosed.open);  // the user closed it: the user opens it
    EXPECT_FALSE(pending.open);
}

TEST(TerminalRegistryTest, ResumeReopensOneTerminalPerTimerAndSkipsOpenSettings) {
    ManualTimers timers;
    TerminalRegistry r(timers.scheduler());
    FakeTerminal a(0), b(1), pending(2), userClosed(3), c(4);
    userClosed.open = false;
    for (FakeTerminal* t : {&a, &b, &pending, &userClosed, &c}) r.TerminalOpened(t);

    r.SuspendPorts();
    EXPECT_FALSE(a.open);
    EXPECT_FALSE(c.open);
    EXPECT_EQ(a.closes, std::vector<PortHandOver>{PortHandOver::Suspend});
    // The third terminal's first settings dialog opened meanwhile (its port is COM2's
    // constructor default, not the one it will show).
    pending.pending = true;

    r.ResumePorts();
    EXPECT_FALSE(a.open);  // nothing inside the call
    ASSERT_EQ(timers.pending.size(), 1u);
    EXPECT_EQ(timers.RunNext(), 800);
    EXPECT_TRUE(a.open);
    EXPECT_FALSE(b.open);
    EXPECT_EQ(timers.RunNext(), 800);
    EXPECT_TRUE(b.open);
    // A terminal that closes meanwhile is left out.
    r.TerminalClosed(&c);
    EXPECT_EQ(timers.RunNext(), 800);
    EXPECT_FALSE(pending.open);
    EXPECT_FALSE(userClosed.open);
    EXPECT_FALSE(c.open);
    EXPECT_EQ(a.reopens, std::vector<PortHandOver>{PortHandOver::Suspend});
    EXPECT_FALSE(r.Resuming());
    EXPECT_EQ(timers.RunNext(), 0);

    // A new suspend ends a resume in progress.
    r.TerminalOpened(&c);
    c.open = true;
    r.SuspendPorts();
    r.ResumePorts();
    r.SuspendPorts();
    while (timers.RunNext() != 0) {
    }
    EXPECT_FALSE(a.open);
    EXPECT_FALSE(c.open);
}

TEST(TerminalRegistryTest, ResumeTimerAfterTheRegistryIsGoneDoesNothing) {
    ManualTimers timers;
    FakeTerminal a;
    {
        TerminalRegistry r(timers.scheduler());
        r.TerminalOpened(&a);
        r.SuspendPorts();
        r.ResumePorts();
    }
    timers.RunNext();
    EXPECT_FALSE(a.open);
}

TEST(ToolButtonStatesTest, TerminalRulesAndWindowLocksCombine) {
    int refreshed = 0;
    ToolButtonStates s([&] { ++refreshed; });
    EXPECT_FALSE(s.Enabled(ToolButton::Setup));
    EXPECT_TRUE(s.Enabled(ToolButton::Drawing));

    s.TerminalActivated();
    EXPECT_TRUE(s.Enabled(ToolButton::Setup));
    EXPECT_TRUE(s.Enabled(ToolButton::Program));
    EXPECT_FALSE(s.Enabled(ToolButton::Drawing));
    EXPECT_FALSE(s.Enabled(ToolButton::SingleModem));
    EXPECT_FALSE(s.Enabled(ToolButton::Flash));

    {
        // The multi flash window's lock, taken while a terminal is open.
        auto lock = s.Lock(
            {ToolButton::Drawing, ToolButton::SingleModem, ToolButton::Flash, ToolButton::Program});
        EXPECT_FALSE(s.Enabled(ToolButton::Program));
        s.TerminalClosed(0);
        // The last terminal closed: the rules enable Drawing again, the lock still holds it.
        EXPECT_TRUE(s.RuleEnabled(ToolButton::Drawing));
        EXPECT_FALSE(s.Enabled(ToolButton::Drawing));
        EXPECT_TRUE(s.Enabled(ToolButton::MultiFlash));
    }
    EXPECT_TRUE(s.Enabled(ToolButton::Drawing));
    EXPECT_FALSE(s.Enabled(ToolButton::Setup));

    // Two windows locking the same button: it comes back with the last lock only.
    auto first = s.Lock({ToolButton::Open});
    auto second = s.Lock({ToolButton::Open});
    first.reset();
    EXPECT_FALSE(s.Enabled(ToolButton::Open));
    second.reset();
    EXPECT_TRUE(s.Enabled(ToolButton::Open));
    EXPECT_GT(refreshed, 0);
}

TEST(ToolButtonStatesTest, ALockOutlivingTheMainWindowReleasesNothing) {
    std::unique_ptr<ToolButtonLock> lock;
    {
        ToolButtonStates s;
        lock = s.Lock({ToolButton::Open});
    }
    lock.reset();  // no crash, nothing to give back
    SUCCEED();
}

}  // namespace
}  // namespace kelmor::shell
