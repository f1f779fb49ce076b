// Project and single-modem files from untrusted bytes: loading never crashes or hangs, the
// route computation terminates on whatever links a file holds, and a loaded network saves to
// bytes that load back to the same network.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "designer/projectfile.h"
#include "designer/routes.h"

namespace {

class SilentPrompter : public kelmor::platform::Prompter {
  public:
    kelmor::platform::Answer Ask(const kelmor::platform::Prompt& p) override {
        return p.defaultButton;
    }
};

void Check(const std::string& bytes, bool single) {
    using namespace kelmor::designer;
    SilentPrompter prompter;
    Network net(prompter);
    net.singleModemMode = single;
    LoadNetworkBytes(net, bytes, "fuzz");
    auto saved = SerializeNetwork(net, nullptr);
    if (saved) {
        Network again(prompter);
        again.singleModemMode = single;
        LoadNetworkBytes(again, *saved, "fuzz");
        auto resaved = SerializeNetwork(again, nullptr);
        if (!resaved || *resaved != *saved) std::abort();
    }
    if (!single) {
        for (int routing : {0, 1}) {
            net.properties.controls.routingType = routing;
            net.routesDirty = true;
            ComputeRoutes(net);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    Check(bytes, false);
    Check(bytes, true);
    return 0;
}
