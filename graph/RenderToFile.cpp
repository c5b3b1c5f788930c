// Off-screen drawing of a graph and its BMP and JPEG files.

#include <QBuffer>
#include <QImage>

#include "common/WholeFile.h"
#include "graph/AxisScale.h"
#include "graph/GraphExport.h"
#include "graph/Graphex.h"
#include "graph/JpegWriter.h"

namespace velk {

namespace {

constexpr int DefaultTickLength = 10;
constexpr int DefaultAxisFontSize = 8;
constexpr int DefaultCurveFontSize = 7;
constexpr int JpegQuality = 80;
constexpr qint64 MaxPicturePixels = qint64{1} << 28; // 1 GiB at 4 bytes a pixel

} // namespace

TOffscreenRendering::TOffscreenRendering(Tgraphex& graph, QPaintDevice* target, int width,
                                         int height, double scale)
    : graph_(graph), marginX_(graph.MarginX), marginY_(graph.MarginY),
      borderWidth_(graph.BorderWidth), axesWidth_(graph.AxesWidth) {
    Tgraphex& g = graph_;
    g.DirectDrawingTo(target, QSize(width, height));
    g.OffscreenRendering = true;
    g.Scale = scale;
    g.UnitWidth = RoundToInt(scale);
    g.MarginX = width / 10;
    g.MarginY = height / 10;
    g.BorderWidth = RoundToInt(g.UnitWidth * 0.5);
    g.AxesWidth = g.UnitWidth;
    g.TickLengthX = g.TickLengthY = RoundToInt(DefaultTickLength * scale);
    g.AxisFontSize = RoundToInt(g.AxisFontSize * scale);
    g.CurveFontSize = RoundToInt(g.CurveFontSize * scale);
}

TOffscreenRendering::~TOffscreenRendering() {
    Tgraphex& g = graph_;
    g.DirectDrawingTo(g.Surface(), g.SurfaceSize());
    g.OffscreenRendering = false;
    g.Scale = 1.0;
    g.UnitWidth = 1;
    g.MarginX = marginX_;
    g.MarginY = marginY_;
    g.BorderWidth = borderWidth_;
    g.AxesWidth = axesWidth_;
    g.TickLengthX = g.TickLengthY = DefaultTickLength;
    g.AxisFontSize = DefaultAxisFontSize;
    g.CurveFontSize = DefaultCurveFontSize;
    if (paperColours_) {
        const TColours& c = *paperColours_;
        g.BackgroundColor = c.background;
        g.BorderColor = c.border;
        g.AxesColor = c.axes;
        g.OriginColor = c.origin;
        g.GridColor = c.grid;
    }
}

void TOffscreenRendering::ForPaper(double f) {
    Tgraphex& g = graph_;
    if (!paperColours_)
        paperColours_ =
            TColours{g.BackgroundColor, g.BorderColor, g.AxesColor, g.OriginColor, g.GridColor};
    g.BackgroundColor = ColorWhite;
    g.BorderColor = g.AxesColor = g.OriginColor = g.GridColor = ColorBlack;
    if (f < 0.3) {
        g.AxisFontSize = RoundToInt(DefaultAxisFontSize * f * 1.7);
        g.CurveFontSize = RoundToInt(DefaultCurveFontSize * f * 1.7);
    } else if (f < 0.6) {
        g.AxisFontSize = RoundToInt(DefaultAxisFontSize * f * 2);
        g.CurveFontSize = RoundToInt(DefaultCurveFontSize * f * 2);
    } else {
        g.AxisFontSize = DefaultAxisFontSize;
        g.CurveFontSize = DefaultCurveFontSize;
    }
}

void Tgraphex::RenderToFile(const QString& fileName, int kind, int width, int height) {
    if (kind != 1 && kind != 2)
        throw EgraphexError(QStringLiteral("Unknown picture kind: ") + QString::number(kind));
    if (width <= 0 || height <= 0)
        throw EgraphexError(QStringLiteral("Picture size must be positive: ") +
                            QString::number(width) + QStringLiteral(" x ") +
                            QString::number(height));
    if (kind == 2 && (width > MaxJpegSide || height > MaxJpegSide))
        throw EgraphexError(
            QStringLiteral("A JPEG picture is at most %1 pixels wide and high: ").arg(MaxJpegSide) +
            QString::number(width) + QStringLiteral(" x ") + QString::number(height));
    // Larger pictures are refused before any allocation: a failed one of many gigabytes may
    // not come back as a null picture but end the program.
    const bool tooLarge = static_cast<qint64>(width) * height > MaxPicturePixels;
    // The outline leaves a band of UnitWidth pixels unpainted; it shows the background.
    QImage picture =
        tooLarge ? QImage() : NewGraphPicture(width, height, ToQColor(BackgroundColor));
    if (picture.isNull())
        throw EgraphexError(QStringLiteral("Not enough memory for a picture of ") +
                            QString::number(width) + QStringLiteral(" x ") +
                            QString::number(height));
    {
        TOffscreenRendering offscreen(*this, &picture, width, height, height / 600.0);
        Paint();
    }

    QByteArray bytes;
    if (kind == 1) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!picture.save(&buffer, "BMP"))
            throw EgraphexError(QStringLiteral("Unable to encode the picture as BMP"));
    } else {
        bytes = EncodeJpeg(picture, JpegQuality);
    }
    if (const auto failure = WriteWholeFile(fileName, bytes))
        throw EgraphexError(QStringLiteral("Unable to write the picture file ") + fileName +
                            QStringLiteral(" : ") + *failure);
}

} // namespace velk
