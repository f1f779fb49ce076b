#include "designer/propertytable.h"

#include <algorithm>
#include <cctype>

#include "designer/network.h"

namespace kelmor::designer {

namespace {

std::string WithoutExtension(const std::string& fileName) {
    size_t dot = fileName.rfind('.');
    return dot == std::string::npos ? fileName : fileName.substr(0, dot);
}

void Grow(PropertyTab& tab, size_t rows, size_t columns) {
    columns = std::max<size_t>(columns, tab.cells.empty() ? 0 : tab.cells[0].size());
    if (tab.cells.size() < rows) tab.cells.resize(rows);
    for (auto& row : tab.cells) row.resize(columns);
}

}  // namespace

std::string PropertyTableCaption(const Network& network) {
    return network.singleModemMode ? kPropertyTableSingleCaption : kPropertyTableCaption;
}

std::vector<PropertyTab> BuildPropertyTable(const Network& network, const NodeLister& lister) {
    std::vector<PropertyTab> tabs;
    std::vector<bool> listed(network.nodes.size(), false);
    for (size_t first = 0; first < network.nodes.size(); ++first) {
        if (listed[first]) continue;
        const std::string type = network.nodes[first]->DefinitionFileName();
        PropertyTab tab;
        tab.typeName = WithoutExtension(type);
        Grow(tab, 2, 2);
        for (size_t i = first; i < network.nodes.size(); ++i) {
            if (listed[i] || network.nodes[i]->DefinitionFileName() != type) continue;
            const TKuvio& node = *network.nodes[i];
            listed[i] = true;
            tab.nodes.push_back(&node);
            const size_t column = tab.nodes.size();
            const NodeListing listing = lister(node);
            Grow(tab, listing.size(), column + 1);
            for (size_t r = 0; r < listing.size(); ++r) {
                if (column == 1) tab.cells[r][0] = listing[r].caption;
                tab.cells[r][column] = listing[r].value;
            }
        }
        tabs.push_back(std::move(tab));
    }
    return tabs;
}

std::string CopyCells(const PropertyTab& tab, CellRange range) {
    std::string out;
    const int top = std::max(range.top, 0);
    const int left = std::max(range.left, 0);
    const int bottom = std::min(range.bottom, tab.RowCount() - 1);
    const int right = std::min(range.right, tab.ColumnCount() - 1);
    for (int r = top; r <= bottom; ++r) {
        for (int c = left; c <= right; ++c) {
            if (c > left) out += '\t';
            out += tab.cells[r][c];
        }
        out += "\r\n";
    }
    out += "\r\n";
    return out;
}

std::string TableText(const std::vector<PropertyTab>& tabs) {
    std::string out;
    for (const auto& tab : tabs) {
        out += "Modem type " + tab.typeName + "\r\n";
        for (const auto& row : tab.cells) {
            for (size_t c = 0; c < row.size(); ++c) {
                if (c > 0) out += '\t';
                out += row[c];
            }
            out += "\r\n";
        }
        out += "\r\n\r\n";
    }
    return out;
}

std::vector<PropertyTab> ParseTableText(const std::string& text) {
    std::vector<PropertyTab> tabs;
    const std::string header = "Modem type ";
    size_t pos = 0;
    PropertyTab* tab = nullptr;
    while (pos < text.size()) {
        size_t end = text.find("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 2;
        if (line.empty()) {
            tab = nullptr;
            continue;
        }
        if (!tab && line.compare(0, header.size(), header) == 0) {
            tabs.emplace_back();
            tab = &tabs.back();
            tab->typeName = line.substr(header.size());
            continue;
        }
        if (!tab) continue;
        std::vector<std::string> cells;
        size_t start = 0;
        for (;;) {
            size_t tabPos = line.find('\t', start);
            cells.push_back(line.substr(start, tabPos - start));
            if (tabPos == std::string::npos) break;
            start = tabPos + 1;
        }
        tab->cells.push_back(std::move(cells));
    }
    return tabs;
}

TKuvio* NodeOfColumn(const Network& network, const PropertyTab& tab, int column) {
    if (column < 1 || column >= tab.ColumnCount() || tab.RowCount() < 3) return nullptr;
    std::string text = tab.cells[2][column];
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    size_t start = 0;
    while (start < text.size() && std::isspace(static_cast<unsigned char>(text[start]))) ++start;
    text = text.substr(start);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text = text.substr(2);
    }
    if (text.empty() || text.size() > 8) return nullptr;
    uint32_t value = 0;
    for (char ch : text) {
        if (!std::isxdigit(static_cast<unsigned char>(ch))) return nullptr;
        value = value * 16 + static_cast<uint32_t>(std::isdigit(static_cast<unsigned char>(ch))
                                                       ? ch - '0'
                                                       : std::toupper(ch) - 'A' + 10);
    }
    for (const auto& node : network.nodes) {
        if (node->systemAddress == value) return node.get();
    }
    return nullptr;
}

}  // namespace kelmor::designer
