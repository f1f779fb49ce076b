#pragma once
// The designer's drawing area: paints the network with the graph painter, finds the node under
// the mouse and hands mouse and key events to the editor. It sits in a scroll area; its size
// follows the drawing.
#include <QWidget>

#include "designer/editor.h"
#include "designer/paint/graphpainter.h"

namespace kelmor::designer::ui {

class Tpiirtopohja;

class DesignerCanvas : public QWidget {
    Q_OBJECT
  public:
    explicit DesignerCanvas(Tpiirtopohja& window);

    // The node drawn at the point (the one being placed first, then the topmost).
    TKuvio* NodeAt(QPoint canvas) const;
    // The style the canvas paints with (screen scale, the window's view and active node).
    paint::GraphStyle Style() const;
    // Repaints the node and every link that touches it.
    void UpdateNode(const TKuvio& node);
    void UpdateOverlay();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    bool Alive(const TKuvio* node) const;
    Tpiirtopohja& window_;
    TKuvio* pressNode_ = nullptr;  // the node that holds the mouse while a button is down
    bool buttonDown_ = false;
    QRect bandRect_;   // where the rubber band was last drawn
    QRect frameRect_;  // where the active frame was last drawn
};

}  // namespace kelmor::designer::ui
