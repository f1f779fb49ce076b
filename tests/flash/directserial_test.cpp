// The flashing link over TCommPort in direct mode, on a virtual clock.
#include "flash/directserial.h"

#include <gtest/gtest.h>

#include <deque>

#include "fakeprompter.h"
#include "platform/clock.h"
#include "serial/commport.h"

namespace kelmor::testing {
namespace {

// A device that delivers scripted bursts at given moments of the virtual clock.
class TimedDevice : public platform::SerialDevice {
  public:
    struct Burst {
        int64_t atMs;
        std::vector<uint8_t> bytes;
    };
    TimedDevice(platform::VirtualClock& clock, std::deque<Burst> bursts, int* reads)
        : clock_(clock), bursts_(std::move(bursts)), reads_(reads) {}

    platform::OpenResult Open(const std::string&) override {
        open_ = true;
        return platform::OpenResult::Ok;
    }
    void Close() override { open_ = false; }
    bool IsOpen() const override { return open_; }
    bool Configure(const platform::LineSettings& s) override {
        rate = s.baudRate;
        return true;
    }
    ssize_t Read(uint8_t* buffer, size_t max) override {
        if (reads_) ++*reads_;
        Due();
        size_t n = std::min(max, queued_.size());
        std::copy_n(queued_.begin(), n, buffer);
        queued_.erase(queued_.begin(), queued_.begin() + static_cast<long>(n));
        return static_cast<ssize_t>(n);
    }
    ssize_t Write(const uint8_t*, size_t count) override { return static_cast<ssize_t>(count); }
    bool WaitReadable(int) override { return Due(), !queued_.empty(); }  // never moves the clock
    bool WaitWritable(int) override { return true; }
    int InputQueue() override { return static_cast<int>(queued_.size()); }
    int OutputQueue() override { return 0; }
    bool PurgeInput() override { return true; }
    bool PurgeOutput() override { return true; }
    bool SetDtr(bool) override { return true; }
    bool SetRts(bool) override { return true; }
    std::optional<uint32_t> ModemStatus() override { return platform::kLineDsr; }
    std::optional<platform::LineErrorCounts> ErrorCounts() override { return std::nullopt; }
    bool HungUp() const override { return false; }
    std::string LastError() const override { return ""; }

    int rate = 0;

  private:
    void Due() {
        while (!bursts_.empty() && bursts_.front().atMs <= clock_.Now()) {
            queued_.insert(queued_.end(), bursts_.front().bytes.begin(),
                           bursts_.front().bytes.end());
            bursts_.pop_front();
        }
    }
    platform::VirtualClock& clock_;
    std::deque<Burst> bursts_;
    std::vector<uint8_t> queued_;
    int* reads_;
    bool open_ = false;
};

struct LinkRig {
    explicit LinkRig(std::deque<TimedDevice::Burst> bursts = {}) {
        setup.clock = &clock;
        setup.prompter = &prompter;
        setup.devicePath = "/dev/timed";
        setup.deviceFactory = [this, bursts] {
            auto d = std::make_unique<TimedDevice>(clock, bursts, &reads);
            device = d.get();
            return d;
        };
    }
    platform::VirtualClock clock;
    FakePrompter prompter;
    flash::DirectSerialSetup setup;
    TimedDevice* device = nullptr;
    int reads = 0;
};

TEST(DirectSerial, OpensWithTheEnginesSettingsAndRefusesASecondOpen) {
    LinkRig rig;
    flash::CDirectSerial link(rig.setup);
    int64_t before = rig.clock.Now();
    ASSERT_TRUE(link.Open(3, 9600, 8, 0));
    EXPECT_GE(rig.clock.Now() - before, 10);
    auto* port = link.Port();
    EXPECT_EQ(port->Portin_nro(), serial::COM3);
    EXPECT_EQ(port->Baudrate(), serial::br__9600);
    EXPECT_EQ(port->Databits(), serial::db_8_Eight);
    EXPECT_EQ(port->RTSmode(), serial::rtsDISABLE);
    EXPECT_EQ(port->DTRmode(), serial::dtrENABLE);
    EXPECT_TRUE(port->DTRline());
    EXPECT_EQ(port->Kattely(), serial::fcNone);
    EXPECT_FALSE(port->taustaajo());
    EXPECT_EQ(port->valiaika(), 20);
    EXPECT_EQ(rig.device->rate, 9600);

    EXPECT_FALSE(link.Open(4, 38400, 7, 2));
    EXPECT_EQ(port->Portin_nro(), serial::COM3);
    EXPECT_EQ(port->Baudrate(), serial::br__9600);

    EXPECT_TRUE(link.SetBitRate(57600));
    EXPECT_EQ(port->Baudrate(), serial::br__9600);
    EXPECT_TRUE(link.SetBitRate(115200));
    EXPECT_EQ(rig.device->rate, 115200);
    EXPECT_TRUE(link.DsrOn());
    EXPECT_TRUE(link.Close());
    EXPECT_FALSE(link.IsOpen());
    EXPECT_TRUE(link.Close());
}

TEST(DirectSerial, ReadWithLimitZeroOrClosedTouchesNothing) {
    LinkRig rig(std::deque<TimedDevice::Burst>{{0, {1, 2, 3}}});
    flash::CDirectSerial link(rig.setup);
    uint8_t buffer[8] = {};
    EXPECT_EQ(link.Read(buffer, 4), 0);  // closed
    ASSERT_TRUE(link.Open(1, 9600, 8, 0));
    int reads = rig.reads;
    EXPECT_EQ(link.Read(buffer, 0), 0);
    EXPECT_EQ(rig.reads, reads);
    EXPECT_EQ(link.Read(buffer, 2), 2);
    EXPECT_EQ(buffer[1], 2);
    EXPECT_EQ(link.Read(buffer, 8), 1);
}

TEST(DirectSerial, ReadTimedCollectsBurstsInArrivalOrder) {
    std::vector<uint8_t> all(32);
    for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint8_t>(i + 1);
    LinkRig rig({{15, {all.begin(), all.begin() + 10}},
                 {25, {all.begin() + 10, all.begin() + 22}},
                 {40, {all.begin() + 22, all.end()}}});
    flash::CDirectSerial link(rig.setup);
    ASSERT_TRUE(link.Open(1, 9600, 8, 0));  // now 10 ms
    uint8_t buffer[40] = {};
    EXPECT_EQ(link.ReadTimed(buffer, 32, 100), 32);
    EXPECT_TRUE(std::equal(all.begin(), all.end(), buffer));
    EXPECT_EQ(rig.clock.Now(), 40);  // returned as soon as the last burst came
}

TEST(DirectSerial, ReadTimedGivesUpAfterItsTimeOut) {
    LinkRig rig(std::deque<TimedDevice::Burst>{{500, {9}}});
    flash::CDirectSerial link(rig.setup);
    ASSERT_TRUE(link.Open(1, 9600, 8, 0));
    uint8_t b = 0;
    int64_t start = rig.clock.Now();
    EXPECT_EQ(link.ReadTimed(&b, 1, 2), 0);
    EXPECT_EQ(rig.clock.Now() - start, 2);
    int reads = rig.reads;
    EXPECT_EQ(link.ReadTimed(&b, 1, 0), 0);  // one Read only
    EXPECT_EQ(rig.reads, reads + 1);
}

TEST(DirectSerial, PortThatDoesNotOpen) {
    LinkRig rig;
    rig.setup.deviceFactory = [] { return std::unique_ptr<platform::SerialDevice>(); };
    flash::CDirectSerial link(rig.setup);
    EXPECT_FALSE(link.Open(2, 9600, 8, 0));
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(rig.prompter.Count(), 1u);  // the component's own message
    uint8_t b;
    EXPECT_EQ(link.Write(&b, 1), 0);
    EXPECT_EQ(link.ReadTimed(&b, 1, 50), 0);
}

}  // namespace
}  // namespace kelmor::testing
