// The page rules of the printed graph, modem properties and property table, on a recording
// canvas whose fonts are plain arithmetic (every letter as wide as 0.6 of its height).
#include "designer/printlayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "netbuilder.h"

namespace kelmor::designer {
namespace {

using testing::TestNetwork;

class RecordingCanvas : public PrintCanvas {
  public:
    struct Text {
        int page;
        int x;
        int y;
        std::string text;
        bool clipped;
        PrintRect clip;
        int fontSize;
        bool bold;
    };

    RecordingCanvas(int width, int height, int ppi) : width_(width), height_(height), ppi_(ppi) {}

    int PageWidth() const override { return width_; }
    int PageHeight() const override { return height_; }
    int PixelsPerInch() const override { return ppi_; }
    void UseWindowFont() override {
        size_ = windowSize;
        bold_ = windowBold;
    }
    void SetFontSize(int points) override { size_ = points; }
    void SetBold(bool bold) override { bold_ = bold; }
    int LineHeight() const { return size_ * ppi_ * 115 / 7200; }
    int CharWidth() const { return std::max(1, size_ * ppi_ * 60 / 7200); }
    int TextWidth(const std::string& text) override {
        return static_cast<int>(text.size()) * CharWidth();
    }
    int TextHeight(const std::string&) override { return LineHeight(); }
    void DrawText(int x, int y, const std::string& text) override {
        texts.push_back({page, x, y, text, false, {}, size_, bold_});
    }
    void DrawTextClipped(const PrintRect& clip, int x, int y, const std::string& text) override {
        texts.push_back({page, x, y, text, true, clip, size_, bold_});
    }
    void DrawRectangle(const PrintRect& rect, int penWidth) override {
        rects.push_back({page, rect, penWidth});
    }
    void NewPage() override { ++page; }

    // The drawn texts that are not blank, in order.
    std::vector<Text> Lines() const {
        std::vector<Text> out;
        for (const auto& t : texts) {
            if (t.text.find_first_not_of(' ') != std::string::npos) out.push_back(t);
        }
        return out;
    }

    struct Rect {
        int page;
        PrintRect rect;
        int pen;
    };
    int windowSize = 10;
    bool windowBold = true;
    int page = 1;
    std::vector<Text> texts;
    std::vector<Rect> rects;

  private:
    int width_;
    int height_;
    int ppi_;
    int size_ = 10;
    bool bold_ = true;
};

// An A4 page at 600 pixels per inch.
constexpr int kA4Short = 4960;
constexpr int kA4Long = 7016;

NodeListing ListingOf(const TKuvio& node, int parameters) {
    NodeListing listing{{"Modem name:", node.name},
                        {"Terminal address:", node.GetAddress()},
                        {"Modem address:", std::to_string(node.systemAddress)}};
    for (int i = 0; i < parameters; ++i) {
        listing.push_back(
            {"Parameter " + std::to_string(i) + ":", node.name + "/" + std::to_string(i)});
    }
    return listing;
}

// ---------------------------------------------------------------- graph

TEST(GraphPrint, ScaleChoosesThePictureSet) {
    struct Case {
        double scale;
        int set;
        int width;
        int height;
    };
    for (const Case& c : {Case{0.8, 0, 30, 50}, Case{1.5, 0, 30, 50}, Case{1.7, 1, 45, 75},
                          Case{2.0, 1, 45, 75}, Case{2.3, 2, 60, 100}, Case{2.8, 3, 75, 125},
                          Case{3.0, 3, 75, 125}, Case{3.5, 4, 90, 150}}) {
        SCOPED_TRACE(c.scale);
        EXPECT_EQ(PictureSetForScale(c.scale), c.set);
        PictureSize size = PictureSizeOfSet(PictureSetForScale(c.scale));
        EXPECT_EQ(size.width, c.width);
        EXPECT_EQ(size.height, c.height);
    }
}

TEST(GraphPrint, ScaleIsTheTighterDirectionAndAboveThreeBecomesThreeAndAHalf) {
    // Room 1000 x 1000 after the margins: page 1110 wide, 1255 high.
    struct Case {
        int w;
        int h;
        double scale;
    };
    for (const Case& c :
         {Case{1250, 500, 0.8}, Case{500, 588, 1000.0 / 588}, Case{435, 400, 1000.0 / 435},
          Case{300, 357, 1000.0 / 357}, Case{300, 312, 3.5}, Case{100, 100, 3.5}}) {
        SCOPED_TRACE(c.w);
        EXPECT_DOUBLE_EQ(GraphScale(1110, 1255, c.w, c.h), c.scale);
    }
    // The computed 3.2 prints at 3.5 with the largest pictures.
    double scale = GraphScale(1110, 1255, 312, 312);
    EXPECT_DOUBLE_EQ(scale, 3.5);
    EXPECT_EQ(PictureSetForScale(scale), 4);
}

TEST(GraphPrint, LayoutFromTheNodesAndALongNameLowersTheScale) {
    TestNetwork t;
    t.net.properties.accepted.name = "Harbour";
    t.Add("A", "1", 1).MoveTo(100, 100);
    TKuvio& far = t.Add("B", "2", 2);
    far.MoveTo(700, 400);
    RecordingCanvas canvas(kA4Long, kA4Short, 600);  // landscape

    GraphLayout layout = LayoutGraph(canvas, t.net);
    const int nameWidth = canvas.TextWidth("B");  // the canvas is left at size 14
    EXPECT_EQ(layout.extentWidth, 700 + nameWidth + 60);
    EXPECT_EQ(layout.extentHeight, 400 + 99);
    double expected = std::min(double(kA4Long - 110) / layout.extentWidth,
                               double(kA4Short - 255) / layout.extentHeight);
    EXPECT_DOUBLE_EQ(layout.scale, expected > 3 ? 3.5 : expected);
    EXPECT_EQ(layout.printTop, 200);

    far.name = std::string(60, 'N');
    GraphLayout longName = LayoutGraph(canvas, t.net);
    EXPECT_GT(longName.extentWidth, layout.extentWidth);
    EXPECT_LT(longName.scale, layout.scale);
    EXPECT_EQ(longName.picture.width, PictureSizeOfSet(PictureSetForScale(longName.scale)).width);
}

TEST(GraphPrint, LabelFontShrinksToTheScaledPitchButNotBelowEight) {
    // Line height at 96 pixels per inch: 14 pt -> 21, 12 -> 18, 10 -> 15.
    struct Case {
        double scale;
        int ppi;
        int size;
    };
    for (const Case& c : {Case{3.5, 96, 12}, Case{1.2, 96, 12}, Case{1.0, 96, 10}, Case{0.8, 96, 8},
                          Case{0.1, 96, 8}, Case{3.5, 600, 8}}) {
        SCOPED_TRACE(c.scale);
        TestNetwork t;
        // One node placed so that the page gives exactly the wanted scale.
        RecordingCanvas canvas(10000, 10000, c.ppi);
        int extent = int((10000 - 255) / c.scale) - 99;
        t.Add("", "1", 1).MoveTo(0, extent);
        GraphLayout layout = LayoutGraph(canvas, t.net);
        EXPECT_EQ(layout.labelFontSize, c.size);
    }
}

TEST(GraphPrint, TitleTakesTheLargestSizeThatFitsAndIsCentred) {
    TestNetwork t;
    RecordingCanvas canvas(2000, 1500, 96);
    t.net.properties.accepted.name = "Net";
    GraphLayout small = LayoutGraph(canvas, t.net);
    EXPECT_EQ(small.title, "Project Net");
    EXPECT_EQ(small.titleFontSize, 24);

    t.net.properties.accepted.name = std::string(120, 'x');
    GraphLayout wide = LayoutGraph(canvas, t.net);
    canvas.SetFontSize(wide.titleFontSize);
    const int width = canvas.TextWidth(wide.title);
    EXPECT_LE(width, 2000 - 110);
    canvas.SetFontSize(wide.titleFontSize + 2);
    EXPECT_GT(canvas.TextWidth(wide.title), 2000 - 110);
    EXPECT_EQ(wide.titleX, (2000 - width) / 2);

    PrintGraph(canvas, t.net, {});
    ASSERT_FALSE(canvas.texts.empty());
    EXPECT_EQ(canvas.texts.back().text, wide.title);
    EXPECT_EQ(canvas.texts.back().y, 205);
    EXPECT_FALSE(canvas.texts.back().bold);
    ASSERT_FALSE(canvas.rects.empty());
    EXPECT_EQ(canvas.rects[0].rect, (PrintRect{55, 200, 2000 - 56, 1500 - 56}));
    EXPECT_EQ(canvas.rects[0].pen, 3);
}

TEST(GraphPrint, TheNetworkIsDrawnWithTheLabelFontInPlace) {
    TestNetwork t;
    t.Add("A", "1", 1).MoveTo(10, 10);
    RecordingCanvas canvas(kA4Long, kA4Short, 600);
    int drawnWith = 0;
    PrintGraph(canvas, t.net, [&](const GraphLayout& layout) {
        canvas.DrawText(0, 0, "probe");
        drawnWith = layout.labelFontSize;
    });
    ASSERT_GE(canvas.texts.size(), 2u);
    EXPECT_EQ(canvas.texts[0].text, "probe");
    EXPECT_EQ(canvas.texts[0].fontSize, drawnWith);
    EXPECT_EQ(drawnWith, 8);  // at 600 pixels per inch even 10 points exceed 19 x 3.5
}

// ---------------------------------------------------------------- modem properties

TEST(PropertiesPrint, LongTextsAreClippedToTheirColumn) {
    TestNetwork t;
    t.net.properties.accepted.name = "Clip";
    TKuvio& node = t.Add(std::string(300, 'L'), "1", 1);
    RecordingCanvas canvas(kA4Short, kA4Long, 600);
    NodeListing listing{
        {"Modem name:", node.name}, {"Long:", std::string(500, 'V')}, {"Short:", "7"}};
    ASSERT_TRUE(PrintAllProperties(canvas, t.net, [&](const TKuvio&) { return listing; }));

    const int boundary = ColumnBoundary(canvas);
    for (const auto& line : canvas.Lines()) {
        if (!line.clipped) continue;
        EXPECT_LE(line.x + canvas.TextWidth(line.text), line.clip.right) << line.text;
        EXPECT_LE(line.clip.right, boundary - 2);
    }
    auto lines = canvas.Lines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[1].text.substr(0, 13), " Modem name: ");
    EXPECT_LT(lines[1].text.size(), 13 + node.name.size());
    EXPECT_EQ(lines[3].text, " Short: 7");
}

TEST(PropertiesPrint, FitTextKeepsTheLongestStartThatFits) {
    RecordingCanvas canvas(1000, 1000, 72);  // size 10: letters 6 wide
    canvas.SetFontSize(10);
    EXPECT_EQ(FitText(canvas, "abcdef", 36), "abcdef");
    EXPECT_EQ(FitText(canvas, "abcdef", 35), "abcde");
    EXPECT_EQ(FitText(canvas, "abcdef", 6), "a");
    EXPECT_EQ(FitText(canvas, "abcdef", 5), "");
    EXPECT_EQ(FitText(canvas, "abcdef", -3), "");
}

TEST(PropertiesPrint, EmptyNetworkPrintsNothing) {
    TestNetwork t;
    RecordingCanvas canvas(kA4Short, kA4Long, 600);
    int listed = 0;
    EXPECT_FALSE(PrintAllProperties(canvas, t.net, [&](const TKuvio& n) {
        ++listed;
        return ListingOf(n, 1);
    }));
    EXPECT_TRUE(canvas.texts.empty());
    EXPECT_TRUE(canvas.rects.empty());
    EXPECT_EQ(listed, 0);
}

TEST(PropertiesPrint, AllModemsFlowLeftThenRightThenOverThePage) {
    TestNetwork t;
    t.net.properties.accepted.name = "Sixty";
    for (int i = 0; i < 60; ++i) t.Add("Node" + std::to_string(i), std::to_string(i), i + 1);
    RecordingCanvas canvas(kA4Short, kA4Long, 600);
    ASSERT_TRUE(
        PrintAllProperties(canvas, t.net, [](const TKuvio& n) { return ListingOf(n, 20); }));

    const auto lines = canvas.Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].text, "Project Sixty");
    EXPECT_EQ(lines[0].page, 1);
    const int boundary = ColumnBoundary(canvas);
    canvas.SetFontSize(14);
    EXPECT_EQ(lines[0].x, boundary - canvas.TextWidth("Project Sixty") / 2);  // centred on it

    // Every listing line in node order; within a page the left column comes before the right
    // one, and pages only grow.
    std::vector<std::string> printed;
    int lastPage = 1;
    bool lastRight = false;
    int lastY = -1;
    for (size_t i = 1; i < lines.size(); ++i) {
        const auto& line = lines[i];
        ASSERT_TRUE(line.clipped);
        printed.push_back(line.text);
        const bool right = line.clip.left > boundary;
        if (line.page == lastPage && right == lastRight) {
            EXPECT_GT(line.y, lastY) << line.text;
        } else if (line.page == lastPage) {
            EXPECT_TRUE(right && !lastRight) << line.text;  // left column full, then right
        } else {
            EXPECT_EQ(line.page, lastPage + 1);
            EXPECT_FALSE(right);
            EXPECT_TRUE(lastRight);
        }
        // No line runs over the frame's bottom edge.
        EXPECT_LE(line.clip.bottom, kA4Long - 56) << line.text;
        lastPage = line.page;
        lastRight = right;
        lastY = line.y;
    }
    std::vector<std::string> expected;
    for (const auto& node : t.net.nodes) {
        for (const auto& l : ListingOf(*node, 20))
            expected.push_back(" " + l.caption + " " + l.value);
    }
    EXPECT_EQ(printed, expected);

    // 60 nodes of 23 lines, a blank line after each: 1440 lines. A page column holds about
    // (7016 - 110 - 55) / (line + 5) lines at 12 points.
    EXPECT_GE(canvas.page, 3);
    EXPECT_EQ(lines.back().page, canvas.page);

    // Each page after the first starts with its two column frames.
    for (int p = 2; p <= canvas.page; ++p) {
        std::vector<PrintRect> frames;
        for (const auto& r : canvas.rects) {
            if (r.page == p) frames.push_back(r.rect);
        }
        ASSERT_EQ(frames.size(), 2u) << p;
        EXPECT_EQ(frames[0].top, 55);
        EXPECT_EQ(frames[0].right, frames[1].left);
        EXPECT_EQ(frames[1].right, kA4Short - 56);
    }
}

TEST(PropertiesPrint, FirstPageRightColumnStartsBelowTheTitleAndTurnsTwelvePoint) {
    TestNetwork t;
    for (int i = 0; i < 8; ++i) t.Add("N" + std::to_string(i), "1", i + 1);
    RecordingCanvas canvas(kA4Short, kA4Long, 600);
    PrintAllProperties(canvas, t.net, [](const TKuvio& n) { return ListingOf(n, 30); });
    const int boundary = ColumnBoundary(canvas);
    // The first text of each column on page 1 (the blank line after a node included).
    const RecordingCanvas::Text* firstRight = nullptr;
    const RecordingCanvas::Text* firstLeft = nullptr;
    for (const auto& text : canvas.texts) {
        if (text.page != 1 || text.y < 100) continue;  // not the title
        if (!firstLeft && text.x < boundary) firstLeft = &text;
        if (!firstRight && text.x > boundary) firstRight = &text;
    }
    ASSERT_TRUE(firstLeft && firstRight);
    EXPECT_EQ(firstLeft->fontSize, 10);  // the window's font
    EXPECT_EQ(firstRight->fontSize, 12);
    canvas.SetFontSize(14);
    EXPECT_EQ(firstRight->y, canvas.LineHeight() + 60);
}

TEST(PropertiesPrint, OneModemStartsAtTheTopOfTheLeftColumn) {
    TestNetwork t;
    TKuvio& node = t.Add("Solo", "1", 1);
    RecordingCanvas canvas(kA4Short, kA4Long, 600);
    PrintNodeProperties(canvas, ListingOf(node, 3));
    ASSERT_EQ(canvas.texts.size(), 6u);
    EXPECT_EQ(canvas.texts[0].y, 0);
    EXPECT_EQ(canvas.texts[0].x, 301);  // half an inch + 1
    EXPECT_EQ(canvas.texts[0].text, " Modem name: Solo");
    EXPECT_EQ(canvas.texts[0].fontSize, 12);
    EXPECT_FALSE(canvas.texts[0].bold);
    EXPECT_EQ(canvas.texts[1].y, canvas.LineHeight() + 5);
    EXPECT_EQ(canvas.page, 1);
}

// ---------------------------------------------------------------- property table

TEST(TablePrint, TilesRepeatTheFixedRowAndColumnAndGoAcrossFirst) {
    struct Case {
        std::vector<int> widths;
        std::vector<int> heights;
        int roomWidth;
        int roomHeight;
        std::vector<GridTile> tiles;
    };
    const std::vector<Case> cases{
        {{100, 50, 50}, {10, 10, 10}, 1000, 1000, {{1, 2, 1, 2}}},
        {{100, 50, 50, 50}, {10, 10, 10}, 200, 1000, {{1, 2, 1, 2}, {1, 2, 3, 3}}},
        {{100, 50, 50},
         {10, 10, 10, 10},
         160,
         30,
         {{1, 2, 1, 1}, {1, 2, 2, 2}, {3, 3, 1, 1}, {3, 3, 2, 2}}},
        // A column wider than the page still gets its own tile.
        {{100, 5000, 50}, {10, 10}, 300, 100, {{1, 1, 1, 1}, {1, 1, 2, 2}}},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(
            TileGrid(cases[i].widths, cases[i].heights, cases[i].roomWidth, cases[i].roomHeight),
            cases[i].tiles);
    }
}

TEST(TablePrint, HeadersCountPagesOverTheWholeDocument) {
    RecordingCanvas canvas(1200, 800, 96);
    GridToPrint a{
        "KL160", {{"Modem name:", "a1", "a2"}, {"X:", "1", "2"}}, {100, 600, 600}, {20, 20}};
    GridToPrint b{"KL450", {{"Modem name:", "b1"}, {"Y:", "3"}}, {100, 80}, {20, 20}};
    PrintPropertyTable(canvas, {a, b}, 1.0, 1.0, true, "Harbour");
    std::vector<std::string> headers;
    for (const auto& t : canvas.texts) {
        if (!t.clipped) headers.push_back(t.text);
    }
    EXPECT_EQ(headers, (std::vector<std::string>{"Project: Harbour Modem type KL160 page 1",
                                                 "Harbour Modem type KL160 page 2",
                                                 "Project: Harbour Modem type KL450 page 3"}));
    EXPECT_EQ(canvas.page, 3);
    // Row 0 and column 0 on every page; the cells stay inside the page.
    for (int p = 1; p <= 3; ++p) {
        bool caption = false;
        for (const auto& t : canvas.texts) {
            if (t.page == p && t.text == "Modem name:") caption = true;
        }
        EXPECT_TRUE(caption) << p;
    }
    for (const auto& r : canvas.rects) EXPECT_LE(r.rect.right, 1200 - 55);

    RecordingCanvas single(1200, 800, 96);
    PrintPropertyTable(single, {b}, 1.0, 1.0, false, "");
    EXPECT_EQ(single.texts[0].text, "Modem type KL450 page 1");
}

}  // namespace
}  // namespace kelmor::designer
