// Whatever a modem answers, in whatever pieces and with whatever time-outs in between, the
// exchange neither crashes nor loops; and whatever a PC sends, the simulated modem copes.
#include <cstddef>
#include <cstdint>
#include <set>

#include "core/crc16.h"
#include "designer/exchange_network.h"
#include "designer/network.h"
#include "modemcfg/definition.h"
#include "modemcfg/exchange.h"
#include "modemcfg/protocol.h"
#include "sim/programming.h"

namespace {

using namespace kelmor;

const char* kDefinition =
    "[Version]\r\nName=FUZZ\r\nVersion number=3\r\nSettings=9600,8,N,1\r\nKelmor ini=x\r\n"
    "[Properties]\r\nB01=Byte\r\nB01_v=3\r\nR01=Choice\r\nR01_v=1\r\nR01_1=a\r\nR01_2=b\r\n"
    "S01=Text\r\nS01_v=2\r\nH01=Hex\r\nH01_v=3\r\nW91=Word\r\nW91_v=0\r\nM92=Mark\r\nM92_v=0\r\n";

// Answers Yes and No in turn. With reenter set, it plays the event loop of a modal box: while
// the box is open a reply arrives, the watchdog fires, or the window stops the exchange.
class Answers : public platform::Prompter {
  public:
    bool yes = true;
    modemcfg::ModemExchange* reenter = nullptr;
    bool mayAbort = false;
    int asked = 0;
    platform::Answer Ask(const platform::Prompt&) override {
        yes = !yes;
        if (reenter) {
            switch (asked++ % 3) {
                case 0:
                    reenter->OnReceived(modemcfg::MessageBuilder(0x88).Add('B', '0', "1").Finish());
                    break;
                case 1:
                    reenter->OnTimer(modemcfg::ExchangeTimer::Rsptmr);
                    break;
                default:
                    if (mayAbort) reenter->Abort();
                    break;
            }
        }
        return yes ? platform::Answer::Yes : platform::Answer::No;
    }
};

class Host : public modemcfg::ExchangeHost {
  public:
    bool open = false;
    size_t frames = 0;
    std::set<modemcfg::ExchangeTimer> running;
    bool PortIsOpen() const override { return open; }
    void ApplySerialSettings(const modemcfg::SerialSettings&) override {}
    void SetPortNumber(int) override {}
    void OpenPort() override { open = true; }
    void ClosePort() override { open = false; }
    bool QueueBytes(const modemcfg::Bytes&) override {
        ++frames;
        return true;
    }
    void StatusLine(const std::string&, modemcfg::StatusMode, const std::string&) override {}
    void StatusBytes(const modemcfg::Bytes&, bool) override {}
    void StartTimer(modemcfg::ExchangeTimer t, int) override { running.insert(t); }
    void StopTimer(modemcfg::ExchangeTimer t) override { running.erase(t); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const modemcfg::Definition def = modemcfg::ParseDefinition("FUZZ.smf", kDefinition);
    if (size < 2) return 0;
    Answers prompter;
    designer::Network net(prompter);
    const uint8_t mode = data[0];
    net.singleModemMode = !(mode & 1);
    net.properties.Create(net);
    if (mode & 8) net.properties.controls.routingType = 1;
    for (int i = 0; i < 2; ++i) {
        designer::TKuvio& n = net.NewNode(designer::Kind::Plain, "FUZZ", 0, 0);
        n.SetAddress(i ? "A1" : "F0");
        n.typeTitle = "FUZZ";
        n.typeVersion = 3;
        n.parameters = modemcfg::NewParameterList(def.groups, !net.singleModemMode);
        if (i == 0) net.SetMaster(&n);
    }
    net.nodes[1]->routeParent = net.nodes[0].get();
    net.activeNode = net.nodes[(mode >> 4) & 1].get();

    Host host;
    designer::NetworkExchangeTarget target(net);
    modemcfg::ModemExchange exchange(host, target, prompter);
    exchange.SetSecurityLevel(mode & 2 ? '9' : '0');
    if (mode & 0x20) prompter.reenter = &exchange;
    prompter.mayAbort = mode & 0x40;
    if (!(mode & 4 ? exchange.StartTransmit() : exchange.StartReceive())) return 0;
    exchange.OnTimer(modemcfg::ExchangeTimer::Alkutmr);

    sim::ProgrammingModem modem(def, {});
    size_t pos = 1;
    while (pos < size && exchange.Running()) {
        const uint8_t control = data[pos++];
        if ((control & 0xC0) == 0xC0 && !host.running.empty()) {
            // A timer runs out.
            auto t = *std::next(host.running.begin(), control % host.running.size());
            host.running.erase(t);
            exchange.OnTimer(t);
            continue;
        }
        if (pos >= size) break;
        size_t n = std::min<size_t>(control % 32 + 1, size - pos);
        if (control & 0x20) {
            // A well-framed reply: code and field bytes as given, then 'L' and a good CRC, so
            // the reply handling itself is reached.
            modemcfg::Bytes frame{'$', data[pos], 0};
            frame.insert(frame.end(), data + pos + 1, data + pos + n);
            frame.push_back('L');
            uint16_t crc = core::MsgCrc(0xFFFF, frame.data(), frame.size());
            frame.push_back(static_cast<uint8_t>(crc >> 8));
            frame.push_back(static_cast<uint8_t>(crc & 0xFF));
            exchange.OnReceived(frame);
        } else {
            exchange.OnReceived(data + pos, n);
        }
        modem.Receive(modemcfg::Bytes(data + pos, data + pos + n));
        pos += n;
        // Every reply sends at most one command.
        if (host.frames > size + 8) __builtin_trap();
    }
    return 0;
}
