// The simulated modem itself: line rates, pacing and the fault syntax of kelmor-modem-sim.
#include <gtest/gtest.h>

#include "sim/faultspec.h"
#include "sim/simmodem.h"

namespace kelmor::testing {
namespace {

using sim::SimulatedModem;

std::vector<uint8_t> Feed(SimulatedModem& m, const std::vector<uint8_t>& bytes, int rate,
                          int64_t& t) {
    for (uint8_t b : bytes) m.Deliver(b, rate, t += 10);
    t += 100000;
    return m.TakeArrived(t, rate);
}

TEST(Simulator, H83069BootProgramSynchronisesAtTheHostRateAndThenKeepsIt) {
    sim::ModemConfig config;
    config.chip = sim::Chip::H83069;
    SimulatedModem modem(config);
    int64_t t = 0;
    EXPECT_EQ(Feed(modem, {0x00}, 19200, t), (std::vector<uint8_t>{0x00}));
    EXPECT_EQ(Feed(modem, {0x55}, 19200, t), (std::vector<uint8_t>{0xE6}));
    EXPECT_EQ(modem.BitRate(), 19200);
    // Same rate: the inquiry is understood. Another rate: the command is garbage.
    EXPECT_EQ(Feed(modem, {0x20}, 19200, t).at(0), 0x30);
    auto lost = Feed(modem, {0x22}, 9600, t);
    ASSERT_FALSE(lost.empty());
    EXPECT_NE(lost[0], 0x32);
}

TEST(Simulator, PacingGivesEachByteItsLineTime) {
    sim::ModemConfig config;
    config.pacing = true;
    SimulatedModem modem(config);  // H8 boot program: answers 0x00 with 0x00
    modem.Deliver(0x00, 9600, 1042);
    ASSERT_TRUE(modem.NextArrivalUs());
    EXPECT_EQ(*modem.NextArrivalUs(), 1042 + 1042);
    EXPECT_TRUE(modem.TakeArrived(2000, 9600).empty());
    EXPECT_EQ(modem.TakeArrived(2084, 9600).size(), 1u);
}

TEST(Simulator, FaultSyntax) {
    auto f = sim::ParseFault("packet:nak:3:52");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->point, sim::FaultPoint::Packet);
    EXPECT_EQ(f->kind, sim::FaultKind::Nak);
    EXPECT_EQ(f->after, 3);
    EXPECT_EQ(f->count, 52);
    auto e = sim::ParseFault("command=0x10:error:0:1:90 21");
    ASSERT_TRUE(e);
    EXPECT_EQ(e->command, 0x10);
    EXPECT_EQ(e->reply, (std::vector<uint8_t>{0x90, 0x21}));
    auto late = sim::ParseFault("frame:late:0:1:200");
    ASSERT_TRUE(late);
    EXPECT_EQ(late->delayMs, 200);
    for (const char* bad : {"", "packet", "nowhere:nak", "packet:explode", "packet:nak:x",
                            "command=300:error:0:1:80", "enq:error"}) {
        std::string why;
        EXPECT_FALSE(sim::ParseFault(bad, &why)) << bad;
        EXPECT_FALSE(why.empty());
    }
}

}  // namespace
}  // namespace kelmor::testing
