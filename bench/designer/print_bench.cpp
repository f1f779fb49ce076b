// The printed documents of a large network written to PDF: all modems' properties in two
// columns (a thousand modems of the sample types with every parameter set), the property
// table's cells, and the graph on one page.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "designer/network.h"
#include "designer/nodelisting.h"
#include "designer/paint/printpages.h"
#include "designer/propertytable.h"

namespace {

using namespace kelmor::designer;

class SilentPrompter : public kelmor::platform::Prompter {
  public:
    kelmor::platform::Answer Ask(const kelmor::platform::Prompt& p) override {
        return p.defaultButton;
    }
};

SilentPrompter prompter;

// count modems, alternately of the two sample types, in rows on the canvas, each linked to the
// one before.
std::unique_ptr<Network> Generate(int count) {
    auto net = std::make_unique<Network>(prompter);
    net->properties.accepted.name = "Benchmark";
    for (int i = 0; i < count; ++i) {
        TKuvio& n = net->NewNode(i == 0 ? Kind::Master : Kind::Plain, i % 2 ? "KL450" : "KL160",
                                 60 + (i % 40) * 90, 40 + (i / 40) * 80);
        n.name = "Modem " + std::to_string(i);
        n.SetAddress(std::to_string(1000 + i));
        for (int p = 0; p < 30; ++p) n.PutParameter('B', '0', true, true, std::to_string(p));
        if (i > 0) n.routeParent = net->nodes[static_cast<size_t>(i - 1)].get();
    }
    return net;
}

void AllModemsToPdf(benchmark::State& state) {
    auto net = Generate(static_cast<int>(state.range(0)));
    QTemporaryDir dir;
    const std::string path = dir.filePath("all.pdf").toStdString();
    for (auto _ : state) {
        NodeListingSource listings(KELMOR_DEFINITIONS, '0');
        bool ok = paint::WritePdf(path, AllPropertiesJob(), [&](QPagedPaintDevice& device) {
            return paint::PrintAllPropertiesOn(device, *net, listings.Lister());
        });
        if (!ok) state.SkipWithError("no PDF written");
    }
}
BENCHMARK(AllModemsToPdf)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

void PropertyTableCells(benchmark::State& state) {
    auto net = Generate(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        NodeListingSource listings(KELMOR_DEFINITIONS, '0');
        auto tabs = BuildPropertyTable(*net, listings.Lister());
        benchmark::DoNotOptimize(TableText(tabs));
    }
}
BENCHMARK(PropertyTableCells)->Arg(1000)->Unit(benchmark::kMillisecond);

void GraphToPdf(benchmark::State& state) {
    auto net = Generate(static_cast<int>(state.range(0)));
    QTemporaryDir dir;
    const std::string path = dir.filePath("graph.pdf").toStdString();
    for (auto _ : state) {
        paint::WritePdf(path, GraphJob(*net), [&](QPagedPaintDevice& device) {
            return paint::PrintGraphOn(device, *net);
        });
    }
}
BENCHMARK(GraphToPdf)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
