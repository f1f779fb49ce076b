#pragma once
// A test bench for the modem exchange: the engine with the designer's network as its target, a
// host that records everything it is told, and the simulated modem answering each frame after a
// short line delay, all on a virtual clock.
#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "designer/exchange_network.h"
#include "fakeprompter.h"
#include "modemcfg/definition.h"
#include "modemcfg/exchange.h"
#include "platform/clock.h"
#include "sim/programming.h"

namespace kelmor::exchangetest {

using modemcfg::Bytes;
using modemcfg::ExchangeResult;
using modemcfg::ExchangeTimer;
using modemcfg::StatusMode;
using Lines = std::vector<std::string>;

inline std::string DefinitionFolder() { return KELMOR_SOURCE_DIR "/resources/definitions"; }

inline modemcfg::Definition LoadDefinition(const std::string& type) {
    modemcfg::Definition d = modemcfg::ReadDefinition(DefinitionFolder(), type + ".smf");
    EXPECT_TRUE(d.Ok()) << d.error;
    return d;
}

// Valid values, different per salt, for every parameter of a definition.
inline void FillValues(modemcfg::ParameterList& list, const modemcfg::Definition& d, int salt) {
    for (size_t i = 0; i < list.size() && i < d.groups.size(); ++i) {
        const auto& g = d.groups[i];
        int n = static_cast<int>(i) + salt;
        switch (g.type) {
            case 'B':
                list[i].value = std::to_string(n % 256);
                break;
            case 'W':
                list[i].value = std::to_string(1000 + n);
                break;
            case 'H':
                list[i].value = n % 2 ? "5A3C" : "80000001";
                break;
            case 'M':
                list[i].value = n % 2 ? "1" : "0";
                break;
            case 'R':
                list[i].value = std::to_string(n % static_cast<int>(g.choices.size()));
                break;
            case 'S':
                list[i].value = "Name" + std::to_string(n);
                break;
        }
    }
}

// Records prompts into the bench's event log as they happen.
class LoggingPrompter : public testing::FakePrompter {
  public:
    explicit LoggingPrompter(Lines& log) : log_(log) {}
    platform::Answer Ask(const platform::Prompt& prompt) override {
        log_.push_back("prompt:" + prompt.text);
        // What happens while the box is open: a modal box runs its own event loop, so bytes
        // and timer expiries reach the exchange meanwhile.
        if (whileOpen) whileOpen(prompt);
        return FakePrompter::Ask(prompt);
    }
    std::function<void(const platform::Prompt&)> whileOpen;

  private:
    Lines& log_;
};

class Bench : public modemcfg::ExchangeHost {
  public:
    explicit Bench(const std::string& type = "KL450", bool routing = false,
                   sim::ProgrammingConfig config = {})
        : definition(LoadDefinition(type)),
          modem(std::make_unique<sim::ProgrammingModem>(definition, std::move(config))) {
        net.singleModemMode = !routing;
        net.properties.Create(net);
        node = &AddNode("Modem 1", "00AB", 1,
                        routing ? designer::Kind::Master : designer::Kind::Plain);
    }

    designer::TKuvio& AddNode(const std::string& name, const std::string& address, uint16_t system,
                              designer::Kind kind = designer::Kind::Plain) {
        designer::TKuvio& n =
            net.NewNode(kind == designer::Kind::Master ? designer::Kind::Plain : kind,
                        definition.typeName, 0, 0);
        n.name = name;
        n.systemAddress = system;
        n.SetAddress(address);
        n.typeTitle = definition.name;
        n.typeVersion = definition.version;
        n.portSettings = definition.settings;
        n.parameters = modemcfg::NewParameterList(definition.groups, !net.singleModemMode);
        n.isNew = false;
        if (kind == designer::Kind::Master) net.SetMaster(&n);
        return n;
    }

    // The modem holds (and has saved) the valid values of salt.
    void LoadModem(int salt) {
        modemcfg::ParameterList list = modemcfg::NewParameterList(definition.groups, false);
        FillValues(list, definition, salt);
        for (size_t i = 0; i < list.size(); ++i) modem->State().values[i] = list[i].value;
        modem->State().eeprom = modem->State().values;
    }

    // --- host ---
    bool PortIsOpen() const override { return open; }
    void ApplySerialSettings(const modemcfg::SerialSettings& s) override { settings = s; }
    void SetPortNumber(int number) override { portNumber = number; }
    void OpenPort() override {
        open = true;
        openedAt = clock.Now();
        log.push_back("open");
    }
    void ClosePort() override {
        if (open) log.push_back("close");
        open = false;
        inbound.clear();
    }
    void ReserveTransmit(size_t bytes) override { reserved = bytes; }
    bool QueueBytes(const Bytes& frame) override {
        if (!open || frame.size() > transmitBuffer) return false;
        sent.push_back({clock.Now(), frame});
        log.push_back("send:" + Name(frame));
        std::optional<Bytes> reply;
        if (intercept) reply = intercept(frame);
        Bytes answer = modem->Receive(frame);
        if (reply) answer = *reply;
        if (!answer.empty()) inbound.push_back({clock.Now() + replyDelayMs, answer});
        return true;
    }
    void StatusLine(const std::string& line, StatusMode mode, const std::string& caption) override {
        status.push_back({line, mode});
        log.push_back("status:" + line);
        if (!caption.empty()) this->caption = caption;
    }
    void StatusBytes(const Bytes& frame, bool wasSent) override {
        (wasSent ? loggedSent : loggedReceived).push_back(frame);
    }
    void StartTimer(ExchangeTimer t, int ms) override { due[t] = clock.Now() + ms; }
    void StopTimer(ExchangeTimer t) override { due.erase(t); }
    void HideForm() override { log.push_back("form:hide"); }
    void ShowForm() override { log.push_back("form:show"); }
    void MarkField(int index, const modemcfg::Field& f) override {
        log.push_back("mark:" + std::to_string(index) + ":" + f.type + ":" + f.value);
    }
    void EnableFormCancel() override { log.push_back("cancel:enabled"); }
    void ExchangeEnded(ExchangeResult r) override {
        result = r;
        endedAt = clock.Now();
    }

    // Moves virtual time from event to event until the exchange ends (or limitMs passes).
    void Run(int64_t limitMs = 120000) {
        const int64_t stop = clock.Now() + limitMs;
        while (exchange.Running() && clock.Now() <= stop) {
            int64_t next = INT64_MAX;
            for (auto& [t, at] : due) next = std::min(next, at);
            if (!inbound.empty()) next = std::min(next, inbound.front().first);
            if (next == INT64_MAX) break;
            if (next > clock.Now()) clock.Advance(next - clock.Now());
            if (!inbound.empty() && inbound.front().first <= clock.Now()) {
                Bytes b = inbound.front().second;
                inbound.pop_front();
                if (chunked && b.size() > 1) {
                    // Bytes come in pieces, as the port hands them over.
                    size_t half = b.size() / 2;
                    exchange.OnReceived(b.data(), half);
                    exchange.OnReceived(b.data() + half, b.size() - half);
                } else {
                    exchange.OnReceived(b);
                }
                continue;
            }
            for (auto& [t, at] : due) {
                if (at <= clock.Now()) {
                    ExchangeTimer fired = t;
                    due.erase(t);
                    exchange.OnTimer(fired);
                    break;
                }
            }
        }
    }

    static std::string Name(const Bytes& frame) {
        if (frame.size() < 2) return "?";
        const auto* info = modemcfg::FindCommand(static_cast<modemcfg::Command>(frame[1]));
        return info ? info->name : "code" + std::to_string(frame[1]);
    }
    Lines Commands() const {
        Lines out;
        for (auto& s : sent) out.push_back(Name(s.frame));
        return out;
    }
    Lines StatusTexts() const {
        Lines out;
        for (auto& s : status) out.push_back(s.first);
        return out;
    }
    // The log entries that start with one of the prefixes, in order.
    Lines Events(std::initializer_list<const char*> prefixes) const {
        Lines out;
        for (auto& e : log)
            for (const char* p : prefixes)
                if (e.rfind(p, 0) == 0) out.push_back(e);
        return out;
    }

    struct Sent {
        int64_t at;
        Bytes frame;
    };

    modemcfg::Definition definition;
    std::unique_ptr<sim::ProgrammingModem> modem;
    platform::VirtualClock clock;
    Lines log;
    LoggingPrompter prompter{log};
    designer::Network net{prompter};
    designer::NetworkExchangeTarget target{net};
    modemcfg::ModemExchange exchange{*this, target, prompter};
    designer::TKuvio* node = nullptr;

    bool open = false;
    int portNumber = 0;
    int64_t openedAt = -1;
    std::optional<modemcfg::SerialSettings> settings;
    std::vector<Sent> sent;
    std::vector<std::pair<std::string, StatusMode>> status;
    std::string caption;
    std::vector<Bytes> loggedSent, loggedReceived;
    std::map<ExchangeTimer, int64_t> due;
    std::deque<std::pair<int64_t, Bytes>> inbound;
    std::optional<ExchangeResult> result;
    int64_t endedAt = -1;
    int replyDelayMs = 20;
    size_t transmitBuffer = SIZE_MAX;  // frames larger than this cannot be queued
    size_t reserved = 0;               // what the engine asked the port to take
    bool chunked = true;
    // Returns a reply to use instead of the modem's for a frame (the modem still sees it).
    std::function<std::optional<Bytes>(const Bytes&)> intercept;
};

}  // namespace kelmor::exchangetest
