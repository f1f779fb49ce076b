#pragma once
// One modem node of the routing designer's network: what it is (kind, addresses, type), what
// it stores (parameter block), where it hangs (route links) and what the route computation
// left on it (route text and tables). Drawing is the window's business; position and
// visibility are plain data here.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "modemcfg/modemparam.h"

namespace kelmor::designer {

enum class Kind { Plain, Mobile, Multi, Master };

inline constexpr const char* kNoAddressText = "No address";  // the address a repeater saves
inline constexpr const char* kMultiPortText = "multi port";  // GetAddress of a multi-port node
inline constexpr const char* kAddressEnd = "@@";             // AddressAt past the last entry

// The label sits this many pixels above the picture.
inline constexpr int kLabelHeight = 19;

struct ParameterRead {
    bool found = false;
    char type = ' ';
    std::string value = "ERROR";
    char level = '0';
    bool shown = false;
};

class TKuvio {
  public:
    TKuvio() = default;
    // A plain node with its label at (labelLeft, labelTop).
    TKuvio(int labelTop, int labelLeft) { MoveTo(labelLeft, labelTop); }

    // --- node fields, in their documented order ---
    std::string name = "Noname";             // the label text
    std::vector<std::string> addresses{""};  // entry 0 only, except for multi-port nodes
    bool noAddress = false;                  // repeater (when not the master)
    uint16_t systemAddress = 0;
    std::string typeName;
    std::string typeTitle = "ERROR";
    int typeVersion = 0;
    std::string portSettings = "9600,8,N,1";
    modemcfg::ParameterList parameters;
    bool isMobile = false;
    bool isMulti = false;
    bool isMaster = false;
    TKuvio* routeParent = nullptr;
    TKuvio* mobileRouteParent = nullptr;
    int left = 0;  // picture's top-left corner in canvas pixels
    int top = kLabelHeight;
    bool visible = true;
    std::string routeText;
    std::optional<std::string> virtualRoutesBefore;
    bool routesChanged = false;
    bool isNew = false;
    bool dragging = false;

    // --- name, addresses, kind ---
    void SetName(const std::string& text) { name = text; }
    const std::string& GetName() const { return name; }
    // "multi port" for a multi-port node, else entry 0.
    std::string GetAddress() const;
    void SetAddress(const std::string& text);  // ignored for a multi-port node
    std::string AddressAt(size_t i) const;     // "@@" past the end
    // -1 clears the list; an index inside replaces that entry; any other appends.
    void PutAddressAt(int i, const std::string& text);
    // A repeater relays without an address of its own; the master is never one.
    bool IsRepeater() const { return noAddress && !isMaster; }
    Kind GetKind() const;
    void SetKind(Kind kind);

    // --- position ---
    int LabelLeft() const { return left; }
    int LabelTop() const { return top - kLabelHeight; }
    void MoveTo(int labelLeft, int labelTop) {
        left = labelLeft;
        top = labelTop + kLabelHeight;
    }
    void Show(bool show) { visible = show; }

    // typeName with its extension (if any) replaced by ".smf".
    std::string DefinitionFileName() const;

    // --- parameter list with its write cursor ---
    void ClearParameters();
    void RewindParameters();
    void PutParameter(char type, char level, bool setShown, bool shownValue,
                      const std::string& value);
    ParameterRead ReadParameter(bool restart);

    // --- virtual-route table ---
    void AddAddressRoute(uint32_t address, uint16_t label);
    void AddLabelRoute(uint16_t towardMaster, uint16_t towardFar);
    // Entries in table order, an empty text at the end.
    std::string NextVirtualRoute(bool restart);
    bool HasVirtualRoutes() const { return virtualRoutes_.has_value(); }
    // The table in its order (empty when there is none).
    const std::vector<std::string>& VirtualRoutes() const;
    // The table as one text, each entry followed by CR LF; none without a table.
    std::optional<std::string> VirtualRoutesText() const;
    void ToggleVirtualRoutes() { virtualShown_ = !virtualShown_; }
    bool VirtualRoutesShown() const { return virtualShown_ && HasVirtualRoutes(); }
    // Before a recomputation: the table text goes to virtualRoutesBefore and the table is
    // dropped. Whether the panel was shown is kept, so the new table shows where the old did.
    void ResetVirtualRoutes();

    // --- source-route table (the master's) ---
    // A route line ("00AB 3 5 7 ") in its table form, kept in sorted order.
    void AddSourceRoute(const std::string& routeLine);
    // Many lines at once; the same table as adding them one by one.
    void AddSourceRoutes(const std::vector<std::string>& routeLines);
    bool HasSourceRoutes() const { return sourceRoutes_.has_value(); }
    const std::vector<std::string>& SourceRoutes() const;
    void ToggleSourceRoutes() { sourceShown_ = !sourceShown_; }
    bool SourceRoutesShown() const { return sourceShown_ && HasSourceRoutes(); }
    void ResetSourceRoutes() { sourceRoutes_.reset(); }

    // Hides both panels (Escape, routing type change).
    void HideVirtualRoutes() { virtualShown_ = false; }
    void HideSourceRoutes() { sourceShown_ = false; }

    void MarkRoutesChanged(bool changed) { routesChanged = changed; }

  private:
    void AddVirtualRoute(std::string entry, bool labelEntry);

    int writeCursor_ = -1;  // index of the last entry written; -1: the next write is entry 0
    size_t readCursor_ = 0;

    // Sorted tables are sorted when read, not on every insert: a node with thousands of
    // entries would otherwise cost quadratic time.
    mutable std::optional<std::vector<std::string>> virtualRoutes_;
    bool virtualSorted_ = false;  // a table that began with a label entry stays sorted
    mutable bool virtualNeedsSort_ = false;
    size_t virtualRoutesCursor_ = 0;
    bool virtualShown_ = false;

    mutable std::optional<std::vector<std::string>> sourceRoutes_;
    mutable bool sourceNeedsSort_ = false;
    bool sourceShown_ = false;
};

// A route line "00AB 3 5 7 " in table form "000000AB 0003 0005 0007": the address as eight
// upper-case hexadecimal digits, each system address as four.
std::string SourceRouteTableLine(const std::string& routeLine);

}  // namespace kelmor::designer
