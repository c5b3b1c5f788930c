// Pictures written by RenderToFile: sizes, JPEG quality, scaled margins, settings put back.

#include <array>
#include <cstdio>

#include <jpeglib.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "graph/Graphex.h"
#include "tests/TestSupport.h"

using velk::EgraphexError;
using velk::Tgraphex;

namespace {

using TQuantTables = std::array<std::array<unsigned, 64>, 2>;

TQuantTables TablesOf(JQUANT_TBL* const* tables) {
    TQuantTables out{};
    for (int t = 0; t < 2; ++t)
        for (int i = 0; tables[t] != nullptr && i < 64; ++i)
            out[t][i] = tables[t]->quantval[i];
    return out;
}

// The luminance and chrominance tables libjpeg makes for a quality.
TQuantTables TablesForQuality(int quality) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    const TQuantTables out = TablesOf(cinfo.quant_tbl_ptrs);
    jpeg_destroy_compress(&cinfo);
    return out;
}

// Size, progressive flag and tables of a JPEG file as libjpeg reads them.
std::tuple<QSize, bool, TQuantTables> ReadJpegHeader(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    std::tuple<QSize, bool, TQuantTables> out;
    if (jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK)
        out = {QSize(static_cast<int>(cinfo.image_width), static_cast<int>(cinfo.image_height)),
               cinfo.progressive_mode != 0, TablesOf(cinfo.quant_tbl_ptrs)};
    jpeg_destroy_decompress(&cinfo);
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
        EXPECT_EQ((std::array{g_.ImageWidth, g_.ImageHeight, g_.UnitWidth, g_.MarginX, g_.MarginY,
                              g_.BorderWidth, g_.AxesWidth, g_.TickLengthX, g_.TickLengthY,
                              g_.AxisFontSize, g_.CurveFontSize}),
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
        const auto [decodedSize, progressive, tables] = ReadJpegHeader(path);
        EXPECT_EQ(decodedSize, size);
        EXPECT_FALSE(progressive);
        EXPECT_EQ(tables, TablesForQuality(80));
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
        try {
            g_.RenderToFile(path, kind, width, height);
            ADD_FAILURE() << "no error for " << name;
        } catch (const EgraphexError& e) {
            EXPECT_TRUE(e.Message().startsWith(QString::fromLatin1(text))) << e.what();
            EXPECT_TRUE(e.Message().endsWith(text) || e.Message().contains(path)) << e.what();
        }
        EXPECT_FALSE(QFile::exists(path));
        EXPECT_EQ(g_.AxisFontSize, fontAfter) << name;
    }
    ExpectWindowSettingsBack();
}

} // namespace
