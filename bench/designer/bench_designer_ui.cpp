// The designer window and its painter on large networks: Open to the first painted frame, a
// full redraw of 1,000 nodes in view, moving a node by mouse among 10,000, and a 10,000-node
// network drawn to PNG. Offscreen, with our own QApplication.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "designer/paint/graphpainter.h"
#include "designer/projectfile.h"
#include "designer/ui/piirtopohja.h"
#include "platform/inifile.h"
#include "platform/programdir.h"
#include "platform/prompter.h"
#include "shell/shellservices.h"

class QPrinter;

namespace {

using namespace kelmor;
using namespace kelmor::designer;

class SilentPrompter : public platform::Prompter {
  public:
    platform::Answer Ask(const platform::Prompt& p) override { return p.defaultButton; }
};
SilentPrompter prompter;

class NoStatus : public shell::StatusLog {
  public:
    void SetStatusButtons(const std::string&, bool) override {}
    void AddStatusLine(const std::string&) override {}
    void AddStatusBytes(const std::vector<uint8_t>&, bool) override {}
    void ShowStatus() override {}
};

class BenchShell : public shell::ShellServices {
  public:
    bool FactoryMode() const override { return false; }
    bool DsrOption() const override { return false; }
    int TerminalCount() const override { return 0; }
    void ReleasePort(int) override {}
    void ReacquirePort(int) override {}
    void OpenTerminal() override {}
    void OpenMultiFlash(shell::MultiFlashKind) override {}
    std::unique_ptr<shell::ToolButtonLock> LockToolButtons(
        std::vector<shell::ToolButton> buttons) override {
        return locks.Lock(std::move(buttons));
    }
    QPrinter& Printer() override { std::abort(); }
    void PrinterSetup() override {}
    shell::StatusLog& Status() override { return status; }
    platform::Prompter& Prompter() override { return prompter; }
    shell::ToolButtonLocks locks;
    NoStatus status;
};

// count nodes on a grid (columns x rows, 60 x 90 pixels apart), each hanging from the node above
// it or, in the top row, from its left neighbour; the first is the master.
std::unique_ptr<Network> Grid(size_t count, size_t columns) {
    auto net = std::make_unique<Network>(prompter);
    for (size_t i = 0; i < count; ++i) {
        auto node = std::make_unique<TKuvio>();
        node->name = "M" + std::to_string(i + 1);
        node->typeName = "KL450";
        node->systemAddress = static_cast<uint16_t>(i + 1);
        node->SetAddress(std::to_string(100 + i));
        node->MoveTo(static_cast<int>(10 + (i % columns) * 60),
                     static_cast<int>(10 + (i / columns) * 90));
        if (i == 0) {
            node->SetKind(Kind::Master);
            net->masterNode = node.get();
        } else {
            node->routeParent = net->nodes[i >= columns ? i - columns : i - 1].get();
        }
        net->AppendNode(std::move(node));
    }
    return net;
}

std::string SaveGrid(size_t count, size_t columns) {
    auto net = Grid(count, columns);
    net->properties.Create(*net);
    const std::string path = platform::ProgramDir() + "/grid" + std::to_string(count) + ".spf";
    if (!SaveNetwork(*net, path)) std::abort();
    return path;
}

void BM_OpenToFirstPaint(benchmark::State& state) {
    const std::string path = SaveGrid(static_cast<size_t>(state.range(0)), 100);
    BenchShell shell;
    ui::Tpiirtopohja window(shell, false);
    window.fileDialog = [&](const FileDialogRequest&) { return std::optional<std::string>(path); };
    window.resize(1280, 900);
    window.show();
    QApplication::processEvents();
    QApplication::processEvents();
    for (auto _ : state) {
        window.Net().modified = false;
        window.OpenClick();
        window.Canvas()->repaint();  // the first frame: the visible part of the canvas
    }
    if (window.Net().nodes.size() != static_cast<size_t>(state.range(0))) {
        state.SkipWithError("not loaded");
    }
    window.Net().modified = false;
    window.close();
}

void BM_FullRedraw(benchmark::State& state) {
    // 1,000 nodes with their links, all in a 1920 x 1200 view (40 columns, 25 rows).
    auto net = Grid(1000, 32);
    QImage image(1920, 2800, QImage::Format_RGB32);
    paint::GraphStyle style;
    for (auto _ : state) {
        QPainter p(&image);
        p.fillRect(image.rect(), Qt::white);
        paint::PaintNetwork(p, *net, style);
    }
}

void BM_MoveNode(benchmark::State& state) {
    const std::string path = SaveGrid(static_cast<size_t>(state.range(0)), 100);
    BenchShell shell;
    ui::Tpiirtopohja window(shell, false);
    window.fileDialog = [&](const FileDialogRequest&) { return std::optional<std::string>(path); };
    window.resize(1280, 900);
    window.show();
    QApplication::processEvents();
    window.OpenClick();
    QApplication::processEvents();
    // A node in the middle of the view, held by a press and dragged back and forth.
    TKuvio& node = *window.Net().nodes[205];
    QWidget* canvas = window.Canvas();
    QPoint at(node.left + 15, node.top + 25);
    auto send = [canvas](QEvent::Type type, QPoint p, Qt::MouseButtons buttons) {
        QMouseEvent e(type, QPointF(p), canvas->mapToGlobal(QPointF(p)), Qt::LeftButton, buttons,
                      Qt::NoModifier);
        QApplication::sendEvent(canvas, &e);
    };
    send(QEvent::MouseButtonPress, at, Qt::LeftButton);
    int step = 0;
    for (auto _ : state) {
        const int dx = 10 + (step++ % 20);
        send(QEvent::MouseMove, at + QPoint(dx, dx), Qt::LeftButton);
        QApplication::processEvents();  // the repaint of what moved
    }
    send(QEvent::MouseButtonRelease, at, Qt::NoButton);
    window.Net().modified = false;
    window.close();
}

void BM_RenderPng(benchmark::State& state) {
    auto net = Grid(static_cast<size_t>(state.range(0)), 100);
    paint::GraphStyle style;
    size_t bytes = 0;
    for (auto _ : state) {
        // As kelmor-tool project render does it, into memory instead of a file.
        const QImage image = paint::RenderNetworkImage(*net, style);
        if (state.range(1) == 0) continue;  // drawing only: what the encoder adds shows apart
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        paint::WritePng(image, buffer);
        bytes = static_cast<size_t>(buffer.size());
    }
    state.counters["png_bytes"] = static_cast<double>(bytes);
    const QRect extent = paint::GraphExtent(*net, style);
    state.counters["megapixels"] = (extent.right() + 20.0) * (extent.bottom() + 20.0) / 1e6;
}

}  // namespace

BENCHMARK(BM_OpenToFirstPaint)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FullRedraw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MoveNode)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RenderPng)
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    std::string home = std::filesystem::temp_directory_path().string() + "/kelmor-bench-XXXXXX";
    if (!mkdtemp(home.data())) return 1;
    setenv("KELMOR_HOME", home.c_str(), 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(home, ec);
    return 0;
}
