#pragma once
// The property table of all modems: one tab per modem type, in the order the types first
// appear in the network; on each tab column 0 holds the captions and column k the values of
// the k-th node of that type in network order, one row per listing line. Copy and save turn
// the cells into tab-separated text that pastes into a spreadsheet as cells.
#include <string>
#include <vector>

#include "designer/printlayout.h"

namespace kelmor::designer {

class Network;
class TKuvio;

inline constexpr const char* kPropertyTableCaption = "Property table of all the modems";
inline constexpr const char* kPropertyTableSingleCaption = "Property table";

struct PropertyTab {
    std::string typeName;                         // definition file name without extension
    std::vector<std::vector<std::string>> cells;  // [row][column]; every row has every column
    std::vector<const TKuvio*> nodes;             // column k's node at index k - 1
    int RowCount() const { return static_cast<int>(cells.size()); }
    int ColumnCount() const { return cells.empty() ? 0 : static_cast<int>(cells[0].size()); }
};

std::string PropertyTableCaption(const Network& network);

// The tabs of a network (none for an empty one). The captions of column 0 come from the first
// node of a tab; a shorter listing leaves its further cells empty.
std::vector<PropertyTab> BuildPropertyTable(const Network& network, const NodeLister& lister);

// A rectangle of cells, both corners included; rows and columns are clamped to the tab.
struct CellRange {
    int top = 0;
    int left = 0;
    int bottom = 0;
    int right = 0;
};

// The cells of a row separated by tabs, each row followed by CR LF, and one more CR LF at the
// end.
std::string CopyCells(const PropertyTab& tab, CellRange range);

// Every tab: "Modem type " + type name, CR LF; each row's cells separated by tabs, CR LF; then
// CR LF CR LF.
std::string TableText(const std::vector<PropertyTab>& tabs);

// The tabs back from TableText (for checking a saved file, and for tools that read one).
std::vector<PropertyTab> ParseTableText(const std::string& text);

// The node a double click on column opens: the one whose system address is the column's
// modem-address cell (row 2) read as hexadecimal. None for column 0, a cell that is not a
// hexadecimal number ("--" in single-modem mode) or no matching node.
TKuvio* NodeOfColumn(const Network& network, const PropertyTab& tab, int column);

}  // namespace kelmor::designer
