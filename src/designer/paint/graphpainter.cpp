#include "designer/paint/graphpainter.h"

#include <QFile>
#include <QFontMetrics>
#include <QSysInfo>
#include <png.h>
#include <QPainter>
#include <QStaticText>
#include <QSvgRenderer>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <map>
#include <unordered_map>
#include <vector>

namespace kelmor::designer::paint {

namespace {

constexpr int kPictureWidth = 30;
constexpr int kPictureHeight = 50;
constexpr std::array<QSize, 5> kSetSizes{QSize(30, 50), QSize(45, 75), QSize(60, 100),
                                         QSize(75, 125), QSize(90, 150)};

const char* BaseName(PictureKind kind) {
    switch (kind) {
        case PictureKind::Master:
            return "PMASTER";
        case PictureKind::PrintMaster:
            return "MASTER";
        case PictureKind::Mobile:
            return "MOBILE";
        case PictureKind::Multi:
            return "MULTI";
        case PictureKind::Plain:
            break;
    }
    return "MODEEMI";
}

const char* Drawing(PictureKind kind) {
    switch (kind) {
        case PictureKind::Master:
            return ":/pictures/pmaster.svg";
        case PictureKind::PrintMaster:
            return ":/pictures/master.svg";
        case PictureKind::Mobile:
            return ":/pictures/mobile.svg";
        case PictureKind::Multi:
            return ":/pictures/multi.svg";
        case PictureKind::Plain:
            break;
    }
    return ":/pictures/modeemi.svg";
}

int Scaled(int v, double scale) { return static_cast<int>(std::lround(v * scale)); }

QPoint Map(QPoint p, const GraphStyle& s) {
    return QPoint(Scaled(p.x(), s.scale), Scaled(p.y(), s.scale) + s.top);
}

QPolygon Map(const QPolygon& poly, const GraphStyle& s) {
    QPolygon out(poly.size());
    for (int i = 0; i < poly.size(); ++i) out[i] = Map(poly[i], s);
    return out;
}

QPoint LabelPoint(const TKuvio& node) { return QPoint(node.LabelLeft(), node.LabelTop()); }

QFontMetrics Metrics(const GraphStyle& style) { return QFontMetrics(style.font); }

QString LabelText(const TKuvio& node) { return QString::fromLatin1(node.name.c_str()); }

// Laid-out labels, so a redraw of many nodes does not shape every name again.
const QStaticText& StaticLabel(const TKuvio& node, const QFont& font) {
    static std::unordered_map<std::string, QStaticText> cache;
    static QString cachedFont;
    const QString key = font.key();
    if (key != cachedFont || cache.size() > 100000) {
        cache.clear();
        cachedFont = key;
    }
    auto it = cache.find(node.name);
    if (it == cache.end()) {
        QStaticText text(LabelText(node));
        text.setTextFormat(Qt::PlainText);
        text.setPerformanceHint(QStaticText::AggressiveCaching);
        text.prepare(QTransform(), font);
        it = cache.emplace(node.name, std::move(text)).first;
    }
    return it->second;
}

// A link in one polyline: the start arrowhead's outline, the curve from its tip to the end
// arrowhead's base, and the end arrowhead's outline. The curve runs along the link's axis at
// both ends, so leaving out its first and last 6 pixels (inside the arrowheads) looks the same
// as filling the arrowheads over it, and one polyline per link draws fastest.
void SolidLinkPolyline(const LinkGeometry& g, const GraphStyle& s, QPolygon& curve, QPolygon& out) {
    const QPolygon startArrow = Map(g.startArrow, s), endArrow = Map(g.endArrow, s);
    const QPoint endBase = (endArrow[0] + endArrow[2]) / 2;
    const bool horizontal = g.direction == LinkGeometry::Direction::ParentLeft ||
                            g.direction == LinkGeometry::Direction::ParentRight;
    auto along = [horizontal](QPoint p) { return horizontal ? p.x() : p.y(); };
    const int from = along(startArrow[1]), to = along(endBase);
    const bool forward = to >= from;
    out.clear();
    out << startArrow[0] << startArrow[1] << startArrow[2] << startArrow[0] << startArrow[1];
    for (int i = 1; i + 1 < curve.size(); ++i) {
        const int a = along(curve[i]);
        if (forward ? (a > from && a < to) : (a < from && a > to)) out << curve[i];
    }
    out << endBase << endArrow[0] << endArrow[1] << endArrow[2] << endBase;
}

// The Bézier of a link as a polyline in device pixels: a cosmetic polyline is drawn much faster
// than a path, and at these sizes the steps do not show.
void Flatten(const LinkGeometry& g, const GraphStyle& s, QPolygon& out) {
    const QPointF p0 = Map(g.start, s), p1 = Map(g.control1, s), p2 = Map(g.control2, s),
                  p3 = Map(g.end, s);
    const double span = std::max(std::abs(p3.x() - p0.x()), std::abs(p3.y() - p0.y()));
    const int steps = std::clamp(static_cast<int>(span / 6), 2, 64);
    out.resize(steps + 1);
    for (int i = 0; i <= steps; ++i) {
        const double t = static_cast<double>(i) / steps, u = 1 - t;
        const QPointF p = u * u * u * p0 + 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t * p3;
        out[i] = p.toPoint();
    }
}

}  // namespace

int PictureSet(double scale) {
    if (scale <= 1.5) return 0;
    if (scale <= 2) return 1;
    if (scale <= 2.5) return 2;
    if (scale <= 3) return 3;
    return 4;
}

std::string PictureName(PictureKind kind, double scale) {
    std::string name = BaseName(kind);
    int set = kind == PictureKind::Master ? 0 : PictureSet(scale);
    if (set > 0) name += std::to_string(set);
    return name;
}

QSize PictureSize(double scale) { return kSetSizes[static_cast<size_t>(PictureSet(scale))]; }

const QImage& NodePicture(PictureKind kind, double scale) {
    static std::map<std::pair<int, int>, QImage> cache;
    const int set = PictureSet(scale);
    auto key = std::make_pair(static_cast<int>(kind), set);
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    QImage image(kSetSizes[static_cast<size_t>(set)], QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer{QString::fromLatin1(Drawing(kind))};
    if (renderer.isValid()) {
        QPainter p(&image);
        renderer.render(&p, QRectF(QPointF(0, 0), QSizeF(image.size())));
    }
    return cache.emplace(key, std::move(image)).first->second;
}

PictureKind PictureFor(const TKuvio& node, bool mobileView, bool print) {
    if (node.isMaster) return print ? PictureKind::PrintMaster : PictureKind::Master;
    if (node.isMulti) return PictureKind::Multi;
    if (node.isMobile && (!print || mobileView)) return PictureKind::Mobile;
    return PictureKind::Plain;
}

LinkGeometry ComputeLink(QPoint p, QPoint c) {
    using D = LinkGeometry::Direction;
    LinkGeometry g;
    if (std::abs(p.y() - c.y()) < std::abs(p.x() - c.x())) {
        if (p.x() - c.x() <= 0) {
            g.direction = D::ParentLeft;
            g.start = QPoint(p.x() + 30, p.y() + 54);
            g.end = QPoint(c.x(), c.y() + 34);
        } else {
            g.direction = D::ParentRight;
            g.start = QPoint(p.x(), p.y() + 54);
            g.end = QPoint(c.x() + 30, c.y() + 34);
        }
        const int midX = g.start.x() + (g.end.x() - g.start.x()) / 2;
        g.control1 = QPoint(midX, g.start.y());
        g.control2 = QPoint(midX, g.end.y());
        // Along x: +1 when the link runs to the right.
        const int d = g.direction == D::ParentLeft ? 1 : -1;
        g.startArrow = QPolygon({QPoint(g.start.x(), g.start.y() - 6),
                                 QPoint(g.start.x() + 6 * d, g.start.y()),
                                 QPoint(g.start.x(), g.start.y() + 6)});
        g.endArrow = QPolygon({QPoint(g.end.x() - 6 * d, g.end.y() - 6), g.end,
                               QPoint(g.end.x() - 6 * d, g.end.y() + 6)});
    } else {
        if (p.y() - c.y() <= 0) {
            g.direction = D::ParentAbove;
            g.start = QPoint(p.x() + 23, p.y() + 69);
            g.end = QPoint(c.x() + 7, c.y());
        } else {
            g.direction = D::ParentBelow;
            g.start = QPoint(p.x() + 23, p.y());
            g.end = QPoint(c.x() + 7, c.y() + 69);
        }
        const int midY = g.start.y() + (g.end.y() - g.start.y()) / 2;
        g.control1 = QPoint(g.start.x(), midY);
        g.control2 = QPoint(g.end.x(), midY);
        const int d = g.direction == D::ParentAbove ? 1 : -1;
        g.startArrow = QPolygon({QPoint(g.start.x() - 6, g.start.y()),
                                 QPoint(g.start.x(), g.start.y() + 6 * d),
                                 QPoint(g.start.x() + 6, g.start.y())});
        g.endArrow = QPolygon({QPoint(g.end.x() - 6, g.end.y() - 6 * d), g.end,
                               QPoint(g.end.x() + 6, g.end.y() - 6 * d)});
    }
    return g;
}

bool NodeShown(const TKuvio& node, const GraphStyle& style) {
    return style.print || style.mobileView || !node.isMobile;
}

const TKuvio* LinkParent(const TKuvio& node, const GraphStyle& style) {
    return style.mobileView ? node.mobileRouteParent : node.routeParent;
}

QRect PictureRect(const TKuvio& node, const GraphStyle& style) {
    QSize size = style.print || style.scale != 1.0 ? PictureSize(style.scale)
                                                   : QSize(kPictureWidth, kPictureHeight);
    return QRect(Map(QPoint(node.left, node.top), style), size);
}

QRect LabelRect(const TKuvio& node, const GraphStyle& style) {
    QFontMetrics fm = Metrics(style);
    const int width = node.name.empty() ? 0 : fm.horizontalAdvance(LabelText(node));
    if (style.print) {
        QRect picture = PictureRect(node, style);
        return QRect(picture.left() + picture.width() + 1,
                     Scaled(node.LabelTop(), style.scale) + style.top - 2, width, fm.height());
    }
    return QRect(Map(LabelPoint(node), style),
                 QSize(width, std::max(fm.height(), Scaled(kLabelHeight, style.scale))));
}

QRect NodeRect(const TKuvio& node, const GraphStyle& style) {
    return PictureRect(node, style).united(LabelRect(node, style));
}

QRect FrameRect(const TKuvio& node, const GraphStyle& style) {
    return PictureRect(node, style).adjusted(-2, -2, 2, 2);
}

QRect LinkRect(const TKuvio& parent, const TKuvio& child, const GraphStyle& style) {
    LinkGeometry g = ComputeLink(LabelPoint(parent), LabelPoint(child));
    QRect r = QRect(g.start, g.end).normalized().adjusted(-7, -7, 7, 7);
    QRect mapped(Map(r.topLeft(), style), Map(r.bottomRight(), style));
    return mapped.normalized().adjusted(-1, -1, 1, 1);
}

QRect GraphExtent(const Network& network, const GraphStyle& style) {
    QRect extent;
    const QFontMetrics fm = Metrics(style);
    const int charWidth = fm.maxWidth();
    const int lineHeight = std::max(fm.height(), Scaled(kLabelHeight, style.scale));
    for (const auto& node : network.nodes) {
        if (!NodeShown(*node, style)) continue;
        extent = extent.united(QuickNodeRect(*node, style, charWidth, lineHeight));
        if (const TKuvio* parent = LinkParent(*node, style)) {
            extent = extent.united(LinkRect(*parent, *node, style));
        }
    }
    return extent;
}

void PaintLink(QPainter& painter, const TKuvio& parent, const TKuvio& child,
               const GraphStyle& style) {
    LinkGeometry g = ComputeLink(LabelPoint(parent), LabelPoint(child));
    QPolygon curve;
    Flatten(g, style, curve);
    painter.setPen(QPen(style.textColor, 0, style.mobileView ? Qt::DotLine : Qt::SolidLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(curve);
    painter.setPen(QPen(style.textColor, 0, Qt::SolidLine));
    painter.setBrush(style.background);
    painter.drawPolygon(Map(g.startArrow, style));
    painter.drawPolygon(Map(g.endArrow, style));
}

namespace {

// The picture and the label, with the painter's font already the label font.
void DrawNode(QPainter& painter, const TKuvio& node, const GraphStyle& style) {
    const QRect picture = PictureRect(node, style);
    painter.drawImage(picture.topLeft(),
                      NodePicture(PictureFor(node, style.mobileView, style.print), style.scale));
    if (node.name.empty()) return;
    const QColor& colour = node.routesChanged ? style.changedColor : style.textColor;
    if (painter.pen().color() != colour || painter.pen().style() != Qt::SolidLine) {
        painter.setPen(colour);
    }
    const QPoint at = style.print ? QPoint(picture.left() + picture.width() + 1,
                                           Scaled(node.LabelTop(), style.scale) + style.top - 2)
                                  : Map(LabelPoint(node), style);
    painter.drawStaticText(at, StaticLabel(node, style.font));
}

}  // namespace

void PaintNode(QPainter& painter, const TKuvio& node, const GraphStyle& style) {
    painter.setFont(style.font);
    painter.setPen(node.routesChanged ? style.changedColor : style.textColor);
    DrawNode(painter, node, style);
}

void PaintActiveFrame(QPainter& painter, const TKuvio& node, const GraphStyle& style) {
    painter.setPen(QPen(style.frameColor, 3, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(FrameRect(node, style));
}

QRect QuickNodeRect(const TKuvio& node, const GraphStyle& style, int charWidth, int lineHeight) {
    QRect picture = PictureRect(node, style);
    if (node.name.empty()) return picture;
    const int width = static_cast<int>(node.name.size()) * charWidth;
    QRect label =
        style.print ? QRect(picture.right() + 2,
                            Scaled(node.LabelTop(), style.scale) + style.top - 2, width, lineHeight)
                    : QRect(Map(LabelPoint(node), style), QSize(width, lineHeight));
    return picture.united(label);
}

void PaintNetwork(QPainter& painter, const Network& network, const GraphStyle& style) {
    const bool clipped = style.clip.isValid();
    const QFontMetrics fm = Metrics(style);
    const int charWidth = fm.maxWidth();
    const int lineHeight = std::max(fm.height(), Scaled(kLabelHeight, style.scale));

    // Solid links are one polyline each; dotted ones are their curves with one pen, then the
    // solid arrowheads with another.
    QPolygon curve, line;
    std::vector<LinkGeometry> dotted;
    painter.setPen(QPen(style.textColor, 0, style.mobileView ? Qt::DotLine : Qt::SolidLine));
    painter.setBrush(Qt::NoBrush);
    for (const auto& node : network.nodes) {
        const TKuvio* parent = LinkParent(*node, style);
        if (!parent) continue;
        if (clipped && !LinkRect(*parent, *node, style).intersects(style.clip)) continue;
        const LinkGeometry g = ComputeLink(LabelPoint(*parent), LabelPoint(*node));
        Flatten(g, style, curve);
        if (style.mobileView) {
            painter.drawPolyline(curve);
            dotted.push_back(g);
        } else {
            SolidLinkPolyline(g, style, curve, line);
            painter.drawPolyline(line);
        }
    }
    if (!dotted.empty()) {
        painter.setPen(QPen(style.textColor, 0, Qt::SolidLine));
        painter.setBrush(style.background);
        for (const LinkGeometry& g : dotted) {
            painter.drawConvexPolygon(Map(g.startArrow, style));
            painter.drawConvexPolygon(Map(g.endArrow, style));
        }
    }

    painter.setFont(style.font);
    painter.setPen(style.textColor);
    for (const auto& node : network.nodes) {
        if (!NodeShown(*node, style)) continue;
        // A bound that needs no text measuring: a repaint of a small area in a large network
        // only compares rectangles.
        if (clipped && !QuickNodeRect(*node, style, charWidth, lineHeight).intersects(style.clip)) {
            continue;
        }
        DrawNode(painter, *node, style);
    }
    if (style.activeNode && NodeShown(*style.activeNode, style)) {
        PaintActiveFrame(painter, *style.activeNode, style);
    }
}

QImage RenderNetworkImage(const Network& network, const GraphStyle& style) {
    const QRect extent = GraphExtent(network, style);
    QImage image(std::max(100, extent.right() + 20), std::max(100, extent.bottom() + 20),
                 QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    PaintNetwork(painter, network, style);
    return image;
}

namespace {

void PngWrite(png_structp png, png_bytep data, png_size_t length) {
    auto* device = static_cast<QIODevice*>(png_get_io_ptr(png));
    if (device->write(reinterpret_cast<const char*>(data), static_cast<qint64>(length)) !=
        static_cast<qint64>(length)) {
        png_error(png, "write failed");
    }
}
void PngFlush(png_structp) {}

// Kept apart from anything with a destructor: libpng leaves through longjmp on an error.
bool EncodePng(png_structp png, png_infop info, const QImage& image, QIODevice& device) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, &device, PngWrite, PngFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width()),
                 static_cast<png_uint_32>(image.height()), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // No row filters and deflate's fastest level: a network picture is long runs of white, which
    // this packs almost as small as the defaults (3.2 MB against 2.5 MB for 10,000 modems) in
    // a third of the time.
    png_set_filter(png, 0, PNG_FILTER_NONE);
    png_set_compression_level(png, 1);
    png_write_info(png, info);
    // Format_RGB32 rows are 0xffRRGGBB words: B G R x in memory on little-endian machines.
    if (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
        png_set_bgr(png);
        png_set_filler(png, 0, PNG_FILLER_AFTER);
    } else {
        png_set_filler(png, 0, PNG_FILLER_BEFORE);
    }
    for (int y = 0; y < image.height(); ++y) {
        png_write_row(png, const_cast<png_bytep>(image.constScanLine(y)));
    }
    png_write_end(png, info);
    return true;
}

}  // namespace

bool WritePng(const QImage& picture, QIODevice& device) {
    const QImage image = picture.format() == QImage::Format_RGB32
                             ? picture
                             : picture.convertToFormat(QImage::Format_RGB32);
    if (image.isNull()) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    const bool ok = info != nullptr && EncodePng(png, info, image, device);
    png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
    return ok;
}

}  // namespace kelmor::designer::paint
