#include "designer/ui/designercanvas.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include "designer/ui/piirtopohja.h"

namespace kelmor::designer::ui {

namespace {

MouseButton ButtonOf(Qt::MouseButton b) {
    if (b == Qt::RightButton) return MouseButton::Right;
    if (b == Qt::MiddleButton) return MouseButton::Middle;
    return MouseButton::Left;
}

Point PointOf(const QMouseEvent* e) {
    QPoint p = e->position().toPoint();
    return {p.x(), p.y()};
}

}  // namespace

DesignerCanvas::DesignerCanvas(Tpiirtopohja& window) : QWidget(nullptr), window_(window) {
    setObjectName("Canvas");
    setAccessibleName("Network drawing");
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

paint::GraphStyle DesignerCanvas::Style() const {
    paint::GraphStyle style;
    style.font = window_.font();
    style.mobileView = window_.net_.mobileView;
    style.activeNode = window_.net_.activeNode;
    style.textColor = palette().color(QPalette::WindowText);
    style.background = palette().color(QPalette::Base);
    return style;
}

TKuvio* DesignerCanvas::NodeAt(QPoint p) const {
    const Network& net = window_.net_;
    const paint::GraphStyle style = Style();
    auto hits = [&](const TKuvio& node) {
        if (!paint::NodeShown(node, style)) return false;
        const int x = node.LabelLeft(), y = node.LabelTop();
        if (p.y() < y || p.y() >= y + kLabelHeight + 50 || p.x() < x) return false;
        if (p.x() < x + 30) return true;
        // Beside the picture only the label (when wider than the picture) is the node.
        return p.y() < y + kLabelHeight && !node.name.empty() &&
               p.x() < x + QFontMetrics(style.font)
                               .horizontalAdvance(QString::fromLatin1(node.name.c_str()));
    };
    if (window_.editor_.placing && net.currentNode && hits(*net.currentNode)) {
        return net.currentNode;
    }
    for (auto it = net.nodes.rbegin(); it != net.nodes.rend(); ++it) {
        if (hits(**it)) return it->get();
    }
    return nullptr;
}

bool DesignerCanvas::Alive(const TKuvio* node) const {
    return node && window_.net_.IndexOf(node) >= 0;
}

void DesignerCanvas::UpdateNode(const TKuvio& node) {
    const paint::GraphStyle style = Style();
    QRect dirty = paint::NodeRect(node, style).adjusted(-3, -3, 3, 3);
    if (&node == style.activeNode)
        dirty = dirty.united(paint::FrameRect(node, style).adjusted(-2, -2, 2, 2));
    if (const TKuvio* parent = paint::LinkParent(node, style)) {
        dirty = dirty.united(paint::LinkRect(*parent, node, style));
    }
    for (const auto& other : window_.net_.nodes) {
        if (paint::LinkParent(*other, style) == &node) {
            dirty = dirty.united(paint::LinkRect(node, *other, style));
        }
    }
    window_.GrowCanvas(dirty);
    update(dirty);
}

void DesignerCanvas::UpdateOverlay() {
    const DesignerEditor& ed = window_.editor_;
    QRect band;
    if (ed.lineMode && ed.lineSource) {
        Point c = DesignerEditor::Centre(*ed.lineSource);
        band = QRect(QPoint(c.x, c.y), QPoint(ed.lineEnd.x, ed.lineEnd.y))
                   .normalized()
                   .adjusted(-2, -2, 2, 2);
    }
    QRect frame;
    if (const TKuvio* active = window_.net_.activeNode) {
        frame = paint::FrameRect(*active, Style()).adjusted(-3, -3, 3, 3);
    }
    update(bandRect_.united(band));
    update(frameRect_.united(frame));
    bandRect_ = band;
    frameRect_ = frame;
}

void DesignerCanvas::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().color(QPalette::Window));
    paint::GraphStyle style = Style();
    style.clip = event->rect();
    paint::PaintNetwork(painter, window_.net_, style);
    const DesignerEditor& ed = window_.editor_;
    if (ed.lineMode && ed.lineSource) {
        Point c = DesignerEditor::Centre(*ed.lineSource);
        painter.setPen(QPen(style.textColor, 0, style.mobileView ? Qt::DotLine : Qt::SolidLine));
        painter.drawLine(QPoint(c.x, c.y), QPoint(ed.lineEnd.x, ed.lineEnd.y));
    }
}

void DesignerCanvas::mousePressEvent(QMouseEvent* event) {
    setFocus();
    const Point p = PointOf(event);
    TKuvio* node = NodeAt(event->position().toPoint());
    pressNode_ = node;
    buttonDown_ = true;
    if (node) {
        window_.editor_.PressNode(*node, ButtonOf(event->button()), p);
    } else {
        window_.editor_.PressCanvas(ButtonOf(event->button()), p);
    }
    window_.UpdateMenus();
}

void DesignerCanvas::mouseMoveEvent(QMouseEvent* event) {
    const Point p = PointOf(event);
    // While a button is down the node it went down on gets the moves, as a captured mouse.
    TKuvio* node =
        buttonDown_ && Alive(pressNode_) ? pressNode_ : NodeAt(event->position().toPoint());
    if (node) {
        window_.editor_.MoveOverNode(*node, p);
    } else {
        window_.editor_.MoveOverCanvas(p);
    }
}

void DesignerCanvas::mouseReleaseEvent(QMouseEvent* event) {
    const Point p = PointOf(event);
    TKuvio* node = buttonDown_ ? pressNode_ : NodeAt(event->position().toPoint());
    buttonDown_ = false;
    pressNode_ = nullptr;
    if (!Alive(node)) node = nullptr;
    // A node following the mouse is placed by the release wherever the press began.
    if (window_.editor_.placing && window_.net_.currentNode) node = window_.net_.currentNode;
    if (node) {
        window_.editor_.ReleaseOnNode(*node, ButtonOf(event->button()), p);
    } else {
        window_.editor_.ReleaseOnCanvas(ButtonOf(event->button()), p);
    }
    window_.UpdateMenus();
}

void DesignerCanvas::mouseDoubleClickEvent(QMouseEvent* event) {
    TKuvio* node = NodeAt(event->position().toPoint());
    if (node && event->button() == Qt::LeftButton) {
        pressNode_ = node;
        buttonDown_ = true;
        window_.editor_.DoubleClickNode(*node);
    } else {
        mousePressEvent(event);
    }
}

void DesignerCanvas::keyPressEvent(QKeyEvent* event) {
    DesignerEditor& ed = window_.editor_;
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            ed.KeyEnter();
            break;
        case Qt::Key_Escape:
            ed.KeyEscape();
            break;
        case Qt::Key_Delete:
            ed.KeyDelete();
            break;
        case Qt::Key_Insert:
            ed.KeyInsert();
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    window_.UpdateMenus();
}

}  // namespace kelmor::designer::ui
