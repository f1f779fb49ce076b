#include "designer/editor.h"

#include <algorithm>
#include <cstdlib>

namespace kelmor::designer {

namespace {

constexpr int kDragThreshold = 5;

Point Local(const TKuvio& node, Point canvas) {
    return {canvas.x - node.LabelLeft(), canvas.y - node.LabelTop()};
}

}  // namespace

TKuvio& DesignerEditor::CreateNode(const TypeEntry& entry, bool fromMainMenu) {
    if (fromMainMenu) SetLastMouse({30, 50});
    // A node still following the mouse stays where it is; the new one takes over.
    if (placing && net_.currentNode) {
        host_.NodeChanged(*net_.currentNode);
        net_.currentNode->dragging = false;
    }
    placing = false;
    const Point at = LastMouse();
    TKuvio& node = net_.NewNode(entry.kind, entry.name, at.x - 15, at.y - 25);
    if (net_.singleModemMode) node.name.clear();
    SetLastMouse({15, 25});
    propertiesAfterPlacing = true;
    if (!lastTypeEntry || !(*lastTypeEntry == entry)) host_.LoadTypeDefaults(node);
    lastTypeEntry = entry;
    StartPlacing(node, {15, 25});
    host_.ActiveNodeChanged(&node);
    host_.NodeChanged(node);
    host_.OverlayChanged();
    return node;
}

void DesignerEditor::StartPlacing(TKuvio& node, Point grab) {
    node.dragging = true;
    placing = true;
    grabPoint = grab;
    host_.SetCursor(EditorCursor::SizeAll);
}

void DesignerEditor::EndPlacing() {
    TKuvio* node = net_.currentNode;
    if (node) node->dragging = false;
    placing = false;
    ResetCursors();
    net_.modified = true;
    host_.FullRedraw();
    if (propertiesAfterPlacing && node) {
        propertiesAfterPlacing = false;
        OpenPropertiesFor(node);
    } else {
        net_.currentNode = nullptr;
    }
}

void DesignerEditor::OpenPropertiesFor(TKuvio* node) {
    if (node) host_.OpenProperties(*node);
    net_.currentNode = nullptr;
}

void DesignerEditor::ResetCursors() { host_.SetCursor(EditorCursor::Default); }

void DesignerEditor::StartLine(TKuvio& source) {
    lineMode = true;
    lineSource = &source;
    net_.currentNode = &source;
    const Point centre = Centre(source);
    SetLastMouse(centre);
    lineEnd = centre;
    host_.SetCursor(EditorCursor::Connect);
    host_.OverlayChanged();
}

void DesignerEditor::EndLine() {
    lineMode = false;
    lineSource = nullptr;
    host_.OverlayChanged();
}

void DesignerEditor::EnterConnectMode() {
    connectMode = true;
    deleteMode = copyMode = false;
    host_.SetCursor(EditorCursor::Connect);
}

void DesignerEditor::EnterDeleteMode() {
    deleteMode = true;
    connectMode = copyMode = false;
    host_.SetCursor(EditorCursor::Delete);
}

void DesignerEditor::EnterCopyMode() {
    copyMode = true;
    connectMode = deleteMode = false;
    host_.SetCursor(EditorCursor::Copy);
}

void DesignerEditor::Forget(const TKuvio* node) {
    if (!node) {
        // The whole network goes.
        lineMode = placing = dragPending = false;
        lineSource = nullptr;
        return;
    }
    if (lineSource == node) {
        lineMode = false;
        lineSource = nullptr;
    }
    if (placing && net_.currentNode == node) placing = false;
}

void DesignerEditor::DeleteWithQuestion(TKuvio* node) {
    if (!node || host_.RefuseDelete()) return;
    net_.currentNode = node;
    const bool wasPlacing = placing && net_.currentNode == node;
    if (wasPlacing) placing = false;
    Forget(node);
    if (!net_.DeleteNode(node)) {
        net_.currentNode = nullptr;
        if (wasPlacing) placing = true;
        return;
    }
    if (net_.singleModemMode) {
        net_.singleFileName = "default.ssf";
        net_.title = "Setup single modem : " + net_.singleFileName;
    }
    host_.ActiveNodeChanged(net_.activeNode);
    host_.FullRedraw();
}

void DesignerEditor::CopyNode(TKuvio* node) {
    if (!node) return;
    TKuvio* copy = net_.CopyNode(node);
    if (!copy) return;
    propertiesAfterPlacing = true;
    StartPlacing(*copy, {15, 25});
    host_.ActiveNodeChanged(copy);
    host_.NodeChanged(*copy);
    host_.OverlayChanged();
}

void DesignerEditor::SetMaster(TKuvio* node) {
    if (!node) return;
    net_.SetMaster(node);
    host_.FullRedraw();
}

void DesignerEditor::ToggleMobileView() {
    net_.mobileView = !net_.mobileView;
    if (!net_.mobileView && net_.activeNode && net_.activeNode->isMobile) {
        Select(nullptr);
    }
    net_.routesDirty = true;
    host_.FullRedraw();
}

void DesignerEditor::Select(TKuvio* node) {
    if (net_.activeNode == node) return;
    net_.activeNode = node;
    host_.OverlayChanged();
    host_.ActiveNodeChanged(node);
}

void DesignerEditor::PressNode(TKuvio& node, MouseButton button, Point canvas) {
    if (host_.ConversionMode()) return;
    if (button == MouseButton::Right) {
        if (placing) EndPlacing();
        if (lineMode) EndLine();
        net_.currentNode = &node;
        Select(&node);
        host_.ShowNodePopup(node, canvas);
        return;
    }
    if (deleteMode) {
        deleteMode = copyMode = false;
        ResetCursors();
        DeleteWithQuestion(&node);  // the node may be gone now
        net_.routesDirty = true;
        Select(nullptr);
        return;
    }
    if (copyMode) {
        net_.currentNode = &node;
        copyMode = deleteMode = false;
        SetLastMouse(canvas);
        CopyNode(&node);
        // The copy follows the mouse until the next click, not until this click's release.
        ignoreRelease_ = true;
        net_.routesDirty = true;
        return;  // the copy is the active node, following the mouse
    }
    if (connectMode) {
        net_.currentNode = &node;
        if (node.isMobile) {
            connectMode = false;
            net_.prompter.Message(kMobileInRouteText);
            net_.currentNode = nullptr;
            ResetCursors();
        } else {
            StartLine(node);
        }
    } else if (!lineMode && !placing) {
        dragPending = true;
        pressPoint = Local(node, canvas);
    }
    Select(&node);
    deleteMode = copyMode = false;
}

void DesignerEditor::MoveOverNode(TKuvio& node, Point canvas) {
    if (placing && net_.currentNode) {
        TKuvio& moving = *net_.currentNode;
        host_.NodeChanged(moving);
        moving.MoveTo(std::max(0, canvas.x - grabPoint.x), std::max(0, canvas.y - grabPoint.y));
        host_.NodeChanged(moving);
        EdgeScrollNode(moving);
    } else if (dragPending && &node == net_.activeNode) {
        const Point local = Local(node, canvas);
        if (std::abs(local.x - pressPoint.x) > kDragThreshold ||
            std::abs(local.y - pressPoint.y) > kDragThreshold) {
            dragPending = false;
            net_.currentNode = &node;
            propertiesAfterPlacing = false;
            StartPlacing(node, pressPoint);
            MoveOverNode(node, canvas);
        }
    } else {
        EdgeScrollNode(node);
    }
    if (lineMode) MoveBand(canvas);
}

void DesignerEditor::ReleaseOnNode(TKuvio& node, MouseButton button, Point canvas) {
    (void)canvas;
    dragPending = false;
    if (ignoreRelease_) {
        ignoreRelease_ = false;
        return;
    }
    if (placing && (button == MouseButton::Left || button == MouseButton::Right)) {
        EndPlacing();
        return;
    }
    if (!lineMode || !lineSource) return;
    if (&node != lineSource) net_.Connect(lineSource, &node);
    host_.FullRedraw();
    if (!connectMode) {
        EndLine();
        net_.currentNode = nullptr;
        ResetCursors();
    }
    connectMode = false;
}

void DesignerEditor::DoubleClickNode(TKuvio& node) {
    if (host_.ConversionMode()) return;
    dragPending = false;
    net_.currentNode = &node;
    OpenPropertiesFor(&node);
}

void DesignerEditor::PressCanvas(MouseButton button, Point canvas) {
    if (button != MouseButton::Right) return;
    SetLastMouse(canvas);
    host_.ShowCanvasPopup(canvas);
}

void DesignerEditor::MoveOverCanvas(Point canvas) {
    if (placing && net_.currentNode) {
        TKuvio& moving = *net_.currentNode;
        host_.NodeChanged(moving);
        moving.MoveTo(std::max(0, canvas.x - grabPoint.x), std::max(0, canvas.y - grabPoint.y));
        host_.NodeChanged(moving);
    }
    if (lineMode) MoveBand(canvas);
    EdgeScrollCanvas(canvas);
}

void DesignerEditor::ReleaseOnCanvas(MouseButton button, Point canvas) {
    (void)canvas;
    dragPending = false;
    if (ignoreRelease_) {
        ignoreRelease_ = false;
        return;
    }
    if (placing) {
        // The node sits at the edge of the canvas, away from the mouse: it is placed there.
        EndPlacing();
        return;
    }
    ResetCursors();
    connectMode = deleteMode = false;
    if (button == MouseButton::Left && lineMode) {
        EndLine();
        net_.currentNode = nullptr;
        host_.FullRedraw();
    }
}

void DesignerEditor::MoveBand(Point canvas) {
    lineEnd = canvas;
    host_.OverlayChanged();
}

void DesignerEditor::EdgeScrollCanvas(Point canvas) {
    const EditorHost::View v = host_.CurrentView();
    const int x = canvas.x - v.scrollX;
    const int y = canvas.y - v.scrollY;
    int dx = 0, dy = 0;
    if (x > v.width - (v.horizontalBar ? 16 : 0) - scrollStep) {
        dx = scrollStep;
    } else if (x < scrollStep) {
        dx = -scrollStep;
    }
    if (y + 24 > v.height - (v.verticalBar ? 40 : 24) - scrollStep) {
        dy = scrollStep;
    } else if (y < scrollStep) {
        dy = -scrollStep;
    }
    if (dx || dy) host_.ScrollBy(dx, dy);
}

void DesignerEditor::EdgeScrollNode(const TKuvio& node) {
    const EditorHost::View v = host_.CurrentView();
    const int x = node.LabelLeft() - v.scrollX;
    const int y = node.LabelTop() - v.scrollY;
    int dx = 0, dy = 0;
    if (v.width < x + 30) {
        dx = 30;
    } else if (x < scrollStep) {
        dx = -30;
    }
    if (v.height < y + 50) {
        dy = 50;
    } else if (y < scrollStep) {
        dy = -50;
    }
    if (dx || dy) host_.ScrollBy(dx, dy);
}

void DesignerEditor::KeyEnter() {
    if (net_.currentNode && placing) {
        EndPlacing();
    } else if (net_.activeNode) {
        OpenPropertiesFor(net_.activeNode);
    }
}

void DesignerEditor::KeyEscape() {
    ResetCursors();
    connectMode = deleteMode = copyMode = false;
    if (TKuvio* node = net_.activeNode) {
        node->HideVirtualRoutes();
        node->HideSourceRoutes();
    }
    host_.FullRedraw();
}

void DesignerEditor::KeyDelete() {
    if (net_.activeNode) DeleteWithQuestion(net_.activeNode);
}

void DesignerEditor::KeyInsert() {
    if (lastTypeEntry) CreateNode(*lastTypeEntry, false);
}

std::string DesignerEditor::ShowRouteCaption(const TKuvio& node) const {
    const bool shown = net_.properties.IsVirtualRouting()
                           ? node.VirtualRoutesShown()
                           : &node == net_.masterNode && node.SourceRoutesShown();
    return shown ? "&Hide route" : "&Show route";
}

ModemMenuState DesignerEditor::ModemMenu(bool anyType, bool portOpen) const {
    ModemMenuState s;
    const bool single = net_.singleModemMode;
    const bool empty = net_.nodes.empty();
    // The creation entries keep their state unless a rule below sets them.
    s.newModem = s.newMulti = anyType;
    if (TKuvio* a = net_.activeNode) {
        s.deleteModem = s.properties = s.printProperties = s.load = s.save = true;
        s.master = !a->isMobile && !a->isMulti && !a->isMaster;
        if (single) {
            s.connect = s.copy = s.master = s.showRoute = false;
            s.newModem = anyType && empty;
            s.newMulti = anyType && empty;
        } else {
            s.connect = s.copy = s.showRoute = true;
            s.showRouteCaption = ShowRouteCaption(*a);
        }
    } else {
        if (single || empty) {
            s.connect = s.deleteModem = false;
            s.newModem = anyType;
        }
        s.deleteModem = !empty;
        s.connect = !single && !empty;
        s.master = s.properties = s.showRoute = s.receive = s.transmit = false;
        s.printProperties = s.copy = s.load = s.save = false;
        if (single) s.newModem = s.newMulti = anyType && empty;
    }
    s.newMobile = !single && net_.mobileView && anyType;
    s.receive = s.transmit = !portOpen && net_.activeNode != nullptr;
    return s;
}

NodePopupState DesignerEditor::NodePopup(const TKuvio& node, bool portOpen,
                                         bool securityLevelNine) const {
    NodePopupState s;
    if (net_.singleModemMode) {
        s.connect = s.showRoute = s.copy = s.master = s.deleteConnection = false;
    } else {
        s.connect = !node.isMobile;
        s.master = !node.isMobile && !node.isMulti && !node.isMaster;
        s.showRouteCaption = ShowRouteCaption(node);
        s.transmit = !portOpen;
    }
    s.convert = !securityLevelNine;
    return s;
}

CanvasPopupState DesignerEditor::CanvasPopup(bool anyType) const {
    CanvasPopupState s;
    if (net_.singleModemMode) {
        s.newModem = s.newMulti = anyType && net_.nodes.empty();
        s.newMobile = s.properties = false;
    } else {
        s.newModem = s.newMulti = anyType;
        s.newMobile = anyType && net_.mobileView;
    }
    return s;
}

}  // namespace kelmor::designer
