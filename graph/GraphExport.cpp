#include "graph/GraphExport.h"

#include <QPageLayout>
#include <QPrinter>

#include "graph/AxisScale.h"
#include "graph/Graphex.h"

namespace velk {

namespace {

constexpr int HiresWidth = 2000;
constexpr int HiresHeight = 1500;
constexpr int DotsPerMeter96Dpi = 3780;

} // namespace

QImage NewGraphPicture(int width, int height, const QColor& fill) {
    QImage picture(width, height, QImage::Format_RGB32);
    if (picture.isNull()) return picture;
    picture.setDotsPerMeterX(DotsPerMeter96Dpi);
    picture.setDotsPerMeterY(DotsPerMeter96Dpi);
    picture.fill(fill);
    return picture;
}

QImage RenderHiresPicture(Tgraphex& g) {
    const int surfaceHeight = g.SurfaceSize().height();
    if (surfaceHeight <= 0)
        throw EgraphexError(QStringLiteral("The graph window has no picture to scale from"));
    QImage picture = NewGraphPicture(HiresWidth, HiresHeight, ToQColor(g.BackgroundColor));
    if (picture.isNull())
        throw EgraphexError(QStringLiteral("Not enough memory for a picture of 2000 x 1500"));
    TOffscreenRendering offscreen(g, &picture, HiresWidth, HiresHeight,
                                  static_cast<double>(HiresHeight) / surfaceHeight);
    g.Paint();
    return picture;
}

void PrintGraph(Tgraphex& g, QPrinter& printer, int percent) {
    const int surfaceHeight = g.SurfaceSize().height();
    if (surfaceHeight <= 0)
        throw EgraphexError(QStringLiteral("The graph window has no picture to scale from"));
    const double f = percent / 100.0;
    printer.setPageOrientation(QPageLayout::Landscape);
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    const int width = RoundToInt(page.width() * f);
    const int height = RoundToInt(page.height() * f);
    if (width <= 0 || height <= 0)
        throw EgraphexError(QStringLiteral("The printer has no printable area"));
    TOffscreenRendering paper(g, &printer, width, height, 0.5 * page.height() * f / surfaceHeight);
    paper.ForPaper(f);
    g.Paint();
    if (printer.printerState() == QPrinter::Error)
        throw EgraphexError(QStringLiteral("The page could not be printed"));
}

} // namespace velk
