#include "serial/commport.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QCoreApplication>
#include <chrono>
#include <string>
#include <thread>

#include "fakeprompter.h"
#include "fakeserialdevice.h"
#include "ptypair.h"

namespace kelmor::serial {
namespace {

using kelmor::testing::FakeFactory;
using kelmor::testing::FakeLine;
using kelmor::testing::FakePrompter;
using kelmor::testing::PtyPair;

// Runs the event loop until done() or the time is up.
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

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

std::vector<uint8_t> Pattern(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>((i * 7 + i / 251) & 0xFF);
    return v;
}

// A background-mode port on a pty with a short tick.
struct PtyPort {
    PtyPair pty;
    FakePrompter prompter;
    TCommPort port;
    explicit PtyPort(bool background = true) {
        port.SetDevicePath(pty.SlavePath());
        port.SetPrompter(&prompter);
        port.Setvaliaika(5);
        port.Settaustaajo(background);
    }
};

// A background-mode port on the fake device.
struct FakePort {
    std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
    FakePrompter prompter;
    TCommPort port;
    FakePort() {
        port.SetDeviceFactory(FakeFactory(line));
        port.SetDevicePath("fake");
        port.SetPrompter(&prompter);
        port.Setvaliaika(5);
        port.Settaustaajo(true);
    }
};

TEST(CommPortTest, InitialValues) {
    TCommPort port;
    EXPECT_EQ(port.Portin_nro(), COM2);
    EXPECT_EQ(port.Baudrate(), br__9600);
    EXPECT_EQ(port.Databits(), db_8_Eight);
    EXPECT_EQ(port.pariteetti(), _pbNone);
    EXPECT_EQ(port.Stopbits(), sbOne);
    EXPECT_EQ(port.RX_puskurin_koko(), 512);
    EXPECT_EQ(port.TX_puskurin_koko(), 512);
    EXPECT_EQ(port.RX_notify(), 1);
    EXPECT_EQ(port.TX_notify(), 1);
    EXPECT_EQ(port.Kattely(), fcNone);
    EXPECT_EQ(port.xon_char(), 17);
    EXPECT_EQ(port.xoff_char(), 19);
    EXPECT_EQ(port.DTRmode(), dtrDISABLE);
    EXPECT_EQ(port.RTSmode(), rtsDISABLE);
    EXPECT_FALSE(port.DTRline());
    EXPECT_FALSE(port.RTSline());
    EXPECT_TRUE(port.Eventit().Empty());
    EXPECT_EQ(port.valiaika(), 200);
    EXPECT_FALSE(port.taustaajo());
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.ReceivedCount(), 0);
    EXPECT_TRUE(port.TakeReceived().empty());
}

TEST(CommPortTest, EnumerationsMapToRatesAndMaskBits) {
    const int rates[] = {300,   600,   1200,  2400,   4800,   9600,
                         19200, 38400, 57600, 115200, 128000, 256000};
    for (int i = 0; i <= br256000; ++i) {
        EXPECT_EQ(BaudRateValue(static_cast<TBaudRate>(i)), rates[i]) << i;
        EXPECT_EQ(BaudRateOf(rates[i]), i) << rates[i];  // 600 included
    }
    EXPECT_EQ(BaudRateOf(12345), br__9600);
    EXPECT_EQ(BaudRateOf(0), br__9600);
    const std::pair<char, TParityBits> parities[] = {
        {'N', _pbNone}, {'O', pbOdd}, {'E', pbEven}, {'M', pbMark}, {'S', pbSpace}, {'x', _pbNone}};
    for (auto [letter, parity] : parities) EXPECT_EQ(ParityOf(letter), parity) << letter;
    const uint32_t bits[] = {0x1, 0x2, 0x4, 0x8, 0x10, 0, 0x40, 0x80, 0x100, 0x20};
    for (int i = 0; i <= ceRlsds; ++i)
        EXPECT_EQ(EventMaskBit(static_cast<TCommEvents>(i)), bits[i]) << i;
    EXPECT_EQ(EventMask({cdRlsd}), 0u);
    EXPECT_EQ(EventMask({ceCts, ceRlsds, ceErr}), 0xA8u);
}

TEST(CommPortTest, NotifyClamping) {
    struct Case {
        const char* what;
        int rxSize, rxNotify, newRxSize;
        int txSize, txNotify, newTxSize;
        int wantRxNotify, wantTxNotify;
    };
    const Case cases[] = {
        {"RX_notify above the buffer is cut to it", 2048, 4096, 2048, 512, 1, 512, 2048, 1},
        {"lowering the RX buffer lowers RX_notify", 2048, 2048, 256, 512, 1, 512, 256, 1},
        {"raising the RX buffer leaves RX_notify", 256, 256, 2048, 512, 1, 512, 256, 1},
        {"TX_notify above the buffer is cut to it", 512, 1, 512, 512, 4096, 512, 1, 512},
        {"lowering the TX buffer leaves TX_notify", 512, 1, 512, 1024, 1024, 256, 1, 1024},
    };
    for (const Case& c : cases) {
        TCommPort port;
        port.SetRX_puskurin_koko(c.rxSize);
        port.SetRX_notify(c.rxNotify);
        port.SetRX_puskurin_koko(c.newRxSize);
        port.SetTX_puskurin_koko(c.txSize);
        port.SetTX_notify(c.txNotify);
        port.SetTX_puskurin_koko(c.newTxSize);
        EXPECT_EQ(port.RX_notify(), c.wantRxNotify) << c.what;
        EXPECT_EQ(port.TX_notify(), c.wantTxNotify) << c.what;
    }
}

TEST(CommPortTest, BackgroundModeDeliversEveryByteInOrderInTheEventLoopThread) {
    PtyPort p;
    ASSERT_TRUE(p.pty.Ok());
    p.port.SetRX_puskurin_koko(2048);
    p.port.SetRX_notify(2048);
    p.port.SetTX_puskurin_koko(1024);
    std::vector<uint8_t> received;
    int wrongThread = 0, sentEvents = 0;
    const auto self = std::this_thread::get_id();
    p.port.tulleet_merkit = [&](TCommPort* sender) {
        if (std::this_thread::get_id() != self) ++wrongThread;
        auto bytes = sender->TakeReceived();
        EXPECT_EQ(static_cast<int>(bytes.size()), sender->ReceivedCount());
        received.insert(received.end(), bytes.begin(), bytes.end());
    };
    const std::vector<uint8_t> outgoing = Pattern(5000);
    size_t queued = 0;
    auto queueNext = [&] {
        size_t n = std::min<size_t>(1024, outgoing.size() - queued);
        if (n == 0) return;
        ASSERT_TRUE(p.port.QueueWrite(outgoing.data() + queued, static_cast<int>(n)));
        queued += n;
    };
    p.port.lahteneet_merkit = [&](TCommPort*) {
        if (std::this_thread::get_id() != self) ++wrongThread;
        ++sentEvents;
        queueNext();
    };
    p.port.SetOpen(true);
    ASSERT_TRUE(p.port.IsOpen()) << ::testing::PrintToString(p.prompter.Texts());
    queueNext();

    const std::vector<uint8_t> incoming = Pattern(6000);
    std::thread peer([&] { p.pty.Write(incoming); });
    std::vector<uint8_t> peerGot;
    ASSERT_TRUE(PumpUntil([&] {
        auto chunk = p.pty.Read(outgoing.size() - peerGot.size(), 0);
        peerGot.insert(peerGot.end(), chunk.begin(), chunk.end());
        return received.size() >= incoming.size() && peerGot.size() >= outgoing.size();
    }));
    peer.join();
    EXPECT_EQ(received, incoming);
    EXPECT_EQ(peerGot, outgoing);
    EXPECT_EQ(sentEvents, 5);
    EXPECT_EQ(wrongThread, 0);
    p.port.SetOpen(false);
    EXPECT_FALSE(p.port.IsOpen());
    EXPECT_EQ(p.prompter.Count(), 0u);
}

TEST(CommPortTest, DirectModeDeliversEveryByteInOrderWithoutEvents) {
    PtyPort p(false);
    ASSERT_TRUE(p.pty.Ok());
    p.port.SetRX_notify(512);
    int events = 0;
    p.port.tulleet_merkit = p.port.lahteneet_merkit =
        p.port.tapahtumat = [&](TCommPort*) { ++events; };
    p.port.SetOpen(true);
    ASSERT_TRUE(p.port.IsOpen());

    const std::vector<uint8_t> outgoing = Pattern(20000);
    std::vector<uint8_t> peerGot;
    std::thread peer([&] { peerGot = p.pty.Read(outgoing.size(), 3000); });
    // From a worker thread, as the flashing engines and the TX test do.
    int written = 0;
    std::thread writer([&] { written = p.port.DirectWrite(outgoing.data(), 20000); });
    writer.join();
    peer.join();
    EXPECT_EQ(written, 20000);
    EXPECT_EQ(peerGot, outgoing);

    const std::vector<uint8_t> incoming = Pattern(3000);
    ASSERT_TRUE(p.pty.Write(incoming));
    std::vector<uint8_t> got;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (got.size() < incoming.size() && std::chrono::steady_clock::now() < end) {
        p.port.DirectWaitReadable(50);
        int count = -1;
        auto chunk = p.port.DirectRead(count);
        ASSERT_EQ(static_cast<int>(chunk.size()), count);
        ASSERT_LE(count, 512);
        got.insert(got.end(), chunk.begin(), chunk.end());
    }
    EXPECT_EQ(got, incoming);
    PumpFor(30);
    EXPECT_EQ(events, 0);

    p.port.SetOpen(false);
    int count = 77;
    EXPECT_TRUE(p.port.DirectRead(count).empty());
    EXPECT_EQ(count, 77);  // left alone when closed
    EXPECT_EQ(p.port.DirectWrite(outgoing.data(), 10), 0);
}

TEST(CommPortTest, WriteThatCompletesAtOnceIsReportedBeforeTheBytesOfTheSamePoll) {
    FakePort f;
    std::vector<std::string> order;
    f.port.tulleet_merkit = [&](TCommPort*) { order.push_back("received"); };
    f.port.lahteneet_merkit = [&](TCommPort*) { order.push_back("sent"); };
    f.port.SetOpen(true);
    ASSERT_TRUE(f.port.IsOpen());
    // Nothing runs between these two lines: both wait for the same poll.
    f.line->Feed("abc");
    ASSERT_TRUE(f.port.QueueWrite(Bytes("xyz")));
    ASSERT_TRUE(PumpUntil([&] { return order.size() >= 2; }));
    EXPECT_EQ(order, (std::vector<std::string>{"sent", "received"}));
    f.line->With([](FakeLine& l) { EXPECT_EQ(l.written, Bytes("xyz")); });
}

TEST(CommPortTest, PollDuringWriteInFlightReadsNothingUntilTheWriteDrains) {
    FakePort f;
    std::vector<std::string> order;
    f.port.tulleet_merkit = [&](TCommPort* s) {
        auto b = s->TakeReceived();
        order.push_back("received " + std::string(b.begin(), b.end()));
    };
    f.port.lahteneet_merkit = [&](TCommPort*) { order.push_back("sent"); };
    f.port.SetRX_notify(64);
    f.port.SetOpen(true);
    f.line->With([](FakeLine& l) { l.outputQueue = 40; });  // the driver still holds bytes
    ASSERT_TRUE(f.port.QueueWrite(Bytes("frame")));
    PumpFor(30);
    EXPECT_TRUE(order.empty());
    f.line->Feed("reply");
    PumpFor(30);
    EXPECT_TRUE(order.empty()) << "a poll during the write must not read";
    // Bytes queued while in flight go out with the next write step.
    ASSERT_TRUE(f.port.QueueWrite(Bytes("+more")));
    f.line->With([](FakeLine& l) { l.outputQueue = 0; });
    ASSERT_TRUE(PumpUntil([&] { return order.size() >= 3; }));
    EXPECT_EQ(order[0], "sent");
    EXPECT_EQ(order[1], "sent");  // "+more", at once, inside the poll that reads the reply
    EXPECT_EQ(order[2], "received reply");
    f.line->With([](FakeLine& l) { EXPECT_EQ(l.written, Bytes("frame+more")); });
}

TEST(CommPortTest, BytesQueuedWhileAWriteIsInFlightAreSentOnce) {
    FakePort f;
    int sent = 0;
    f.port.lahteneet_merkit = [&](TCommPort*) { ++sent; };
    f.port.tulleet_merkit = [&](TCommPort* s) {
        // The first write is with the poll thread now. The owner queues its next frame and
        // takes its time, as an exchange answering a reply does.
        EXPECT_TRUE(s->QueueWrite(Bytes("BBBB")));
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    };
    f.port.SetOpen(true);
    ASSERT_TRUE(f.port.IsOpen());
    // The first write keeps its caller 30 ms and takes nothing, so the poll thread ticks (and
    // posts a poll) before the write is handed over; the thread then finishes it at once.
    f.line->With([](FakeLine& l) {
        l.stallWrites = 1;
        l.stallMs = 30;
    });
    f.line->Feed("r");
    ASSERT_TRUE(f.port.QueueWrite(Bytes("AAAA")));
    ASSERT_TRUE(PumpUntil([&] { return sent >= 2; }));
    PumpFor(50);
    f.line->With([](FakeLine& l) {
        EXPECT_EQ(std::string(l.written.begin(), l.written.end()), "AAAABBBB");
    });
    EXPECT_EQ(sent, 2);
}

TEST(CommPortTest, TakeReceivedAfterAnEmptyPollReturnsTheLastBytes) {
    PtyPort p;
    int fired = 0;
    p.port.tulleet_merkit = [&](TCommPort*) { ++fired; };
    p.port.SetRX_notify(64);
    p.port.SetOpen(true);
    ASSERT_TRUE(p.port.IsOpen());
    ASSERT_TRUE(p.pty.Write(std::string("hello")));
    ASSERT_TRUE(PumpUntil([&] { return p.port.ReceivedCount() == 5; }));
    PumpFor(50);  // several polls that read nothing
    EXPECT_EQ(p.port.ReceivedCount(), 5);
    EXPECT_EQ(p.port.TakeReceived(), Bytes("hello"));
    EXPECT_EQ(p.port.TakeReceived(), Bytes("hello"));  // a copy each time
    EXPECT_EQ(fired, 1);
}

TEST(CommPortTest, QueueWriteOnAClosedPortSendsNothing) {
    PtyPort p;
    EXPECT_FALSE(p.port.QueueWrite(Bytes("lost")));
    p.port.SetOpen(true);
    ASSERT_TRUE(p.port.IsOpen());
    PumpFor(40);
    EXPECT_TRUE(p.pty.ReadAll(30).empty());
}

TEST(CommPortTest, QueueWriteBeyondTheBufferQueuesNothing) {
    FakePort f;
    f.port.SetTX_puskurin_koko(8);
    f.line->With([](FakeLine& l) { l.outputQueue = 1; });  // keep the first write in flight
    f.port.SetOpen(true);
    ASSERT_TRUE(f.port.QueueWrite(Bytes("12345")));
    EXPECT_FALSE(f.port.QueueWrite(Bytes("6789")));  // 9 > 8: the frame is not cut
    ASSERT_TRUE(f.port.QueueWrite(Bytes("678")));
}

TEST(CommPortTest, OpenAndCloseTwiceChangeNothing) {
    PtyPort p;
    p.port.SetOpen(false);
    p.port.SetOpen(true);
    auto* device = p.port.Device();
    ASSERT_NE(device, nullptr);
    p.port.SetOpen(true);
    EXPECT_EQ(p.port.Device(), device);
    p.port.SetOpen(false);
    p.port.SetOpen(false);
    EXPECT_FALSE(p.port.IsOpen());
    EXPECT_EQ(p.prompter.Count(), 0u);
}

class ComEnv {
  public:
    ComEnv(int n, const std::string& path) : name_("KELMOR_COM" + std::to_string(n)) {
        setenv(name_.c_str(), path.c_str(), 1);
    }
    ~ComEnv() { unsetenv(name_.c_str()); }

  private:
    std::string name_;
};

TEST(CommPortTest, MissingDeviceIsReportedAndThePortStaysClosed) {
    ComEnv env(3, "/nonexistent/kelmor-tty");
    FakePrompter prompter;
    TCommPort port;
    port.SetPrompter(&prompter);
    port.SetPortin_nro(COM3);
    port.SetOpen(true);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.Device(), nullptr);
    auto prompts = prompter.Prompts();
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_EQ(prompts[0].text, "Port COM3 doesn't exist or is already in use");
    EXPECT_EQ(prompts[0].caption, "Error opening port");
    EXPECT_EQ(prompts[0].icon, platform::Icon::Information);
}

TEST(CommPortTest, SecondOpenOfTheSameDeviceFails) {
    PtyPort first;
    ASSERT_TRUE(first.pty.Ok());
    first.port.SetOpen(true);
    ASSERT_TRUE(first.port.IsOpen());
    FakePrompter prompter;
    TCommPort second;
    second.SetPrompter(&prompter);
    second.SetDevicePath(first.pty.SlavePath());
    second.SetOpen(true);
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(prompter.Texts(),
              std::vector<std::string>{"Port COM2 doesn't exist or is already in use"});
    // Once the first lets go, the device can be taken again.
    first.port.SetOpen(false);
    second.SetOpen(true);
    EXPECT_TRUE(second.IsOpen());
}

TEST(CommPortTest, HighPortNumbersMapLikeTheOthers) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    for (int n = 10; n <= 16; ++n) {
        ComEnv env(n, pty.SlavePath());
        FakePrompter prompter;
        TCommPort port;
        port.SetPrompter(&prompter);
        port.SetPortin_nro(static_cast<TPortnro>(n - 1));
        EXPECT_EQ(port.DevicePath(), pty.SlavePath()) << n;
        port.SetOpen(true);
        EXPECT_TRUE(port.IsOpen()) << n;
        EXPECT_EQ(prompter.Count(), 0u) << n;
    }
    FakePrompter prompter;
    TCommPort port;
    port.SetPrompter(&prompter);
    port.SetPortin_nro(COM16);
    EXPECT_EQ(port.DevicePath(), "/dev/ttyS15");
}

TEST(CommPortTest, HangUpIsReportedOnceAndPollingStops) {
    PtyPort p;
    int lost = 0, received = 0;
    p.port.laite_poistui = [&](TCommPort* s) {
        ++lost;
        EXPECT_FALSE(s->IsOpen());
    };
    p.port.tulleet_merkit = [&](TCommPort*) { ++received; };
    p.port.SetOpen(true);
    ASSERT_TRUE(p.port.IsOpen());
    p.pty.CloseMaster();
    ASSERT_TRUE(PumpUntil([&] { return lost > 0; }));
    PumpFor(40);
    EXPECT_EQ(lost, 1);
    EXPECT_FALSE(p.port.IsOpen());
    EXPECT_EQ(p.port.Device(), nullptr);
    EXPECT_TRUE(p.port.HungUp());
    EXPECT_EQ(received, 0);
    EXPECT_EQ(p.prompter.Count(), 0u);
    p.port.SetOpen(false);  // the owner's close after the loss is harmless
}

TEST(CommPortTest, RefusedConfigurationAtOpenClosesThePort) {
    FakePort f;
    f.port.SetDatabits(db_4_Four);
    f.port.SetOpen(true);
    EXPECT_FALSE(f.port.IsOpen());
    EXPECT_EQ(f.prompter.Texts(),
              std::vector<std::string>{"Port COM2 can't change it's parameters !yyy"});
}

TEST(CommPortTest, RefusedSetterReportsItsCodeAndKeepsTheValue) {
    struct Case {
        const char* what;
        std::function<void(TCommPort&)> set;
        int code;
    };
    const Case cases[] = {
        {"xon_char", [](TCommPort& p) { p.Setxon_char(1); }, 1},
        {"xoff_char", [](TCommPort& p) { p.Setxoff_char(2); }, 2},
        {"Baudrate", [](TCommPort& p) { p.SetBaudrate(br_57600); }, 3},
        {"Databits", [](TCommPort& p) { p.SetDatabits(db_7_Seven); }, 4},
        {"pariteetti", [](TCommPort& p) { p.Setpariteetti(pbOdd); }, 5},
        {"Stopbits", [](TCommPort& p) { p.SetStopbits(sbTwo); }, 8},
        {"Kattely", [](TCommPort& p) { p.SetKattely(fcXONXOFF); }, 9},
    };
    for (const Case& c : cases) {
        FakePort f;
        f.port.SetOpen(true);
        ASSERT_TRUE(f.port.IsOpen());
        f.line->With([](FakeLine& l) { l.refuseConfigure = true; });
        c.set(f.port);
        EXPECT_EQ(f.prompter.Texts(),
                  std::vector<std::string>{"Port COM2 can't set it's parameter ! " +
                                           std::to_string(c.code)})
            << c.what;
        EXPECT_TRUE(f.port.IsOpen()) << c.what;
    }
    FakePort f;
    f.port.SetOpen(true);
    f.port.SetDatabits(db_4_Four);
    EXPECT_EQ(f.port.Databits(), db_4_Four);
    EXPECT_EQ(f.prompter.Texts(),
              std::vector<std::string>{"Port COM2 can't set it's parameter ! 4"});
}

TEST(CommPortTest, SettingsReachTheDevice) {
    FakePort f;
    f.port.SetBaudrate(br256000);
    f.port.Setpariteetti(pbMark);
    f.port.SetDatabits(db_7_Seven);
    f.port.SetStopbits(sbOnePointFive);
    f.port.SetKattely(fcXONXOFF);
    f.port.Setxon_char(0x11);
    f.port.Setxoff_char(0x13);
    f.port.SetOpen(true);
    ASSERT_TRUE(f.port.IsOpen());
    f.line->With([](FakeLine& l) {
        ASSERT_EQ(l.configured.size(), 1u);
        const auto& s = l.configured[0];
        EXPECT_EQ(s.baudRate, 256000);
        EXPECT_EQ(s.parity, platform::Parity::Mark);
        EXPECT_EQ(s.dataBits, 7);
        EXPECT_EQ(s.stopBits, 2);
        EXPECT_TRUE(s.xonXoff);
        EXPECT_FALSE(s.rtsCts);
    });
    f.port.SetBaudrate(br__1200);
    f.line->With([](FakeLine& l) {
        ASSERT_EQ(l.configured.size(), 2u);
        EXPECT_EQ(l.configured[1].baudRate, 1200);
        EXPECT_EQ(l.configured[1].parity, platform::Parity::Mark);
    });
}

TEST(CommPortTest, DtrAndRtsFollowModesAndLines) {
    FakePort f;
    f.port.SetDTRmode(dtrENABLE);
    f.port.SetOpen(true);
    f.line->With([](FakeLine& l) {
        EXPECT_TRUE(l.dtr);
        EXPECT_FALSE(l.rts);
    });
    f.port.SetDTRline(false);
    f.port.SetRTSline(true);
    f.line->With([](FakeLine& l) {
        EXPECT_FALSE(l.dtr);
        EXPECT_TRUE(l.rts);
    });
    // RTS handshake for a half-duplex radio: CTS flow on and RTS raised; off again drops it.
    f.port.SetRTSmode(rtsHANDSHAKE);
    f.line->With([](FakeLine& l) {
        EXPECT_TRUE(l.configured.back().rtsCts);
        EXPECT_TRUE(l.rts);
    });
    f.port.SetRTSmode(rtsDISABLE);
    f.line->With([](FakeLine& l) {
        EXPECT_FALSE(l.configured.back().rtsCts);
        EXPECT_FALSE(l.rts);
    });
    // A full configuration write puts the controls of the last open back in force.
    f.port.SetDTRmode(dtrDISABLE);
    f.line->With([](FakeLine& l) { EXPECT_FALSE(l.dtr); });
    f.port.SetBaudrate(br_19200);
    f.line->With([](FakeLine& l) { EXPECT_TRUE(l.dtr); });
}

TEST(CommPortTest, RtsToggleKeysTheLineForEachWrite) {
    FakePort f;
    f.port.SetRTSmode(rtsTOGGLE);
    int sent = 0;
    f.port.lahteneet_merkit = [&](TCommPort*) { ++sent; };
    f.port.SetOpen(true);
    f.line->With([](FakeLine& l) {
        EXPECT_FALSE(l.rts);
        l.rtsHistory.clear();
        l.outputQueue = 3;  // still on its way out
    });
    ASSERT_TRUE(f.port.QueueWrite(Bytes("key")));
    ASSERT_TRUE(PumpUntil([&] {
        bool keyed = false;
        f.line->With([&](FakeLine& l) { keyed = l.rts; });
        return keyed;
    }));
    PumpFor(20);
    f.line->With([](FakeLine& l) {
        EXPECT_TRUE(l.rts) << "RTS stays up until the bytes have left";
        l.outputQueue = 0;
    });
    ASSERT_TRUE(PumpUntil([&] { return sent == 1; }));
    f.line->With([](FakeLine& l) { EXPECT_EQ(l.rtsHistory, (std::vector<bool>{true, false})); });
}

TEST(CommPortTest, FailedQueueQueryIsShownOnceAndTheWriteStillGoesOut) {
    FakePort f;
    f.port.SetPortin_nro(COM5);
    int sent = 0;
    f.port.lahteneet_merkit = [&](TCommPort*) { ++sent; };
    f.port.SetOpen(true);
    f.line->With([](FakeLine& l) { l.failQueueQuery = true; });
    ASSERT_TRUE(f.port.QueueWrite(Bytes("x")));
    ASSERT_TRUE(PumpUntil([&] { return sent == 1; }));
    PumpFor(40);
    auto prompts = f.prompter.Prompts();
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_EQ(prompts[0].text, "ClearCommError on ComPort COM5!");
    EXPECT_EQ(prompts[0].icon, platform::Icon::Error);
    EXPECT_EQ(prompts[0].buttons, platform::Buttons::Ok);
    EXPECT_TRUE(f.port.IsOpen());
}

// ---- events, through the fake device (a pty has no modem lines and no line errors)

struct EventPort : FakePort {
    std::vector<uint32_t> events;
    explicit EventPort(TCommEventSet watch) {
        port.SetEventit(watch);
        port.tapahtumat = [this](TCommPort* s) { events.push_back(s->LastEvents()); };
    }
    void Open() {
        port.SetOpen(true);
        ASSERT_TRUE(port.IsOpen());
    }
    void SetLines(uint32_t status) {
        line->With([status](FakeLine& l) { l.modemStatus = status; });
    }
    void Count(std::function<void(platform::LineErrorCounts&)> f) {
        line->With([&](FakeLine& l) { f(*l.counts); });
    }
    bool WaitEvent() {
        return PumpUntil([this] { return !events.empty(); }, 1000);
    }
};

TEST(CommPortEventsTest, ModemLineChangesMapToTheirBits) {
    struct Case {
        TCommEvents watch;
        uint32_t line, bit;
    };
    const Case cases[] = {
        {ceCts, platform::kLineCts, kEvCts},
        {ceDsr, platform::kLineDsr, kEvDsr},
        {ceRlsds, platform::kLineCd, kEvRlsd},
        {ceRing, platform::kLineRi, kEvRing},
    };
    for (const Case& c : cases) {
        EventPort e({c.watch});
        e.Open();
        e.SetLines(c.line);
        ASSERT_TRUE(e.WaitEvent()) << c.bit;
        EXPECT_EQ(e.events[0], c.bit);
        // Dropping the line again is a change too.
        e.events.clear();
        e.SetLines(0);
        ASSERT_TRUE(e.WaitEvent()) << c.bit;
        EXPECT_EQ(e.events[0], c.bit);
    }
}

TEST(CommPortEventsTest, LineErrorsFillTheHighHalf) {
    struct Case {
        const char* what;
        std::function<void(platform::LineErrorCounts&)> bump;
        uint32_t want;
    };
    const Case cases[] = {
        {"parity", [](auto& c) { ++c.parity; }, kEvErr | (kCeRxParity << 16)},
        {"overrun", [](auto& c) { ++c.overrun; }, kEvErr | (kCeOverrun << 16)},
        {"framing", [](auto& c) { ++c.framing; }, kEvErr | (kCeFrame << 16)},
        {"two at once", [](auto& c) { ++c.framing, ++c.overrun; },
         kEvErr | ((kCeFrame | kCeOverrun) << 16)},
    };
    for (const Case& c : cases) {
        EventPort e({ceErr});
        e.Open();
        e.Count(c.bump);
        ASSERT_TRUE(e.WaitEvent()) << c.what;
        EXPECT_EQ(e.events[0], c.want) << c.what;
    }
    EventPort e({ceBreak});
    e.Open();
    e.Count([](auto& c) { ++c.brk; });
    ASSERT_TRUE(e.WaitEvent());
    EXPECT_EQ(e.events[0], kEvBreak);  // no line-error bit: the high half stays 0
}

TEST(CommPortEventsTest, RlsdSelectsNothing) {
    EventPort e({cdRlsd});
    e.Open();
    e.SetLines(platform::kLineCd | platform::kLineCts | platform::kLineDsr);
    e.Count([](auto& c) { ++c.framing; });
    PumpFor(60);
    EXPECT_TRUE(e.events.empty());
}

TEST(CommPortEventsTest, ParityWatchesLineErrorsUntilItIsNone) {
    EventPort e({ceCts});
    e.Open();
    e.port.Setpariteetti(pbEven);
    e.Count([](auto& c) { ++c.parity; });
    ASSERT_TRUE(e.WaitEvent());
    EXPECT_EQ(e.events[0], kEvErr | (kCeRxParity << 16));
    e.port.Setpariteetti(_pbNone);
    e.events.clear();
    e.Count([](auto& c) { ++c.parity; });
    PumpFor(50);
    EXPECT_TRUE(e.events.empty());
}

TEST(CommPortEventsTest, RtsHandshakeWatchesCts) {
    EventPort e({});
    e.Open();
    e.SetLines(platform::kLineCts);
    PumpFor(30);
    EXPECT_TRUE(e.events.empty()) << "nothing watched yet";
    e.port.SetRTSmode(rtsHANDSHAKE);
    e.SetLines(0);
    ASSERT_TRUE(e.WaitEvent());
    EXPECT_EQ(e.events[0] & 0xFFFF, kEvCts);
    e.port.SetRTSmode(rtsDISABLE);
    e.events.clear();
    e.SetLines(platform::kLineCts);
    PumpFor(50);
    EXPECT_TRUE(e.events.empty());
}

TEST(CommPortEventsTest, EventitChangeOnAnOpenPortReplacesTheMask) {
    EventPort e({});
    e.Open();
    e.port.SetEventit({ceDsr});
    e.SetLines(platform::kLineDsr | platform::kLineCts);
    ASSERT_TRUE(e.WaitEvent());
    EXPECT_EQ(e.events[0], kEvDsr);  // CTS changed too but is not watched
}

TEST(CommPortEventsTest, ReceivedAndSentBytesAreEventsWhenWatched) {
    EventPort e({ceRxChar, ceTxEmpty});
    e.port.tulleet_merkit = [](TCommPort* s) { s->TakeReceived(); };
    e.Open();
    e.line->Feed("x");
    ASSERT_TRUE(e.port.QueueWrite(Bytes("y")));
    ASSERT_TRUE(PumpUntil([&] {
        uint32_t all = 0;
        for (auto ev : e.events) all |= ev;
        return all == (kEvRxChar | kEvTxEmpty);
    }));
}

}  // namespace
}  // namespace kelmor::serial
