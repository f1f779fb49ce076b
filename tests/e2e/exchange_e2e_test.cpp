// kelmor-tool modem transmit, then receive, against kelmor-modem-sim over a pseudo-terminal, in
// real time: the simulated modem ends up holding the project's values and routes, and reading it
// back gives the values that were sent.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "childprocess.h"
#include "designer/network.h"
#include "designer/projectfile.h"
#include "fakeprompter.h"
#include "modemcfg/definition.h"
#include "platform/inifile.h"

namespace {

using namespace kelmor;

using Process = kelmor::testing::ChildProcess;

nlohmann::json ReadJson(const std::string& path) {
    std::string text;
    EXPECT_TRUE(platform::ReadFileBytes(path, text)) << path;
    return nlohmann::json::parse(text, nullptr, false);
}

TEST(ExchangeEndToEnd, TransmitThenReceiveGivesBackWhatWasSent) {
    const std::string home = std::getenv("KELMOR_HOME");
    const std::string defs = KELMOR_SOURCE_DIR "/resources/definitions";
    const std::string project = home + "/net.spf", state = home + "/modem.json",
                      received = home + "/received.json";

    // A master with two modems under it, all KL160.
    modemcfg::Definition def = modemcfg::ReadDefinition(defs, "KL160.smf");
    ASSERT_TRUE(def.Ok());
    kelmor::testing::FakePrompter prompter;
    std::vector<std::string> values;  // what each modem of the project holds
    {
        designer::Network net(prompter);
        net.properties.Create(net);
        auto& m = net.NewNode(designer::Kind::Plain, "KL160", 10, 10);
        auto& a = net.NewNode(designer::Kind::Plain, "KL160", 60, 10);
        auto& b = net.NewNode(designer::Kind::Plain, "KL160", 110, 10);
        net.SetMaster(&m);
        m.name = "Master";
        a.name = "A";
        b.name = "B";
        m.SetAddress("F0");
        a.SetAddress("A1");
        b.SetAddress("B2");
        a.routeParent = &m;
        b.routeParent = &a;
        for (auto* n : {&m, &a, &b}) {
            n->parameters = modemcfg::NewParameterList(def.groups, true);
            for (size_t i = 0; i < def.groups.size(); ++i) {
                const auto& g = def.groups[i];
                std::string v = g.type == 'S'   ? "Stn" + std::to_string(i)
                                : g.type == 'H' ? "12AB"
                                : g.type == 'R' ? std::to_string(i % g.choices.size())
                                : g.type == 'M' ? std::to_string(i % 2)
                                                : std::to_string(i + 3);
                n->parameters[i].value = v;
                if (n == &m) values.push_back(v);
            }
        }
        net.properties.controls.netid = "E2E";
        net.properties.Ok(net);
        ASSERT_TRUE(designer::SaveNetwork(net, project))
            << ::testing::PrintToString(prompter.Texts());
    }

    Process modem({KELMOR_SIM_PATH, "--smf", "KL160", "--definitions", defs, "--state", state});
    std::string device = modem.Line();
    ASSERT_FALSE(device.empty());

    Process transmit({KELMOR_TOOL_PATH, "modem", "transmit", "--port", "COM1", "--device", device,
                      "--definitions", defs, "--project", project, "--node", "Master"});
    std::string out = transmit.Rest();
    ASSERT_EQ(transmit.Wait(), 0) << out;
    EXPECT_NE(out.find("Send source routeinfo to modem 1"), std::string::npos) << out;
    EXPECT_NE(out.find("Serial port closed"), std::string::npos) << out;

    nlohmann::json held = ReadJson(state);
    ASSERT_TRUE(held.is_object());
    EXPECT_EQ(held["protocol"]["networkId"], "E2E");
    EXPECT_EQ(held["sourceRoutes"], nlohmann::json::parse(R"([{"address":"000000A1","path":[2]},
                                        {"address":"000000B2","path":[2,3]}])"));

    Process receive({KELMOR_TOOL_PATH, "modem", "receive", "--port", "COM1", "--device", device,
                     "--definitions", defs, "--smf", "KL160", "--factory", "--json", received});
    out = receive.Rest();
    ASSERT_EQ(receive.Wait(), 0) << out;
    nlohmann::json back = ReadJson(received);
    ASSERT_TRUE(back.is_object());
    size_t compared = 0;
    for (size_t i = 0; i < def.groups.size(); ++i) {
        if (def.groups[i].level == '9') continue;  // factory values travel only at level 9
        const auto& saved = held["parameters"][i];
        EXPECT_EQ(back["parameters"][i]["value"], saved["saved"]) << def.groups[i].key;
        EXPECT_EQ(back["parameters"][i]["key"], def.groups[i].key);
        ++compared;
    }
    EXPECT_GT(compared, 10u);
    // What the modem saved is what the project holds for the master.
    for (size_t i = 0; i < def.groups.size(); ++i) {
        if (def.groups[i].level != '9') {
            EXPECT_EQ(held["parameters"][i]["saved"], values[i]) << i;
        }
    }
    modem.Stop();
}

}  // namespace
