#pragma once
// The page rules of the designer's printed documents: the network graph on one landscape page,
// one modem's properties, all modems in two columns over as many pages as needed, and the
// property table in tiles. The rules are written against PrintCanvas, a printer page seen in
// printer pixels with a top-left text origin, so they run without a printer or a display; the
// window side puts a QPainter behind it.
#include <functional>
#include <string>
#include <vector>

namespace kelmor::designer {

class Network;
class TKuvio;

struct PrintRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    bool operator==(const PrintRect&) const = default;
};

// A page of the printer. Texts are Windows-1252 bytes as the network holds them; (x, y) is the
// top-left corner of the text. The font is the owning window's font (family, size, weight)
// until a size or weight is set.
class PrintCanvas {
  public:
    virtual ~PrintCanvas() = default;
    virtual int PageWidth() const = 0;
    virtual int PageHeight() const = 0;
    virtual int PixelsPerInch() const = 0;
    virtual void UseWindowFont() = 0;
    virtual void SetFontSize(int points) = 0;
    virtual void SetBold(bool bold) = 0;
    virtual int TextWidth(const std::string& text) = 0;
    virtual int TextHeight(const std::string& text) = 0;
    virtual void DrawText(int x, int y, const std::string& text) = 0;
    // Only the part inside clip shows.
    virtual void DrawTextClipped(const PrintRect& clip, int x, int y, const std::string& text) = 0;
    // The outline with a black pen of the given width.
    virtual void DrawRectangle(const PrintRect& rect, int penWidth = 1) = 0;
    virtual void NewPage() = 0;
};

// What the printer is asked for before the first page.
struct PrintJob {
    std::string title;
    bool landscape = false;
};

// The longest start of text that fits into width at the canvas's font. A clipped text keeps
// only this part (and the clip hides the rest of a partly visible letter), so a name or value
// never reaches into the next column, not even in the text a PDF reader extracts.
std::string FitText(PrintCanvas& canvas, const std::string& text, int width);

// ---------------------------------------------------------------- graph

inline constexpr int kPrintTop = 200;  // the graph's vertical offset on its page

struct PictureSize {
    int width = 30;
    int height = 50;
};

// 0 up to 1.5, 1 up to 2, 2 up to 2.5, 3 up to 3, 4 above; the pictures' names end in the set's
// number (none for set 0).
int PictureSetForScale(double scale);
PictureSize PictureSizeOfSet(int set);

// The smaller of the page's room over the extent in each direction; above 3 the graph is
// printed at 3.5.
double GraphScale(int pageWidth, int pageHeight, int extentWidth, int extentHeight);

struct GraphLayout {
    double scale = 1;
    int pictureSet = 0;
    PictureSize picture;
    int labelFontSize = 12;
    int titleFontSize = 24;
    int titleX = 0;
    int titleY = 205;
    int printTop = kPrintTop;
    int extentWidth = 0;  // W and H after their margins
    int extentHeight = 0;
    std::string title;  // "Project " + network name
    PrintRect frame;
};

PrintJob GraphJob(const Network& network);
// Measures the names at the window font's 14 points and chooses the scale, the pictures, the
// label font and the title font; leaves the canvas font as it found it at size 14.
GraphLayout LayoutGraph(PrintCanvas& canvas, const Network& network);
// The frame, then drawNetwork (nodes, labels and links at the layout's scale, with the label
// font already set), then the title.
void PrintGraph(PrintCanvas& canvas, const Network& network,
                const std::function<void(const GraphLayout&)>& drawNetwork);

// ---------------------------------------------------------------- modem properties

// One line of a modem's listing as the properties form lists it.
struct ListingLine {
    std::string caption;
    std::string value;
};
using NodeListing = std::vector<ListingLine>;
using NodeLister = std::function<NodeListing(const TKuvio&)>;

// Where the next listing line goes.
struct ColumnCursor {
    int y = 0;
    bool rightColumn = false;
    int page = 1;
};

// Prints a listing from cursor.y downwards in two columns: left from left + 1 to boundary - 2,
// right from boundary + 1 to the page width - 57; each line " caption value" one text line
// + 5 high and clipped to its column. Past the page height - 110 the left column continues at
// the top of the right one, the right column on a new page with fresh column frames. The
// cursor ends below the last line.
void PrintListing(PrintCanvas& canvas, const NodeListing& listing, int left, int boundary,
                  ColumnCursor& cursor);

// Half an inch at the printer's resolution.
int HalfInch(PrintCanvas& canvas);
// The column boundary of the two-column documents.
int ColumnBoundary(PrintCanvas& canvas);

PrintJob NodePropertiesJob();
void PrintNodeProperties(PrintCanvas& canvas, const NodeListing& listing);

PrintJob AllPropertiesJob();
// Every node of the network in list order; false (and nothing printed) when it has none.
bool PrintAllProperties(PrintCanvas& canvas, const Network& network, const NodeLister& lister);

// ---------------------------------------------------------------- property table

// One tab of the property table as it stands on screen: cells by row then column, the widths
// of the columns and the heights of the rows in screen pixels.
struct GridToPrint {
    std::string typeName;
    std::vector<std::vector<std::string>> cells;
    std::vector<int> columnWidths;
    std::vector<int> rowHeights;
};

// A tile of a grid: rows [firstRow, lastRow] and columns [firstColumn, lastColumn], both
// after the fixed row 0 and column 0, which every tile repeats.
struct GridTile {
    int firstRow = 1;
    int lastRow = 0;
    int firstColumn = 1;
    int lastColumn = 0;
    bool operator==(const GridTile&) const = default;
};
// Tiles in print order (column bands first within a row band). Each tile holds as many
// consecutive rows and columns as fit, with the fixed row and column, into the given room
// (at least one of each, so a cell wider than the page still gets printed, clipped).
std::vector<GridTile> TileGrid(const std::vector<int>& columnWidths,
                               const std::vector<int>& rowHeights, int roomWidth, int roomHeight);

PrintJob PropertyTableJob();
// scaleX, scaleY: printer size of "Wg" over its screen size. projectName is empty in
// single-modem mode (no project line in the headers).
void PrintPropertyTable(PrintCanvas& canvas, const std::vector<GridToPrint>& grids, double scaleX,
                        double scaleY, bool routingMode, const std::string& projectName);

}  // namespace kelmor::designer
