#pragma once
// The designer window's editing behaviour without the window: the modes (placing, dragging,
// drawing a link, connect/delete/copy), what a mouse press, move or release on a node or on the
// canvas does, the keys, creating nodes from a modem-type entry, and the enabling and captions
// of the menus. The window turns Qt events into these calls (canvas coordinates; the node hit,
// if any) and carries out what the host interface asks for.
#include <optional>
#include <string>
#include <vector>

#include "designer/network.h"

namespace kelmor::designer {

// A modem-type entry of the new-modem sub-menus.
struct TypeEntry {
    std::string name;  // the type name (definition file without ".smf")
    Kind kind = Kind::Plain;
    bool operator==(const TypeEntry&) const = default;
};

enum class EditorCursor { Default, SizeAll, Connect, Delete, Copy };

enum class MouseButton { Left, Right, Middle };

struct Point {
    int x = 0;
    int y = 0;
};

class EditorHost {
  public:
    virtual ~EditorHost() = default;
    virtual void SetCursor(EditorCursor cursor) = 0;
    // Node visibility, links, frame, panels: everything again.
    virtual void FullRedraw() = 0;
    // The node (with its links) is about to move or has moved: repaint where it was / is.
    virtual void NodeChanged(const TKuvio& node) = 0;
    // The rubber band or the active frame changed.
    virtual void OverlayChanged() = 0;
    virtual void ScrollBy(int dx, int dy) = 0;
    virtual void OpenProperties(TKuvio& node) = 0;
    // The modem properties form is shown: it follows the active node.
    virtual void ActiveNodeChanged(TKuvio* node) = 0;
    // The properties form is converting a node's type: presses on nodes do nothing meanwhile.
    virtual bool ConversionMode() const = 0;
    // A node may not be deleted now (a modem exchange works on the network); the host has said
    // why.
    virtual bool RefuseDelete() { return false; }
    virtual void ShowNodePopup(TKuvio& node, Point canvas) = 0;
    virtual void ShowCanvasPopup(Point canvas) = 0;
    // The canvas's visible part (for edge scrolling): width and height of the window's client
    // area, its scroll offset and whether the scroll ranges exceed it.
    struct View {
        int width = 0, height = 0;
        bool horizontalBar = false, verticalBar = false;
        int scrollX = 0, scrollY = 0;
    };
    virtual View CurrentView() const = 0;
    // The parameters of a type's default single-modem file (program folder), read into a new
    // node; nothing when there is none.
    virtual void LoadTypeDefaults(TKuvio& node) = 0;
};

// Enabling and captions of the menus when they open.
struct ModemMenuState {
    bool newModem = false, newMulti = false, newMobile = false;
    bool connect = false, deleteModem = false, copy = false, master = false;
    bool properties = false, printProperties = false, load = false, save = false;
    bool showRoute = false, receive = false, transmit = false;
    std::string showRouteCaption = "&Show route";
};
struct NodePopupState {
    bool connect = true, deleteModem = true, copy = true, deleteConnection = true;
    bool master = true, properties = true, showRoute = true, transmit = true, receive = true;
    bool convert = true;
    std::string showRouteCaption = "&Show route";
};
struct CanvasPopupState {
    bool newModem = true, newMulti = true, newMobile = true, redraw = true, properties = true;
};

class DesignerEditor {
  public:
    DesignerEditor(Network& network, EditorHost& host) : net_(network), host_(host) {}

    // --- state ---
    bool lineMode = false;
    bool placing = false;
    bool deleteMode = false;
    bool connectMode = false;
    bool copyMode = false;
    bool dragPending = false;
    bool propertiesAfterPlacing = false;
    Point grabPoint;
    Point pressPoint;  // node coordinates of the press that may start a drag
    std::optional<TypeEntry> lastTypeEntry;
    int scrollStep = 16;
    TKuvio* lineSource = nullptr;
    Point lineEnd;  // the rubber band runs from the source's centre to here (canvas)

    Point LastMouse() const { return {net_.lastMouseX, net_.lastMouseY}; }
    void SetLastMouse(Point p) {
        net_.lastMouseX = p.x;
        net_.lastMouseY = p.y;
    }
    // Centre of the node's picture: label position + (15, 44).
    static Point Centre(const TKuvio& node) {
        return {node.LabelLeft() + 15, node.LabelTop() + 44};
    }

    // --- commands ---
    // A new node from a type entry; fromMainMenu puts its label at (15, 25), otherwise at the
    // canvas pop-up's point less (15, 25).
    TKuvio& CreateNode(const TypeEntry& entry, bool fromMainMenu);
    void StartLine(TKuvio& source);  // "&Connect" of the node pop-up
    void EnterConnectMode();         // "C&onnect"
    void EnterDeleteMode();          // "&Delete"
    void EnterCopyMode();            // "&Copy"
    void EndPlacing();
    void DeleteWithQuestion(TKuvio* node);
    void CopyNode(TKuvio* node);
    void SetMaster(TKuvio* node);
    void ToggleMobileView();
    void ResetCursors();
    // Selection: the active node becomes node (the frame moves).
    void Select(TKuvio* node);
    // Drops every reference to a node about to go away (null: the whole network).
    void Forget(const TKuvio* node);

    // --- mouse (canvas coordinates) ---
    void PressNode(TKuvio& node, MouseButton button, Point canvas);
    void MoveOverNode(TKuvio& node, Point canvas);
    void ReleaseOnNode(TKuvio& node, MouseButton button, Point canvas);
    void DoubleClickNode(TKuvio& node);
    void PressCanvas(MouseButton button, Point canvas);
    void MoveOverCanvas(Point canvas);
    void ReleaseOnCanvas(MouseButton button, Point canvas);

    // --- keys ---
    void KeyEnter();
    void KeyEscape();
    void KeyDelete();
    void KeyInsert();

    // --- menus ---
    ModemMenuState ModemMenu(bool anyType, bool portOpen) const;
    NodePopupState NodePopup(const TKuvio& node, bool portOpen, bool securityLevelNine) const;
    CanvasPopupState CanvasPopup(bool anyType) const;
    // "&Hide route" when the node's panel is shown, else "&Show route".
    std::string ShowRouteCaption(const TKuvio& node) const;

  private:
    void StartPlacing(TKuvio& node, Point grab);
    void OpenPropertiesFor(TKuvio* node);
    void EdgeScrollCanvas(Point canvas);
    void EdgeScrollNode(const TKuvio& node);
    void EndLine();
    void MoveBand(Point canvas);

    Network& net_;
    EditorHost& host_;
    bool ignoreRelease_ = false;
};

}  // namespace kelmor::designer
