#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include "designer/paint/graphpainter.h"
#include "netbuilder.h"

namespace kelmor::designer::paint {
namespace {

using D = LinkGeometry::Direction;
using testing::TestNetwork;

TEST(GraphPainterTest, LinkDirectionEndPointsAndControlPoints) {
    struct Case {
        QPoint parent, child;
        D direction;
        QPoint start, control1, control2, end;
    };
    const Case cases[] = {
        // Parent left of child: from the parent's right side to the child's left side.
        {{0, 0}, {101, 20}, D::ParentLeft, {30, 54}, {65, 54}, {65, 54}, {101, 54}},
        // Parent right of child.
        {{200, 10}, {0, 0}, D::ParentRight, {200, 64}, {115, 64}, {115, 34}, {30, 34}},
        // Parent above child: bottom of the parent's picture to the top of the child's label.
        {{10, 0}, {0, 201}, D::ParentAbove, {33, 69}, {33, 135}, {7, 135}, {7, 201}},
        // Parent below child.
        {{0, 300}, {20, 0}, D::ParentBelow, {23, 300}, {23, 185}, {27, 185}, {27, 69}},
        // Equal distances and equal points are vertical, parent above.
        {{0, 0}, {50, 50}, D::ParentAbove, {23, 69}, {23, 60}, {57, 60}, {57, 50}},
        {{40, 40}, {40, 40}, D::ParentAbove, {63, 109}, {63, 75}, {47, 75}, {47, 40}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.parent.x()) + "," + std::to_string(c.parent.y()));
        LinkGeometry g = ComputeLink(c.parent, c.child);
        EXPECT_EQ(g.direction, c.direction);
        EXPECT_EQ(g.start, c.start);
        EXPECT_EQ(g.control1, c.control1);
        EXPECT_EQ(g.control2, c.control2);
        EXPECT_EQ(g.end, c.end);
    }
    // Arrowheads point from parent to child: the end arrow's tip is the end point with its base
    // 6 back; the start arrow's base lies on the start point with its tip 6 forward.
    LinkGeometry right = ComputeLink({0, 0}, {101, 20});
    EXPECT_EQ(right.endArrow, QPolygon({{95, 48}, {101, 54}, {95, 60}}));
    EXPECT_EQ(right.startArrow, QPolygon({{30, 48}, {36, 54}, {30, 60}}));
    LinkGeometry up = ComputeLink({0, 300}, {20, 0});
    EXPECT_EQ(up.endArrow, QPolygon({{21, 75}, {27, 69}, {33, 75}}));
    EXPECT_EQ(up.startArrow, QPolygon({{17, 300}, {23, 294}, {29, 300}}));
}

bool Dark(const QImage& image, int x, int y) { return qGray(image.pixel(x, y)) < 128; }

// Renders a master with one child to the right and one below, and looks at the pixels where
// the links must end and their arrowheads must sit, at scale 1 and at a print scale with an
// offset.
TEST(GraphPainterTest, RendersLinksAndArrowheadsAtTheirPoints) {
    TestNetwork t;
    TKuvio& m = t.Add("", "F0", 1, Kind::Master);
    TKuvio& right = t.Add("", "A1", 2);
    TKuvio& below = t.Add("", "B2", 3);
    m.MoveTo(20, 20);
    right.MoveTo(220, 40);
    below.MoveTo(40, 220);
    t.Link(m, right);
    t.Link(m, below);
    for (double scale : {1.0, 2.0}) {
        GraphStyle style;
        style.scale = scale;
        style.top = scale == 1.0 ? 0 : 200;
        QImage image(700, 1000, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter p(&image);
            PaintNetwork(p, t.net, style);
        }
        auto at = [&](QPoint q) {
            return QPoint(static_cast<int>(q.x() * scale),
                          static_cast<int>(q.y() * scale) + style.top);
        };
        SCOPED_TRACE(scale);
        // Horizontal link: start (50, 74), end (220, 74).
        EXPECT_TRUE(Dark(image, at({50, 74}).x(), at({50, 74}).y()));
        EXPECT_TRUE(Dark(image, at({220, 74}).x(), at({220, 74}).y()));  // end arrow tip
        EXPECT_TRUE(Dark(image, at({214, 68}).x(), at({214, 68}).y()));  // end arrow base
        EXPECT_TRUE(Dark(image, at({50, 80}).x(), at({50, 80}).y()));    // start arrow base
        EXPECT_TRUE(Dark(image, at({135, 74}).x(), at({135, 74}).y()));  // the curve
        EXPECT_FALSE(Dark(image, at({135, 100}).x(), at({135, 100}).y()));
        // Vertical link: start (43, 89), end (47, 220).
        EXPECT_TRUE(Dark(image, at({43, 89}).x(), at({43, 89}).y()));
        EXPECT_TRUE(Dark(image, at({47, 220}).x(), at({47, 220}).y()));  // end arrow tip
        EXPECT_TRUE(Dark(image, at({41, 214}).x(), at({41, 214}).y()));  // end arrow base
        EXPECT_TRUE(Dark(image, at({49, 89}).x(), at({49, 89}).y()));    // start arrow base
    }
}

TEST(GraphPainterTest, PictureSetsFollowTheScale) {
    EXPECT_EQ(PictureName(PictureKind::Plain, 1.0), "MODEEMI");
    EXPECT_EQ(PictureName(PictureKind::PrintMaster, 1.5), "MASTER");
    EXPECT_EQ(PictureName(PictureKind::Mobile, 1.6), "MOBILE1");
    EXPECT_EQ(PictureName(PictureKind::Multi, 2.5), "MULTI2");
    EXPECT_EQ(PictureName(PictureKind::Plain, 3.0), "MODEEMI3");
    EXPECT_EQ(PictureName(PictureKind::PrintMaster, 3.5), "MASTER4");
    EXPECT_EQ(PictureSize(3.5), QSize(90, 150));
    EXPECT_EQ(PictureSize(0.4), QSize(30, 50));
    // Every drawing renders (a picture that failed to load would be fully transparent).
    for (PictureKind kind : {PictureKind::Plain, PictureKind::Master, PictureKind::PrintMaster,
                             PictureKind::Mobile, PictureKind::Multi}) {
        const QImage& image = NodePicture(kind, 2.0);
        EXPECT_EQ(image.size(), QSize(45, 75));
        EXPECT_GT(qAlpha(image.pixel(22, 50)), 0);
    }
}

TEST(GraphPainterTest, PngOfTheNetworkReadsBackPixelForPixel) {
    TestNetwork t;
    TKuvio& m = t.Add("", "F0", 1, Kind::Master);
    TKuvio& child = t.Add("", "A1", 2);
    m.MoveTo(20, 20);
    child.MoveTo(220, 140);
    t.Link(m, child);
    const QImage image = RenderNetworkImage(t.net, GraphStyle{});
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(WritePng(image, buffer));
    QImage back;
    ASSERT_TRUE(back.loadFromData(buffer.data(), "PNG"));
    EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), image);

    QBuffer readOnly;  // a device that refuses the bytes is a failure, not a short file
    readOnly.open(QIODevice::ReadOnly);
    EXPECT_FALSE(WritePng(image, readOnly));
}

}  // namespace
}  // namespace kelmor::designer::paint
