// kelmor-tool modem receive --port COMn --smf TYPE [--level 0|5|9] [--out FILE.ssf] [--json FILE]
// kelmor-tool modem transmit --port COMn (--ssf FILE.ssf | --project FILE.spf --node NAME)
//                            [--level 0|5|9] [--yes|--no]
// The modem exchange on a real serial port with real timers: every status line is printed as it
// happens, questions are asked on the terminal (or answered by --yes / --no), and the exit code is
// 0 only when the whole chain ran.
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <array>
#include <cstdio>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "core/hex.h"
#include "designer/definitiontypes.h"
#include "designer/exchange_network.h"
#include "designer/network.h"
#include "designer/projectfile.h"
#include "modemcfg/definition.h"
#include "modemcfg/exchange.h"
#include "platform/ansi.h"
#include "platform/inifile.h"
#include "platform/programdir.h"
#include "serial/commport.h"
#include "tool/command.h"

namespace {

using namespace kelmor;
using modemcfg::ExchangeResult;
using modemcfg::ExchangeTimer;
using modemcfg::StatusMode;

std::string Shown(const std::string& ansi) {
    std::string text = platform::AnsiToUtf8(ansi);
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    return out;
}

// Messages and questions on the terminal. A question is answered by --yes / --no when given,
// else from standard input ("y" or "yes" is Yes; anything else, or end of input, is No).
class TerminalPrompter : public platform::Prompter {
  public:
    std::optional<bool> answer;

    platform::Answer Ask(const platform::Prompt& prompt) override {
        const bool question = prompt.buttons == platform::Buttons::YesNo ||
                              prompt.buttons == platform::Buttons::YesNoCancel;
        if (!question) {
            std::printf("MESSAGE: %s\n", Shown(prompt.text).c_str());
            std::fflush(stdout);
            return platform::Answer::Ok;
        }
        std::printf("QUESTION: %s\n", Shown(prompt.text).c_str());
        bool yes = false;
        if (answer) {
            yes = *answer;
            std::printf("answer: %s\n", yes ? "Yes" : "No");
        } else {
            std::printf("[y/N] ");
            std::fflush(stdout);
            std::string line;
            if (std::getline(std::cin, line)) yes = line == "y" || line == "Y" || line == "yes";
            std::printf("%s\n", yes ? "Yes" : "No");
        }
        std::fflush(stdout);
        return yes ? platform::Answer::Yes : platform::Answer::No;
    }
};

// The exchange's host: a TCommPort, three Qt timers and the terminal.
class ToolHost : public modemcfg::ExchangeHost {
  public:
    ToolHost(TerminalPrompter& prompter, bool logBytes) : logBytes_(logBytes) {
        port.SetBaudrate(serial::br__9600);
        port.SetRX_puskurin_koko(2048);
        port.SetRX_notify(2048);
        port.SetTX_puskurin_koko(4096);  // the largest parameter message fits in one piece
        port.SetDTRmode(serial::dtrENABLE);
        port.Setvaliaika(50);
        port.Settaustaajo(true);
        port.SetPrompter(&prompter);
        for (auto& t : timers_) t.setSingleShot(true);
    }

    void Attach(modemcfg::ModemExchange& exchange) {
        exchange_ = &exchange;
        port.tulleet_merkit = [this](serial::TCommPort* p) {
            if (p->ReceivedCount() <= 0) return;
            std::vector<uint8_t> bytes = p->TakeReceived();
            exchange_->OnReceived(bytes);
        };
        for (size_t i = 0; i < timers_.size(); ++i) {
            QObject::connect(&timers_[i], &QTimer::timeout,
                             [this, i] { exchange_->OnTimer(static_cast<ExchangeTimer>(i)); });
        }
    }

    bool PortIsOpen() const override { return port.IsOpen(); }
    void ApplySerialSettings(const modemcfg::SerialSettings& s) override {
        if (s.baudRate) port.SetBaudrate(serial::BaudRateOf(*s.baudRate));
        if (s.dataBits) port.SetDatabits(static_cast<serial::TDataBits>(*s.dataBits - 4));
        if (s.parity) port.Setpariteetti(serial::ParityOf(*s.parity));
        if (s.stopBits) {
            port.SetStopbits(*s.stopBits == modemcfg::StopBitsSetting::One ? serial::sbOne
                             : *s.stopBits == modemcfg::StopBitsSetting::Two
                                 ? serial::sbTwo
                                 : serial::sbOnePointFive);
        }
        port.SetDTRline(false);
        port.SetDTRmode(serial::dtrENABLE);
        port.SetKattely(serial::fcNone);
        port.SetRTSline(false);
        port.SetRTSmode(serial::rtsDISABLE);
    }
    void SetPortNumber(int number) override {
        port.SetPortin_nro(static_cast<serial::TPortnro>(number - 1));
    }
    void OpenPort() override { port.SetOpen(true); }
    void ClosePort() override { port.SetOpen(false); }
    void ReserveTransmit(size_t bytes) override {
        if (static_cast<int>(bytes) > port.TX_puskurin_koko())
            port.SetTX_puskurin_koko(static_cast<int>(bytes));
    }
    bool QueueBytes(const modemcfg::Bytes& frame) override { return port.QueueWrite(frame); }
    void StatusLine(const std::string& line, StatusMode mode, const std::string& caption) override {
        if (!caption.empty()) std::printf("== %s\n", Shown(caption).c_str());
        std::printf("%s\n", Shown(line).c_str());
        (void)mode;
        std::fflush(stdout);
    }
    void StatusBytes(const modemcfg::Bytes& frame, bool sent) override {
        if (!logBytes_) return;
        std::printf("  %s %s\n", sent ? "PC -> modem:" : "modem -> PC:",
                    core::EscapedHexBytes(frame.data(), frame.size()).c_str());
    }
    void StartTimer(ExchangeTimer t, int ms) override { timers_[static_cast<size_t>(t)].start(ms); }
    void StopTimer(ExchangeTimer t) override { timers_[static_cast<size_t>(t)].stop(); }
    void MarkField(int index, const modemcfg::Field& f) override {
        std::printf("  rejected: field %d (%c), the modem holds %s\n", index, f.type,
                    Shown(f.value).c_str());
    }
    void ExchangeEnded(ExchangeResult r) override {
        result = r;
        // Leave the event loop once the current handler has returned.
        QTimer::singleShot(0, [] { QCoreApplication::quit(); });
    }

    serial::TCommPort port;
    std::optional<ExchangeResult> result;

  private:
    bool logBytes_;
    modemcfg::ModemExchange* exchange_ = nullptr;
    std::array<QTimer, 3> timers_;
};

struct Options {
    std::string port = "COM1";
    std::string device;
    std::string smf;
    std::string definitions;
    std::string level = "0";
    std::string out;
    std::string json;
    std::string ssf;
    std::string project;
    std::string node;
    bool yes = false;
    bool no = false;
    bool logBytes = false;
    bool factory = false;
};

std::optional<int> PortNumberOf(const std::string& text) {
    std::string t = text;
    if (t.size() > 3 && platform::EqualsNoCase(t.substr(0, 3), "COM")) t = t.substr(3);
    if (t.empty() || t.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    return platform::TextToInt(t);
}

// Runs one exchange to its end. Returns the process exit code.
int RunExchange(const Options& o, designer::Network& net, TerminalPrompter& prompter,
                bool transmit) {
    auto portNumber = PortNumberOf(o.port);
    if (!portNumber) {
        std::fprintf(stderr, "modem: --port wants COM1 … COM16, not %s\n", o.port.c_str());
        return 2;
    }
    ToolHost host(prompter, o.logBytes);
    if (!o.device.empty()) host.port.SetDevicePath(o.device);
    designer::NetworkExchangeTarget target(net);
    modemcfg::ModemExchange exchange(host, target, prompter);
    host.Attach(exchange);
    exchange.SetPortNumber(*portNumber);
    exchange.SetSecurityLevel(o.level[0]);
    bool started = transmit ? exchange.StartTransmit() : exchange.StartReceive();
    if (!started) return 1;
    QCoreApplication::exec();
    host.port.SetOpen(false);
    ExchangeResult result = host.result.value_or(ExchangeResult::Interrupted);
    std::printf("result: %s\n", modemcfg::ResultText(result));
    return result == ExchangeResult::Completed ? 0 : 1;
}

std::string DefinitionsFolder(const Options& o) {
    return o.definitions.empty() ? platform::ProgramDir() : o.definitions;
}

void RunReceive(const Options& o) {
    TerminalPrompter prompter;
    if (o.yes || o.no) prompter.answer = o.yes;
    std::string type = o.smf;
    if (type.size() > 4 && platform::EqualsNoCase(type.substr(type.size() - 4), ".smf"))
        type.resize(type.size() - 4);
    // Without --definitions: the program folder, else the installed samples.
    const std::string folder =
        o.definitions.empty() ? platform::DefinitionFolderFor(modemcfg::DefinitionFileName(type))
                              : o.definitions;
    modemcfg::Definition def = modemcfg::ReadDefinition(folder, modemcfg::DefinitionFileName(type));
    if (!def.Ok() || def.groups.empty()) {
        std::fprintf(stderr, "modem receive: no usable definition %s in %s%s%s\n",
                     modemcfg::DefinitionFileName(type).c_str(), folder.c_str(),
                     def.error.empty() ? "" : ": ", def.error.c_str());
        kelmor::tool::SetExitCode(2);
        return;
    }
    designer::DefinitionTypeInfo types(folder, o.factory, prompter);
    designer::Network net(prompter, &types);
    net.singleModemMode = true;
    designer::TKuvio& node = net.NewNode(designer::Kind::Plain, type, 0, 0);
    node.name = type;
    node.parameters = modemcfg::NewParameterList(def.groups, false);
    // Factory mode shows every parameter, so every value is taken.
    if (o.factory)
        for (auto& p : node.parameters) p.shown = true;
    node.isNew = false;

    int code = RunExchange(o, net, prompter, false);
    if (code == 0) {
        std::printf("values:\n");
        for (size_t i = 0; i < node.parameters.size() && i < def.groups.size(); ++i) {
            std::printf("  %s = %s   (%s)\n", def.groups[i].key.c_str(),
                        Shown(node.parameters[i].value).c_str(),
                        Shown(def.groups[i].caption).c_str());
        }
        if (!o.json.empty()) {
            nlohmann::ordered_json j;
            j["type"] = type;
            j["parameters"] = nlohmann::ordered_json::array();
            for (size_t i = 0; i < node.parameters.size() && i < def.groups.size(); ++i) {
                j["parameters"].push_back({{"key", def.groups[i].key},
                                           {"value", Shown(node.parameters[i].value)},
                                           {"shown", node.parameters[i].shown}});
            }
            if (!platform::WriteFileAtomic(o.json, j.dump(2) + "\n")) {
                std::fprintf(stderr, "modem receive: cannot write %s\n", o.json.c_str());
                code = 1;
            }
        }
        if (!o.out.empty() && !designer::SaveNetwork(net, o.out)) code = 1;
    }
    kelmor::tool::SetExitCode(code);
}

void RunTransmit(const Options& o) {
    TerminalPrompter prompter;
    if (o.yes || o.no) prompter.answer = o.yes;
    if (o.ssf.empty() == o.project.empty()) {
        std::fprintf(stderr,
                     "modem transmit: give either --ssf FILE or --project FILE --node NAME\n");
        kelmor::tool::SetExitCode(2);
        return;
    }
    designer::DefinitionTypeInfo types(DefinitionsFolder(o), o.factory, prompter);
    designer::Network net(prompter, &types);
    net.singleModemMode = !o.ssf.empty();
    const std::string& path = net.singleModemMode ? o.ssf : o.project;
    if (!designer::LoadNetwork(net, path) || net.nodes.empty()) {
        std::fprintf(stderr, "modem transmit: %s holds no modem\n", path.c_str());
        kelmor::tool::SetExitCode(2);
        return;
    }
    net.activeNode = net.nodes.front().get();
    if (!net.singleModemMode) {
        net.activeNode = nullptr;
        std::string names;
        for (auto& n : net.nodes) {
            if (n->name == o.node) net.activeNode = n.get();
            names += " \"" + Shown(n->name) + "\"";
        }
        if (!net.activeNode) {
            std::fprintf(stderr, "modem transmit: no modem named \"%s\" in %s; it has%s\n",
                         o.node.c_str(), path.c_str(), names.c_str());
            kelmor::tool::SetExitCode(2);
            return;
        }
    }
    kelmor::tool::SetExitCode(RunExchange(o, net, prompter, true));
}

void AddCommon(CLI::App* cmd, Options& o) {
    cmd->add_option("--port", o.port, "COM1 … COM16 (device from KELMOR_COMn or the settings)");
    cmd->add_option("--device", o.device, "use this device path for the port");
    cmd->add_option("--level", o.level, "security level")->check(CLI::IsMember({"0", "5", "9"}));
    cmd->add_option("--definitions", o.definitions,
                    "folder of the .smf definitions (default: the program folder)");
    cmd->add_flag("--yes", o.yes, "answer Yes to the type and version questions");
    cmd->add_flag("--no", o.no, "answer No to the type and version questions");
    cmd->add_flag("--log-bytes", o.logBytes, "print every frame sent and received");
    cmd->add_flag("--factory", o.factory, "factory mode: every parameter counts as shown");
}

const bool registered = kelmor::tool::Register([](CLI::App& app) {
    static Options o;
    auto* modem = app.add_subcommand("modem", "receive or transmit a modem's values over a port");
    modem->require_subcommand(1);

    auto* rx = modem->add_subcommand("receive", "read the parameter values of a modem");
    AddCommon(rx, o);
    rx->add_option("--smf", o.smf, "the modem's type (definition file name)")->required();
    rx->add_option("--out", o.out, "write the values to a single-modem file (.ssf)");
    rx->add_option("--json", o.json, "write the values as JSON");
    rx->callback([] { RunReceive(o); });

    auto* tx = modem->add_subcommand("transmit", "program a modem with values (and routes)");
    AddCommon(tx, o);
    tx->add_option("--ssf", o.ssf, "single-modem file: parameters only");
    tx->add_option("--project", o.project, "project file: parameters, protocol and routes");
    tx->add_option("--node", o.node, "the modem of the project to program");
    tx->callback([] { RunTransmit(o); });
});

}  // namespace
