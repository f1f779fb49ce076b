#include "designer/printlayout.h"

#include <algorithm>
#include <cmath>

#include "designer/network.h"

namespace kelmor::designer {

namespace {

constexpr int kMargin = 55;          // page frame and grid origin
constexpr int kBottomReserve = 110;  // a column breaks once y passes the page height - this
constexpr int kLineGap = 5;          // between listing lines
constexpr int kLabelPitch = 19;      // canvas pixels between a label's top and its picture's
constexpr int kGraphFramePen = 3;

// The top of the right column on the first page (below the title) or on a later one. On the
// first page the font goes back to 12 points afterwards, as it always has.
int RightColumnTop(PrintCanvas& canvas, int page) {
    if (page != 1) return kMargin;
    canvas.SetFontSize(14);
    int top = canvas.TextHeight("Wg") + 60;
    canvas.SetFontSize(12);
    return top;
}

// After a line or a node: past the bottom, the left column continues at the top of the right
// one and the right column on a new page in its left column. frameSplit is where the new
// page's column frames meet. A column also ends when its next line would cross the frame's
// bottom edge, which a large font at a fine printer resolution otherwise does.
void BreakIfFull(PrintCanvas& canvas, ColumnCursor& cursor, int left, int frameSplit) {
    const int nextBottom = cursor.y + canvas.TextHeight("Wg") + kLineGap;
    if (cursor.y <= canvas.PageHeight() - kBottomReserve &&
        nextBottom <= canvas.PageHeight() - 56) {
        return;
    }
    if (!cursor.rightColumn) {
        cursor.rightColumn = true;
        cursor.y = RightColumnTop(canvas, cursor.page);
        return;
    }
    ++cursor.page;
    canvas.NewPage();
    const int bottom = canvas.PageHeight() - 56;
    canvas.DrawRectangle({left, kMargin, frameSplit, bottom});
    canvas.DrawRectangle({frameSplit, kMargin, canvas.PageWidth() - 56, bottom});
    cursor.rightColumn = false;
    cursor.y = kMargin;
}

}  // namespace

std::string FitText(PrintCanvas& canvas, const std::string& text, int width) {
    if (width <= 0) return {};
    if (canvas.TextWidth(text) <= width) return text;
    // Widths grow with the length: the longest fitting start by halving.
    size_t fits = 0;
    size_t tooLong = text.size();
    while (tooLong - fits > 1) {
        size_t mid = fits + (tooLong - fits) / 2;
        if (canvas.TextWidth(text.substr(0, mid)) <= width) {
            fits = mid;
        } else {
            tooLong = mid;
        }
    }
    return text.substr(0, fits);
}

// ---------------------------------------------------------------- graph

int PictureSetForScale(double scale) {
    if (scale <= 1.5) return 0;
    if (scale <= 2) return 1;
    if (scale <= 2.5) return 2;
    if (scale <= 3) return 3;
    return 4;
}

PictureSize PictureSizeOfSet(int set) {
    set = std::clamp(set, 0, 4);
    return {30 + 15 * set, 50 + 25 * set};
}

double GraphScale(int pageWidth, int pageHeight, int extentWidth, int extentHeight) {
    extentWidth = std::max(extentWidth, 1);
    extentHeight = std::max(extentHeight, 1);
    double scale = std::min(double(pageWidth - 2 * kMargin) / extentWidth,
                            double(pageHeight - kPrintTop - kMargin) / extentHeight);
    if (scale > 3) scale = 3.5;
    return scale;
}

PrintJob GraphJob(const Network& network) { return {network.properties.accepted.name, true}; }

GraphLayout LayoutGraph(PrintCanvas& canvas, const Network& network) {
    GraphLayout layout;
    const int pageWidth = canvas.PageWidth();
    const int pageHeight = canvas.PageHeight();

    canvas.UseWindowFont();
    canvas.SetFontSize(14);
    int extentWidth = 0;
    int extentHeight = 0;
    for (const auto& node : network.nodes) {
        extentWidth = std::max(extentWidth, node->LabelLeft() + canvas.TextWidth(node->name));
        extentHeight = std::max(extentHeight, node->LabelTop());
    }
    layout.extentWidth = extentWidth + 60;
    layout.extentHeight = extentHeight + 99;
    layout.scale = GraphScale(pageWidth, pageHeight, layout.extentWidth, layout.extentHeight);
    layout.pictureSet = PictureSetForScale(layout.scale);
    layout.picture = PictureSizeOfSet(layout.pictureSet);

    // Labels: the first size whose line fits the scaled label pitch, then two points less;
    // never below 8.
    int size = 14;
    while (canvas.TextHeight("Wg") > kLabelPitch * layout.scale && size - 2 > 8) {
        size -= 2;
        canvas.SetFontSize(size);
    }
    layout.labelFontSize = size - 2;

    // Title: the largest size from 24 down whose width fits between the margins.
    layout.title = "Project " + network.properties.accepted.name;
    canvas.SetBold(false);
    int titleSize = 24;
    canvas.SetFontSize(titleSize);
    while (canvas.TextWidth(layout.title) > pageWidth - 2 * kMargin && titleSize > 2) {
        titleSize -= 2;
        canvas.SetFontSize(titleSize);
    }
    layout.titleFontSize = titleSize;
    layout.titleX = std::max(0, (pageWidth - canvas.TextWidth(layout.title)) / 2);
    layout.titleY = kPrintTop + 5;
    layout.frame = {kMargin, kPrintTop, pageWidth - 56, pageHeight - 56};

    canvas.UseWindowFont();
    canvas.SetFontSize(14);
    return layout;
}

void PrintGraph(PrintCanvas& canvas, const Network& network,
                const std::function<void(const GraphLayout&)>& drawNetwork) {
    GraphLayout layout = LayoutGraph(canvas, network);
    canvas.DrawRectangle(layout.frame, kGraphFramePen);
    canvas.UseWindowFont();
    canvas.SetFontSize(layout.labelFontSize);
    if (drawNetwork) drawNetwork(layout);
    canvas.UseWindowFont();
    canvas.SetBold(false);
    canvas.SetFontSize(layout.titleFontSize);
    canvas.DrawText(layout.titleX, layout.titleY, layout.title);
}

// ---------------------------------------------------------------- modem properties

int HalfInch(PrintCanvas& canvas) { return canvas.PixelsPerInch() / 2; }

int ColumnBoundary(PrintCanvas& canvas) {
    return canvas.PageWidth() / 2 + (HalfInch(canvas) - kMargin) / 2;
}

void PrintListing(PrintCanvas& canvas, const NodeListing& listing, int left, int boundary,
                  ColumnCursor& cursor) {
    for (const auto& line : listing) {
        const std::string text = " " + line.caption + " " + line.value;
        const int height = canvas.TextHeight(text);
        PrintRect clip =
            cursor.rightColumn
                ? PrintRect{boundary + 1, cursor.y, canvas.PageWidth() - 57,
                            cursor.y + height + kLineGap}
                : PrintRect{left + 1, cursor.y, boundary - 2, cursor.y + height + kLineGap};
        canvas.DrawTextClipped(clip, clip.left, cursor.y, FitText(canvas, text, clip.Width()));
        cursor.y += height + kLineGap;
        BreakIfFull(canvas, cursor, left, boundary - 1);
    }
}

PrintJob NodePropertiesJob() { return {"Properties of modem", false}; }

void PrintNodeProperties(PrintCanvas& canvas, const NodeListing& listing) {
    canvas.UseWindowFont();
    canvas.SetFontSize(12);
    canvas.SetBold(false);
    ColumnCursor cursor;
    PrintListing(canvas, listing, HalfInch(canvas), ColumnBoundary(canvas), cursor);
}

PrintJob AllPropertiesJob() { return {"List of modem properties", false}; }

bool PrintAllProperties(PrintCanvas& canvas, const Network& network, const NodeLister& lister) {
    if (network.nodes.empty()) return false;
    const int pageWidth = canvas.PageWidth();
    const int bottom = canvas.PageHeight() - 56;

    canvas.UseWindowFont();
    canvas.SetFontSize(14);
    canvas.SetBold(true);
    const int left = HalfInch(canvas);
    const int boundary = ColumnBoundary(canvas);
    canvas.DrawRectangle({left, kMargin, pageWidth - 56, bottom});

    const std::string title = "Project " + network.properties.accepted.name;
    canvas.DrawText(boundary - canvas.TextWidth(title) / 2, 60, title);
    const int titleHeight = canvas.TextHeight(title) + 5;
    canvas.DrawRectangle({left, titleHeight + kMargin, boundary, bottom});
    canvas.DrawRectangle({boundary, titleHeight + kMargin, pageWidth - 56, bottom});

    canvas.UseWindowFont();
    const int lineHeight = canvas.TextHeight("Wg");
    ColumnCursor cursor{titleHeight + 60, false, 1};
    for (const auto& node : network.nodes) {
        PrintListing(canvas, lister(*node), left, boundary, cursor);
        canvas.DrawText((cursor.rightColumn ? boundary : left) + 1, cursor.y, "    ");
        cursor.y += lineHeight + kLineGap;
        BreakIfFull(canvas, cursor, left, boundary);
    }
    return true;
}

// ---------------------------------------------------------------- property table

namespace {

// Consecutive runs of items after item 0 that fit, with item 0, into room; at least one each.
std::vector<std::pair<int, int>> Bands(const std::vector<int>& sizes, int room) {
    std::vector<std::pair<int, int>> bands;
    const int count = static_cast<int>(sizes.size());
    if (count < 2) return {{1, 0}};
    const int fixed = sizes[0];
    int first = 1;
    while (first < count) {
        int used = fixed + sizes[first];
        int last = first;
        while (last + 1 < count && used + sizes[last + 1] <= room) used += sizes[++last];
        bands.emplace_back(first, last);
        first = last + 1;
    }
    return bands;
}

}  // namespace

std::vector<GridTile> TileGrid(const std::vector<int>& columnWidths,
                               const std::vector<int>& rowHeights, int roomWidth, int roomHeight) {
    std::vector<GridTile> tiles;
    for (auto [firstRow, lastRow] : Bands(rowHeights, roomHeight)) {
        for (auto [firstColumn, lastColumn] : Bands(columnWidths, roomWidth)) {
            tiles.push_back({firstRow, lastRow, firstColumn, lastColumn});
        }
    }
    return tiles;
}

PrintJob PropertyTableJob() { return {"Grid of modem properties", true}; }

void PrintPropertyTable(PrintCanvas& canvas, const std::vector<GridToPrint>& grids, double scaleX,
                        double scaleY, bool routingMode, const std::string& projectName) {
    canvas.UseWindowFont();
    const int headerHeight = canvas.TextHeight("Wg");
    // The grid starts below its header line, so the header never runs into row 0.
    const int gridTop = kMargin + headerHeight;
    int page = 0;
    for (const auto& grid : grids) {
        std::vector<int> widths;
        std::vector<int> heights;
        for (int w : grid.columnWidths) widths.push_back(int(std::lround(w * scaleX)));
        for (int h : grid.rowHeights) heights.push_back(int(std::lround(h * scaleY)));
        const auto tiles = TileGrid(widths, heights, canvas.PageWidth() - 2 * kMargin,
                                    canvas.PageHeight() - 2 * kMargin - headerHeight);
        for (size_t t = 0; t < tiles.size(); ++t) {
            if (page > 0) canvas.NewPage();
            ++page;
            std::string header;
            if (routingMode) header = (t == 0 ? "Project: " + projectName : projectName) + " ";
            header += "Modem type " + grid.typeName + " page " + std::to_string(page);
            canvas.DrawText(kMargin, 27, header);

            const GridTile& tile = tiles[t];
            std::vector<int> rows{0};
            for (int r = tile.firstRow; r <= tile.lastRow; ++r) rows.push_back(r);
            std::vector<int> columns{0};
            for (int c = tile.firstColumn; c <= tile.lastColumn; ++c) columns.push_back(c);
            int y = gridTop;
            for (int r : rows) {
                if (r >= static_cast<int>(heights.size())) break;
                int x = kMargin;
                for (int c : columns) {
                    if (c >= static_cast<int>(widths.size())) break;
                    PrintRect cell{x, y, x + widths[c], y + heights[r]};
                    canvas.DrawRectangle(cell);
                    const std::string* text = nullptr;
                    if (r < static_cast<int>(grid.cells.size()) &&
                        c < static_cast<int>(grid.cells[r].size())) {
                        text = &grid.cells[r][c];
                    }
                    if (text && !text->empty()) {
                        canvas.DrawTextClipped(cell, x + 2, y + 2,
                                               FitText(canvas, *text, cell.Width() - 4));
                    }
                    x += widths[c];
                }
                y += heights[r];
            }
        }
    }
}

}  // namespace kelmor::designer
