#pragma once
// The one painter of the network graph: node pictures, labels, links with their arrowheads and
// the active frame, on any QPainter (the designer's canvas, a printer page, an image, a PDF or
// an SVG file). QtGui and QtSvg only; no widgets.
//
// Coordinates. A node is placed by its label's top-left corner (TKuvio::LabelLeft/LabelTop);
// its picture starts kLabelHeight (19) pixels below it. Every point of the drawing is computed
// in these canvas pixels and then mapped as (x * scale, y * scale + top): `top` is the vertical
// offset of a printed graph (200 printer pixels), 0 on screen.
//
// Typical use:
//   GraphStyle style;            // screen defaults: scale 1, top 0, solid links
//   style.mobileView = net.mobileView;
//   style.activeNode = net.activeNode;
//   PaintNetwork(painter, net, style);
//
// A graph print picks the picture set by its scale (PictureName, PictureSize), draws every node
// (style.print = true: hidden mobile nodes too, print pictures, names beside the pictures) and
// the links of the view in use.
#include <QColor>
#include <QFont>
#include <QIODevice>
#include <QImage>
#include <QPoint>
#include <QPolygon>
#include <QRect>
#include <QSize>
#include <string>

#include "designer/network.h"

class QPainter;

namespace kelmor::designer::paint {

// The pictures a node can have. PrintMaster is the master's picture on paper; on screen the
// master has its own (Master).
enum class PictureKind { Plain, Master, PrintMaster, Mobile, Multi };

// The picture set of a scale: index 0 (scale <= 1.5, 30 x 50) ... 4 (scale above 3, 90 x 150).
int PictureSet(double scale);
// The resource name of a picture at a scale: "MODEEMI", "PMASTER", "MASTER2", "MOBILE4", ...
// (the screen's master picture "PMASTER" has a single size).
std::string PictureName(PictureKind kind, double scale);
// 30 x 50, 45 x 75, 60 x 100, 75 x 125 or 90 x 150 by the picture set of the scale.
QSize PictureSize(double scale);
// The picture rendered from our SVG drawing at the size of the scale's set; transparent
// background. Rendered once per kind and size, then cached (GUI thread only).
const QImage& NodePicture(PictureKind kind, double scale);
// The picture a node shows: on screen the master, multi-port, mobile (all mobile nodes are
// drawn with it) or plain picture; on paper the mobile picture only while the mobile view is on.
PictureKind PictureFor(const TKuvio& node, bool mobileView, bool print);

// One link from parent P to child C in canvas pixels, before scaling.
struct LinkGeometry {
    enum class Direction { ParentLeft, ParentRight, ParentAbove, ParentBelow };
    Direction direction = Direction::ParentLeft;
    QPoint start, control1, control2, end;  // the cubic Bézier
    QPolygon startArrow;                    // base on start (12 wide), tip 6 forward along the link
    QPolygon endArrow;                      // tip on end, base 6 back along the link (12 wide)
};
// The link between two nodes given by their label positions. Horizontal when
// |P.y - C.y| < |P.x - C.x|, otherwise vertical (equal points: vertical, parent above).
// Control points at the integer half of the distance.
LinkGeometry ComputeLink(QPoint parentLabel, QPoint childLabel);

struct GraphStyle {
    double scale = 1.0;
    int top = 0;              // added to every y after scaling
    bool mobileView = false;  // links of mobileRouteParent, dotted; mobile nodes shown
    bool print = false;       // every node, print pictures, names beside the pictures
    QFont font{"Courier New", -1, QFont::Bold};  // label font (pixel size set below)
    QColor textColor{Qt::black};                 // links and labels
    QColor changedColor{Qt::red};                // label of a node whose virtual routes changed
    QColor background{Qt::white};                // inside of the arrowheads
    QColor frameColor{Qt::blue};                 // the active frame
    const TKuvio* activeNode = nullptr;          // framed when set (and shown)
    // When valid: only nodes and links touching this rectangle (device pixels) are drawn.
    QRect clip;

    GraphStyle() { font.setPixelSize(13); }
};

// Whether the node is drawn in this style: the normal view hides mobile nodes on screen.
bool NodeShown(const TKuvio& node, const GraphStyle& style);
// The route parent drawn for the node in this style (mobileRouteParent in the mobile view).
const TKuvio* LinkParent(const TKuvio& node, const GraphStyle& style);

// Device rectangles (after scaling and offset).
QRect PictureRect(const TKuvio& node, const GraphStyle& style);
// Label and picture together: what a mouse press hits and what a repaint must cover.
QRect NodeRect(const TKuvio& node, const GraphStyle& style);
QRect LabelRect(const TKuvio& node, const GraphStyle& style);
QRect LinkRect(const TKuvio& parent, const TKuvio& child, const GraphStyle& style);
// The active frame: 2 pixels outside the picture, pen 3.
QRect FrameRect(const TKuvio& node, const GraphStyle& style);
// NodeRect without measuring the label: charWidth is the font's widest character, lineHeight the
// label's height. Never smaller than NodeRect.
QRect QuickNodeRect(const TKuvio& node, const GraphStyle& style, int charWidth, int lineHeight);
// The bounding rectangle of everything PaintNetwork would draw (labels taken at their widest).
QRect GraphExtent(const Network& network, const GraphStyle& style);

void PaintLink(QPainter& painter, const TKuvio& parent, const TKuvio& child,
               const GraphStyle& style);
void PaintNode(QPainter& painter, const TKuvio& node, const GraphStyle& style);
void PaintActiveFrame(QPainter& painter, const TKuvio& node, const GraphStyle& style);
// Links first, then the nodes in list order (later ones on top), then the active frame.
void PaintNetwork(QPainter& painter, const Network& network, const GraphStyle& style);

// The whole network on a white picture 20 pixels wider and taller than its extent.
QImage RenderNetworkImage(const Network& network, const GraphStyle& style);
// The picture as PNG, encoded for speed (a 10,000-modem network is a picture of 50 megapixels).
bool WritePng(const QImage& image, QIODevice& device);

}  // namespace kelmor::designer::paint
