#pragma once
// Small networks for the designer tests, built the way the window builds them.
#include <string>

#include "designer/network.h"
#include "fakeprompter.h"

namespace kelmor::designer::testing {

struct TestNetwork {
    kelmor::testing::FakePrompter prompter;
    Network net{prompter};

    TestNetwork() { net.properties.Create(net); }

    // A node with the given address and system address, appended in list order.
    TKuvio& Add(const std::string& name, const std::string& address, uint16_t system,
                Kind kind = Kind::Plain) {
        TKuvio& n = net.NewNode(kind == Kind::Master ? Kind::Plain : kind, "TYPE", 0, 0);
        n.name = name;
        n.systemAddress = system;
        if (kind == Kind::Multi) {
            n.PutAddressAt(-1, "");
        } else {
            n.SetAddress(address);
        }
        if (kind == Kind::Master) net.SetMaster(&n);
        return n;
    }
    TKuvio& Repeater(const std::string& name, uint16_t system) {
        TKuvio& n = Add(name, "", system);
        n.noAddress = true;
        return n;
    }
    void Link(TKuvio& parent, TKuvio& child) { child.routeParent = &parent; }
    void UseVirtualRouting() { net.properties.controls.routingType = 1; }
};

}  // namespace kelmor::designer::testing
