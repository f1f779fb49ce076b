// Load, save, address check and both route computations on generated networks: an 8-ary tree
// under the master plus chains of ten hanging from it, a tenth of the nodes repeaters and every
// fiftieth a multi-port node with three addresses.
#include <benchmark/benchmark.h>

#include <memory>

#include "core/hex.h"
#include "designer/projectfile.h"
#include "designer/routes.h"

namespace {

using namespace kelmor::designer;

class SilentPrompter : public kelmor::platform::Prompter {
  public:
    kelmor::platform::Answer Ask(const kelmor::platform::Prompt& p) override {
        return p.defaultButton;
    }
};

SilentPrompter prompter;

std::unique_ptr<Network> Generate(size_t count) {
    auto net = std::make_unique<Network>(prompter);
    uint32_t nextAddress = 0x100;
    const size_t treeNodes = count - count / 10;
    for (size_t i = 0; i < count; ++i) {
        auto node = std::make_unique<TKuvio>();
        node->name = "Modem " + std::to_string(i);
        node->systemAddress = static_cast<uint16_t>(i + 1);
        node->typeName = "RM400";
        for (int p = 0; p < 20; ++p) node->PutParameter('B', '1', true, true, std::to_string(p));
        if (i == 0) {
            node->SetKind(Kind::Master);
            net->masterNode = node.get();
        } else if (i % 50 == 0) {
            node->SetKind(Kind::Multi);
            node->PutAddressAt(-1, "");
            for (int a = 0; a < 3; ++a)
                node->PutAddressAt(a, kelmor::core::HexWord(nextAddress++, 4));
        } else if (i % 10 == 0) {
            node->noAddress = true;
        }
        if (!node->isMulti && !node->noAddress) {
            node->SetAddress(kelmor::core::HexWord(nextAddress++, 4));
        }
        if (i > 0) {
            size_t parent = i < treeNodes               ? (i - 1) / 8
                            : (i - treeNodes) % 10 == 0 ? 1 + (i % 8)  // a chain starts
                                                        : i - 1;
            node->routeParent = net->nodes[parent].get();
        }
        net->AppendNode(std::move(node));
    }
    net->routesDirty = true;
    return net;
}

void BM_Save(benchmark::State& state) {
    auto net = Generate(static_cast<size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(SerializeNetwork(*net, nullptr));
}

void BM_Load(benchmark::State& state) {
    auto net = Generate(static_cast<size_t>(state.range(0)));
    std::string bytes = *SerializeNetwork(*net, nullptr);
    Network loaded(prompter);
    for (auto _ : state) LoadNetworkBytes(loaded, bytes, "bench.spf");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void BM_CheckAddresses(benchmark::State& state) {
    auto net = Generate(static_cast<size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(CheckAddresses(*net));
}

void BM_SourceRoutes(benchmark::State& state) {
    auto net = Generate(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        net->routesDirty = true;
        ComputeSourceRoutes(*net);
    }
    if (net->routeError) state.SkipWithError("route error");
}

void BM_VirtualRoutes(benchmark::State& state) {
    auto net = Generate(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        net->routesDirty = true;
        ComputeVirtualRoutes(*net);
    }
    if (net->routeError) state.SkipWithError("route error");
}

}  // namespace

BENCHMARK(BM_Save)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckAddresses)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SourceRoutes)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VirtualRoutes)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
