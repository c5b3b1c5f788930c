#include "graph/GraphPicture.h"

#include <algorithm>

#include <QMouseEvent>
#include <QPainter>

#include "graph/GraphExport.h"

namespace velk {

TGraphPicture::TGraphPicture(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TGraphPicture::Rebuild(const QSize& size) {
    // Assigned in place: the graph keeps pointing at the same QImage object.
    image_ = NewGraphPicture(std::max(size.width(), 1), std::max(size.height(), 1), Qt::white);
    resize(image_.size());
    update();
}

void TGraphPicture::InvertRectangle(const QPoint& a, const QPoint& b) {
    const int x1 = std::min(a.x(), b.x()), x2 = std::max(a.x(), b.x());
    const int y1 = std::min(a.y(), b.y()), y2 = std::max(a.y(), b.y());
    if (a == b) return; // the drag's starting point: no rectangle yet
    std::vector<QPoint> pixels;
    for (int x = x1; x <= x2; ++x) {
        pixels.emplace_back(x, y1);
        if (y2 != y1) pixels.emplace_back(x, y2);
    }
    for (int y = y1 + 1; y < y2; ++y) {
        pixels.emplace_back(x1, y);
        if (x2 != x1) pixels.emplace_back(x2, y);
    }
    // Exclusive-or with white inverts; each pixel of the outline is listed once.
    QPainter painter(&image_);
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setPen(QPen(Qt::white, 1));
    painter.drawPoints(pixels.data(), static_cast<int>(pixels.size()));
    painter.end();
    update();
}

void TGraphPicture::InvertCircle(int x, int y) {
    QPainter painter(&image_);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setPen(QPen(Qt::white, 2));
    painter.setBrush(Qt::NoBrush);
    // The box leaves out its right and bottom edges: 11 pixels wide and high.
    painter.drawEllipse(QRect(x - 5, y - 5, 10, 10));
    painter.end();
    update();
}

void TGraphPicture::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.drawImage(event->rect().topLeft(), image_, event->rect());
}

void TGraphPicture::mouseMoveEvent(QMouseEvent* event) {
    if (OnMouseMove)
        OnMouseMove(Qt::NoButton, event->buttons(), event->modifiers(),
                    event->position().toPoint().x(), event->position().toPoint().y());
}

void TGraphPicture::mousePressEvent(QMouseEvent* event) {
    if (OnMouseDown)
        OnMouseDown(event->button(), event->buttons(), event->modifiers(),
                    event->position().toPoint().x(), event->position().toPoint().y());
}

void TGraphPicture::mouseReleaseEvent(QMouseEvent* event) {
    if (OnMouseUp)
        OnMouseUp(event->button(), event->buttons(), event->modifiers(),
                  event->position().toPoint().x(), event->position().toPoint().y());
}

} // namespace velk
