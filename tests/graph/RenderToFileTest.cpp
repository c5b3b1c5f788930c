// Pictures written by RenderToFile: sizes, JPEG quality, scaled margins, settings put back.

#include <array>

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>

#include "graph/Graphex.h"
#include "tests/TestSupport.h"

using velk::EgraphexError;
using velk::Tgraphex;

namespace {

// The bodies of the header segments of a JPEG with this marker, up to the first scan:
// 0xDB the quantisation tables, 0xC0 the baseline frame.
QByteArray Segments(const QByteArray& jpeg, char marker) {
    QByteArray out;
    for (qsizetype at = 2; at + 4 <= jpeg.size() && jpeg[at] == '\xFF' && jpeg[at + 1] != '\xDA';) {
        const int length =
            (static_cast<uchar>(jpeg[at + 2]) << 8) | static_cast<uchar>(jpeg[at + 3]);
        if (jpeg[at + 1] == marker) out += jpeg.mid(at + 4, length - 2);
        at += 2 + length;
    }
    return out;
}

// A graph whose window picture is 400 x 300, with settings the operator changed.
class RenderToFile : public ::testing::Test {
protected:
    RenderToFile() : surface_(400, 300, QImage::Format_RGB32) {
        g_.SetSurface(&surface_);
        for (int k = 1; k <= 20; ++k) {
            g_.SetX(k, k);
            g_.SetY(1, k, k * k);
        }
        g_.TiedPoints[1] = true;
        g_.MarginX = 40, g_.MarginY = 30, g_.BorderWidth = 3, g_.AxesWidth = 2;
        g_.AxisFontSize = 12, g_.CurveFontSize = 11, g_.TickLengthX = 4, g_.TickLengthY = 6;
    }

    // Everything the window draws with is back; tick lengths and fonts at their defaults.
    void ExpectWindowSettingsBack() {
        EXPECT_EQ(g_.Canvas(), &surface_);
        EXPECT_FALSE(g_.OffscreenRendering);
        EXPECT_EQ(g_.Scale, 1.0);
        EXPECT_EQ((std::array{g_.SurfaceSize().width(), g_.SurfaceSize().height(), g_.UnitWidth,
                              g_.MarginX, g_.MarginY, g_.BorderWidth, g_.AxesWidth, g_.TickLengthX,
                              g_.TickLengthY, g_.AxisFontSize, g_.CurveFontSize}),
                  (std::array{400, 300, 1, 40, 30, 3, 2, 10, 10, 8, 7}));
    }

    QTemporaryDir dir_;
    QImage surface_;
    Tgraphex g_;
};

TEST_F(RenderToFile, JpegIsBaselineOfTheAskedSizeWithQuality80Tables) {
    for (const QSize size : {QSize(700, 500), QSize(40, 30)}) { // 40 x 30: fonts round to 0
        const QString path = dir_.filePath("graph.jpg");
        surface_.fill(Qt::cyan);
        g_.RenderToFile(path, 2, size.width(), size.height());
        EXPECT_EQ(surface_.pixel(200, 150), QColor(Qt::cyan).rgb()) << "window picture drawn on";
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray jpeg = file.readAll();
        EXPECT_EQ(QImage::fromData(jpeg).size(), size);
        EXPECT_FALSE(Segments(jpeg, '\xC0').isEmpty()) << "not baseline";
        QBuffer quality80; // the tables libjpeg makes for quality 80
        QImageWriter writer(&quality80, "jpeg");
        writer.setQuality(80);
        ASSERT_TRUE(writer.write(QImage(size, QImage::Format_RGB32)));
        EXPECT_EQ(Segments(jpeg, '\xDB'), Segments(quality80.data(), '\xDB'));
        ExpectWindowSettingsBack();
    }
}

TEST_F(RenderToFile, BmpIs24BitWithMarginsOfATenthAndReplacesAnOldFile) {
    const QString path = dir_.filePath("graph.bmp");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(5'000'000, 'x'));
    }
    // Frame at a tenth of the picture each side: left column, bottom row.
    for (const auto& [size, left, bottom] :
         {std::tuple{QSize(700, 500), 70, 450}, std::tuple{QSize(800, 600), 80, 540}}) {
        g_.RenderToFile(path, 1, size.width(), size.height());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray header = file.read(30);
        EXPECT_EQ(header.left(2), "BM");
        EXPECT_EQ(header[28], 24) << "bits per pixel";
        EXPECT_LT(file.size(), 5'000'000) << "old file not replaced whole";
        const QImage back(path);
        ASSERT_EQ(back.size(), size);
        EXPECT_EQ(back.pixel(size.width() / 2, bottom), qRgb(0, 0, 0));
        EXPECT_NE(back.pixel(size.width() / 2, bottom - 1), qRgb(0, 0, 0));
        EXPECT_EQ(back.pixel(left, size.height() / 2), qRgb(0, 0, 0));
        ExpectWindowSettingsBack();
    }
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files).size(), 1) << "a temporary file left";
    // At scale 333 circles of size 100 are far larger than the picture, and than memory.
    g_.PointType[1] = 2;
    g_.PointSize[1] = 100;
    g_.RenderToFile(path, 1, 10, 200000);
    EXPECT_EQ(QImage(path).size(), QSize(10, 200000));
}

TEST_F(RenderToFile, FailuresLeaveNoFileAndTheSettingsBack) {
    // Bad sizes and kinds are refused before anything changes (the operator's font stays 12);
    // a write failure comes after the drawing, which puts the defaults back.
    const std::tuple<const char*, int, int, int, const char*, int> cases[] = {
        {"refused.bmp", 1, 0, 500, "Picture size must be positive: 0 x 500", 12},
        {"refused.jpg", 2, 700, -1, "Picture size must be positive: 700 x -1", 12},
        {"refused.bmp", 3, 700, 500, "Unknown picture kind: 3", 12},
        {"huge.bmp", 1, 100000, 100000, "Not enough memory for a picture of 100000 x 100000", 12},
        {"tall.jpg", 2, 10, 200000,
         "A JPEG picture is at most 65500 pixels wide and high: 10 x 200000", 12},
        {"missing-folder/graph.jpg", 2, 700, 500, "Unable to write the picture file ", 8},
    };
    for (const auto& [name, kind, width, height, text, fontAfter] : cases) {
        const QString path = dir_.filePath(QString::fromLatin1(name));
        const QString message = velk::test::MessageOf<EgraphexError>(
            [&] { g_.RenderToFile(path, kind, width, height); });
        EXPECT_TRUE(message.startsWith(QString::fromLatin1(text))) << name;
        EXPECT_TRUE(message.endsWith(text) || message.contains(path)) << name;
        EXPECT_FALSE(QFile::exists(path));
        EXPECT_EQ(g_.AxisFontSize, fontAfter) << name;
    }
    ExpectWindowSettingsBack();
}

} // namespace
