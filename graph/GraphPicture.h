#pragma once
// The drawing surface of a graph window: a widget that owns the graph's picture (a 96-dpi
// QImage, the resolution exported pictures have), shows it, hands its mouse events on, and
// draws the zoom rectangle and the pick circle over it in inverting mode.

#include <functional>

#include <QImage>
#include <QWidget>

namespace velk {

class TGraphPicture : public QWidget {
    Q_OBJECT
public:
    using TMouseHandler = std::function<void(Qt::MouseButton button, Qt::MouseButtons buttons,
                                             Qt::KeyboardModifiers keys, int x, int y)>;

    explicit TGraphPicture(QWidget* parent);

    // The picture the graph draws on; its address stays the same for the widget's life.
    QImage& Image() { return image_; }
    // Replaces the picture by a blank one of `size` (the widget takes that size too).
    void Rebuild(const QSize& size);

    // Inverts the outline of the rectangle with corners a and b, each pixel once, so that
    // drawing it twice gives the picture back. A rectangle of one point is empty.
    void InvertRectangle(const QPoint& a, const QPoint& b);
    // Inverts a circle of pen width 2 in the box (x - 5, y - 5) to (x + 6, y + 6).
    void InvertCircle(int x, int y);

    TMouseHandler OnMouseMove;
    TMouseHandler OnMouseDown;
    TMouseHandler OnMouseUp;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage image_;
};

} // namespace velk
