// Worker threads and the channel collection of the multi-port flashing.
#include "flash/channels.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <future>
#include <mutex>
#include <system_error>

#include "fakeprompter.h"
#include "flash/flashthreads.h"
#include "sim/simdevice.h"

namespace kelmor::testing {
namespace {

using Clock = std::chrono::steady_clock;

// Records end messages and when they came.
struct EndRecorder : flash::FlashObserver {
    void RunEnded(int channel) override {
        std::lock_guard lock(mutex);
        ends.emplace_back(channel, Clock::now());
    }
    std::mutex mutex;
    std::vector<std::pair<int, Clock::time_point>> ends;
};

// A port that never opens: the run ends at once, on the real clock.
platform::SerialDeviceFactory NoPort() {
    return [] {
        auto d = std::make_unique<sim::SimSerialDevice>(nullptr);
        d->FailOpen(platform::OpenResult::NotFound);
        return d;
    };
}

TEST(FlashThreads, SingleThreadStoresTheResultAndReportsChannelZero) {
    FakePrompter prompter;
    flash::CMassFlash engine;
    engine.link.prompter = &prompter;
    engine.link.deviceFactory = NoPort();
    std::string text = "S0030000FC\r\nS9030000FC\r\n";
    engine.data = reinterpret_cast<const uint8_t*>(text.data());
    engine.fileSize = static_cast<int32_t>(text.size());
    EndRecorder window;
    {
        flash::TFlash_event thread(&window, engine);
        thread.Start();
    }  // joined
    ASSERT_EQ(window.ends.size(), 1u);
    EXPECT_EQ(window.ends[0].first, 0);
    EXPECT_EQ(engine.result.load(), 40);
}

TEST(FlashThreads, ChannelsEndingTogetherReport50MsApartInChannelOrder) {
    FakePrompter prompter;
    flash::CFlashChannels channels(4);
    channels.h3069Active = true;
    std::vector<uint8_t> image(flash::kFlashSize, 0xFF);
    for (int i = 0; i < 4; ++i) {
        auto& e = channels.Channel(i).h3069;
        e.link.prompter = &prompter;
        e.link.deviceFactory = NoPort();
        e.image = image.data();
        e.imageSize = static_cast<uint32_t>(image.size());
        e.programSize = 128;
        channels.Channel(i).enabled = true;
    }
    // The four runs start together once every thread exists, so they end together.
    std::promise<void> created;
    std::shared_future<void> go = created.get_future().share();
    channels.launcher = [go](std::function<void()> body) {
        return std::thread([go, body] {
            go.wait();
            body();
        });
    };
    EndRecorder window;
    auto start = Clock::now();
    channels.Start(&window);
    created.set_value();
    for (int i = 0; i < 4; ++i) channels.Channel(i).thread3069->WaitFor();
    ASSERT_EQ(window.ends.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(window.ends[static_cast<size_t>(i)].first, i);
        // A sleep never ends early: each report waits at least channel x 50 + 20 ms.
        auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
            window.ends[static_cast<size_t>(i)].second - start);
        EXPECT_GE(waited.count(), i * 50 + 20);
    }
    // The summary comes once, after the fourth end message.
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(channels.ChannelEnded(i).has_value());
    auto summary = channels.ChannelEnded(3);
    ASSERT_TRUE(summary.has_value());
    EXPECT_EQ(summary->text,
              "Port1: ERROR: Couldn't open com port!\nPort2: ERROR: Couldn't open com port!\n"
              "Port3: ERROR: Couldn't open com port!\nPort4: ERROR: Couldn't open com port!\n");
    EXPECT_TRUE(summary->anyFailed);
    EXPECT_EQ(summary->red, std::vector<bool>(4, true));
}

TEST(FlashThreads, DisabledChannelsReportPortNotEnabledAndAreNotRed) {
    FakePrompter prompter;
    platform::VirtualClock clock;
    flash::CFlashChannels channels(4);
    channels.prompter = &prompter;
    std::string text = "S0030000FC\r\nS9030000FC\r\n";
    for (int i : {0, 2}) {
        auto& c = channels.Channel(i);
        c.enabled = true;
        // The port the engine runs on is the one the summary gives back.
        c.h8.port = i + 5;
        c.h8.link.prompter = &prompter;
        c.h8.link.clock = &clock;
        c.h8.link.deviceFactory = NoPort();
        c.h8.data = reinterpret_cast<const uint8_t*>(text.data());
        c.h8.fileSize = static_cast<int32_t>(text.size());
    }
    channels.Channel(0).h8.link.deviceFactory = {};  // channel 1 "succeeds" below
    channels.Channel(0).h8.data = nullptr;           // and fails its data check instead
    EndRecorder window;
    channels.Start(&window);
    EXPECT_FALSE(channels.Channel(1).thread);
    EXPECT_FALSE(channels.Channel(1).finished == false);
    channels.Channel(0).thread->WaitFor();
    channels.Channel(2).thread->WaitFor();
    EXPECT_FALSE(channels.ChannelEnded(0).has_value());
    EXPECT_FALSE(channels.ChannelEnded(7).has_value());
    EXPECT_EQ(prompter.Texts().back(), "Lopetuksessa meni indeksi yli ");
    auto summary = channels.ChannelEnded(2);
    ASSERT_TRUE(summary.has_value());
    EXPECT_EQ(summary->text,
              "Port1: ERROR: Not a valid file!\nPort2: Port not enabled!\n"
              "Port3: ERROR: Couldn't open com port!\nPort4: Port not enabled!\n");
    EXPECT_EQ(summary->red, (std::vector<bool>{true, false, true, false}));
    EXPECT_EQ(summary->portsToReacquire, (std::vector<int>{5, 7}));
    EXPECT_FALSE(channels.Channel(0).thread);  // freed with the summary
}

TEST(FlashThreads, InterruptStopsEveryRunWithUserInterrupted) {
    platform::VirtualClock clock;
    FakePrompter prompter;
    flash::CFlashChannels channels(2);
    std::vector<std::shared_ptr<sim::SimLine>> lines;
    std::string text = "S0030000FC\r\nS9030000FC\r\n";
    for (int i = 0; i < 2; ++i) {
        sim::ModemConfig config;
        sim::Fault silent;
        silent.point = sim::FaultPoint::Sync;
        silent.kind = sim::FaultKind::NoAnswer;
        silent.count = -1;
        config.faults = {silent};
        auto line = std::make_shared<sim::SimLine>(config, clock);
        lines.push_back(line);
        auto& c = channels.Channel(i);
        c.enabled = true;
        c.h8.link = {&clock, &prompter,
                     [line] { return std::make_unique<sim::SimSerialDevice>(line); }, "/dev/sim"};
        c.h8.data = reinterpret_cast<const uint8_t*>(text.data());
        c.h8.fileSize = static_cast<int32_t>(text.size());
        c.h8.abort.store(true);  // left over from an earlier run: Start clears it
    }
    // The threads wait until the interrupt has been asked for.
    std::promise<void> asked;
    std::shared_future<void> go = asked.get_future().share();
    channels.launcher = [go](std::function<void()> body) {
        return std::thread([go, body] {
            go.wait();
            body();
        });
    };
    channels.Start(nullptr);
    channels.RequestInterrupt();  // returns at once
    asked.set_value();
    channels.Interrupt();
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(channels.ResultOf(i), 52);
        EXPECT_FALSE(channels.Channel(i).thread);
    }

    // A second run after the interrupt starts clean: the same modems, the same silence, but
    // now the run gets as far as the synchronisation and reports that.
    channels.launcher = {};
    EndRecorder window;
    channels.Start(&window);
    channels.Channel(0).thread->WaitFor();
    channels.Channel(1).thread->WaitFor();
    for (int i = 0; i < 2; ++i) EXPECT_EQ(channels.ResultOf(i), 1);
}

TEST(FlashThreads, AThreadThatCannotStartIsReportedAndTheOthersGoOn) {
    FakePrompter prompter;
    flash::CFlashChannels channels(3);
    channels.prompter = &prompter;
    std::string text = "S0030000FC\r\nS9030000FC\r\n";
    for (int i = 0; i < 3; ++i) {
        auto& c = channels.Channel(i);
        c.enabled = true;
        c.h8.link.prompter = &prompter;
        c.h8.link.deviceFactory = NoPort();
        c.h8.data = reinterpret_cast<const uint8_t*>(text.data());
        c.h8.fileSize = static_cast<int32_t>(text.size());
    }
    int launched = 0;
    channels.launcher = [&](std::function<void()> body) {
        if (++launched == 2) throw std::system_error(EAGAIN, std::generic_category());
        return std::thread(std::move(body));
    };
    EndRecorder window;
    channels.Start(&window);
    EXPECT_EQ(prompter.Texts(), std::vector<std::string>{"S\xE4"
                                                         "e 2 ei aukea 11"});
    EXPECT_FALSE(channels.Channel(1).thread);
    EXPECT_FALSE(channels.Channel(1).finished);
    channels.Channel(0).thread->WaitFor();
    channels.Channel(2).thread->WaitFor();
    EXPECT_EQ(window.ends.size(), 2u);
    EXPECT_FALSE(channels.ChannelEnded(0).has_value());
    EXPECT_FALSE(channels.ChannelEnded(2).has_value());  // channel 2 never reports
    EXPECT_FALSE(channels.AnyRunning());
    EXPECT_EQ(flash::ThreadNotCreatedText(4, 12),
              "S\xE4"
              "e 4 k\xE4ynnisty 12");
}

}  // namespace
}  // namespace kelmor::testing
