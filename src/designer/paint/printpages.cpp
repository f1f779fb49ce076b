#include "designer/paint/printpages.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPdfWriter>
#include <QSaveFile>
#include <cmath>

#include "designer/network.h"
#include "designer/paint/graphpainter.h"
#include "platform/ansi.h"

namespace kelmor::designer::paint {

namespace {

QString Text(const std::string& ansi) { return QString::fromStdString(platform::AnsiToUtf8(ansi)); }

QFont CourierNew(bool bold) {
    QFont font("Courier New");
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(13);
    font.setBold(bold);
    return font;
}

}  // namespace

QFont DesignerWindowFont() { return CourierNew(true); }
QFont PropertyTableFont() { return CourierNew(false); }

PainterCanvas::PainterCanvas(QPainter& painter, QPagedPaintDevice& device, const QFont& windowFont)
    : painter_(painter), device_(device), windowFont_(windowFont) {
    if (windowFont_.pixelSize() > 0) {
        windowFont_.setPointSize(int(std::lround(windowFont_.pixelSize() * 72.0 / 96.0)));
    }
    UseWindowFont();
}

int PainterCanvas::PageWidth() const { return device_.width(); }
int PainterCanvas::PageHeight() const { return device_.height(); }
int PainterCanvas::PixelsPerInch() const { return device_.logicalDpiY(); }

void PainterCanvas::UseWindowFont() {
    font_ = windowFont_;
    Apply();
}

void PainterCanvas::SetFontSize(int points) {
    font_.setPointSize(std::max(points, 1));
    Apply();
}

void PainterCanvas::SetBold(bool bold) {
    font_.setBold(bold);
    Apply();
}

void PainterCanvas::Apply() {
    metrics_.reset();
    painter_.setFont(font_);
}

const QFontMetrics& PainterCanvas::Metrics() {
    if (!metrics_) metrics_.emplace(font_, &device_);
    return *metrics_;
}

QFont PainterCanvas::DeviceFont() const {
    QFont font = font_;
    font.setPixelSize(
        std::max(1, int(std::lround(font_.pointSizeF() * device_.logicalDpiY() / 72.0))));
    return font;
}

int PainterCanvas::TextWidth(const std::string& text) {
    return Metrics().horizontalAdvance(Text(text));
}

int PainterCanvas::TextHeight(const std::string&) { return Metrics().height(); }

void PainterCanvas::DrawText(int x, int y, const std::string& text) {
    painter_.setPen(Qt::black);
    painter_.drawText(x, y + Metrics().ascent(), Text(text));
}

void PainterCanvas::DrawTextClipped(const PrintRect& clip, int x, int y, const std::string& text) {
    if (text.empty()) return;
    painter_.save();
    painter_.setClipRect(
        QRect(clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top));
    painter_.setPen(Qt::black);
    painter_.drawText(x, y + Metrics().ascent(), Text(text));
    painter_.restore();
}

void PainterCanvas::DrawRectangle(const PrintRect& rect, int penWidth) {
    painter_.setPen(QPen(Qt::black, penWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter_.setBrush(Qt::NoBrush);
    painter_.drawRect(QRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top));
}

void PainterCanvas::NewPage() {
    device_.newPage();
    ++newPages_;
}

bool RunPrintJob(QPagedPaintDevice& device, const PrintJob& job, const QFont& windowFont,
                 const std::function<void(PainterCanvas&)>& body) {
    device.setPageOrientation(job.landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    QPainter painter;
    if (!painter.begin(&device)) return false;
    PainterCanvas canvas(painter, device, windowFont);
    body(canvas);
    return painter.end();
}

bool PrintGraphOn(QPagedPaintDevice& device, const Network& network) {
    return RunPrintJob(device, GraphJob(network), DesignerWindowFont(), [&](PainterCanvas& canvas) {
        PrintGraph(canvas, network, [&](const GraphLayout& layout) {
            GraphStyle style;
            style.scale = layout.scale;
            style.top = layout.printTop;
            style.print = true;
            style.mobileView = network.mobileView;
            style.font = canvas.DeviceFont();
            PaintNetwork(canvas.Painter(), network, style);
        });
    });
}

bool PrintNodePropertiesOn(QPagedPaintDevice& device, const NodeListing& listing) {
    return RunPrintJob(device, NodePropertiesJob(), DesignerWindowFont(),
                       [&](PainterCanvas& canvas) { PrintNodeProperties(canvas, listing); });
}

bool PrintAllPropertiesOn(QPagedPaintDevice& device, const Network& network,
                          const NodeLister& lister) {
    if (network.nodes.empty()) return false;
    return RunPrintJob(device, AllPropertiesJob(), DesignerWindowFont(),
                       [&](PainterCanvas& canvas) { PrintAllProperties(canvas, network, lister); });
}

bool PrintPropertyTableOn(QPagedPaintDevice& device, const std::vector<GridToPrint>& grids,
                          double scaleX, double scaleY, bool routingMode,
                          const std::string& projectName, const QFont& tableFont) {
    if (grids.empty()) return false;
    return RunPrintJob(device, PropertyTableJob(), tableFont, [&](PainterCanvas& canvas) {
        PrintPropertyTable(canvas, grids, scaleX, scaleY, routingMode, projectName);
    });
}

bool WritePdf(const std::string& path, const PrintJob& job,
              const std::function<bool(QPagedPaintDevice&)>& print, std::string* error) {
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)) {
        if (error) *error = "cannot write " + path + ": " + file.errorString().toStdString();
        return false;
    }
    bool printed = false;
    {
        QPdfWriter writer(&file);
        writer.setResolution(kPdfResolution);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setTitle(Text(job.title));
        writer.setCreator(QStringLiteral("Kelmor"));
        printed = print(writer);
    }
    if (!printed) {
        file.cancelWriting();
        if (error) *error = "nothing to print";
        return false;
    }
    if (!file.commit()) {
        if (error) *error = "cannot write " + path + ": " + file.errorString().toStdString();
        return false;
    }
    return true;
}

}  // namespace kelmor::designer::paint
