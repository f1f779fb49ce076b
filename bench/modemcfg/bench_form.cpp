// The properties form with a generated definition of 300 parameters of every kind: building
// and filling the editors (a type the form was not built for), and opening it again for
// another node of the same type (no rebuild). Also the listing of a node without a form.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "modemcfg/listing.h"
#include "modemcfg/ui/tominaisuus.h"

namespace {

using namespace kelmor::modemcfg;

class SilentPrompter : public kelmor::platform::Prompter {
  public:
    kelmor::platform::Answer Ask(const kelmor::platform::Prompt& p) override {
        return p.defaultButton;
    }
};

struct NullHost : ui::FormHost {
    void FormAccepted(const ui::FormResult&) override {}
};

std::string folder;

// 300 parameters cycling through the six kinds, levels 0 and 5, every one shown.
std::string Generate(const std::string& type) {
    std::string text = "[Version]\r\nName=" + type + "\r\nKelmor ini=x\r\nNumber=0\r\n";
    text += "\r\n[Properties]\r\n";
    const char kinds[] = "BWHSMR";
    for (int i = 0; i < 300; ++i) {
        char kind = kinds[i % 6];
        std::string key = std::string(1, kind) + (i % 2 ? '5' : '0') + std::to_string(i);
        text += key + "=Parameter " + std::to_string(i) + "\r\n" + key + "_v=3\r\n";
        if (kind == 'R')
            for (int e = 1; e <= 4; ++e) text += key + "_" + std::to_string(e) + "=Choice\r\n";
    }
    text += "\r\n[help text]\r\n";
    text.replace(text.find("Number=0"), 8,
                 "Number=" + std::to_string(IntegrityNumber(type + ".smf", SplitTextLines(text))));
    std::ofstream(folder + "/" + type + ".smf", std::ios::binary) << text;
    return type + ".smf";
}

ui::FormNode Node(const std::string& typeFile, int salt) {
    Definition d = ReadDefinition(folder, typeFile);
    ui::FormNode n;
    n.name = "Node " + std::to_string(salt);
    n.typeFileName = typeFile;
    for (const ParameterGroup& g : d.groups) {
        std::string v = g.type == 'S'   ? "text" + std::to_string(salt)
                        : g.type == 'H' ? "ABCD"
                                        : std::to_string(salt % 2);
        n.parameters.push_back({g.type, g.level, true, v});
    }
    return n;
}

void BuildAndFill300(benchmark::State& state) {
    SilentPrompter prompter;
    NullHost host;
    ui::Tominaisuus form(host, prompter);
    ui::FormContext context;
    context.folder = folder;
    ui::FormNode a = Node(Generate("BIGA"), 1);
    ui::FormNode b = Node(Generate("BIGB"), 2);
    bool flip = false;
    for (auto _ : state) {
        // Alternating types: every open rebuilds.
        form.Open(flip ? a : b, context);
        flip = !flip;
        QApplication::processEvents();
    }
    state.counters["builds"] = form.BuildCount();
}
BENCHMARK(BuildAndFill300)->Unit(benchmark::kMillisecond);

void ReopenSameType300(benchmark::State& state) {
    SilentPrompter prompter;
    NullHost host;
    ui::Tominaisuus form(host, prompter);
    ui::FormContext context;
    context.folder = folder;
    const std::string type = Generate("BIGA");
    ui::FormNode a = Node(type, 1);
    ui::FormNode b = Node(type, 2);
    form.Open(a, context);
    bool flip = false;
    for (auto _ : state) {
        form.Open(flip ? a : b, context);
        flip = !flip;
        QApplication::processEvents();
    }
    state.counters["builds"] = form.BuildCount();
}
BENCHMARK(ReopenSameType300)->Unit(benchmark::kMillisecond);

void ReopenNoPaint(benchmark::State& state) {
    SilentPrompter prompter;
    NullHost host;
    ui::Tominaisuus form(host, prompter);
    ui::FormContext context;
    context.folder = folder;
    const std::string type = Generate("BIGA");
    ui::FormNode a = Node(type, 1);
    ui::FormNode b = Node(type, 2);
    form.Open(a, context);
    bool flip = false;
    for (auto _ : state) {
        form.Open(flip ? a : b, context);
        flip = !flip;
    }
}
BENCHMARK(ReopenNoPaint)->Unit(benchmark::kMillisecond);

void ListNode300(benchmark::State& state) {
    const std::string type = Generate("BIGA");
    Definition d = ReadDefinition(folder, type);
    ui::FormNode n = Node(type, 3);
    NodeValues values{n.name, n.addresses, false, 1, n.parameters};
    for (auto _ : state) benchmark::DoNotOptimize(ListNode(values, &d, ListingOptions{}));
}
BENCHMARK(ListNode300)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    folder = (std::filesystem::temp_directory_path() / "kelmor_bench_form").string();
    std::filesystem::create_directories(folder);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
