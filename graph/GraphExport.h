#pragma once
// Pictures of a graph made outside its window: the large clipboard picture and the printed
// page. Each draws with the window's painter on another surface and puts every painter
// setting back afterwards, also when it fails.

#include <QImage>
#include <QString>

class QPrinter;

namespace velk {

class Tgraphex;

// A picture of width x height at 96 dpi (the window's pictures and the exported ones share
// it, so fonts come out the same size) filled with `fill`; null when it cannot be had.
QImage NewGraphPicture(int width, int height, const QColor& fill);

// 2000 x 1500 picture drawn at a scale relative to the window's picture (1500 / its height).
QImage RenderHiresPicture(Tgraphex& g);

// One landscape page: the picture takes `percent` of the printable area from its top-left
// corner, on a white background with black lines. Raises EgraphexError when the printer
// cannot print.
void PrintGraph(Tgraphex& g, QPrinter& printer, int percent);

} // namespace velk
