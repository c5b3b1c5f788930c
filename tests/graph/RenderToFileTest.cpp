// Pictures written by RenderToFile: sizes, JPEG quality, scaled margins, settings put back.

#include <array>
#include <cstdio>
#include <memory>

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

// The luminance and chrominance tables libjpeg makes for a quality.
std::array<std::array<unsigned, 64>, 2> TablesForQuality(int quality) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    std::array<std::array<unsigned, 64>, 2> tables{};
    for (int t = 0; t < 2; ++t)
        for (int i = 0; i < 64; ++i)
            tables[t][i] = cinfo.quant_tbl_ptrs[t]->quantval[i];
    jpeg_destroy_compress(&cinfo);
    return tables;
}

struct TDecodedJpeg {
    int width = 0, height = 0;
    bool progressive = true;
    std::array<std::array<unsigned, 64>, 2> tables{};
};

TDecodedJpeg ReadJpegHeader(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    TDecodedJpeg out;
    if (jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK) {
        out.width = static_cast<int>(cinfo.image_width);
        out.height = static_cast<int>(cinfo.image_height);
        out.progressive = cinfo.progressive_mode;
        for (int t = 0; t < 2; ++t)
            if (cinfo.quant_tbl_ptrs[t] != nullptr)
                for (int i = 0; i < 64; ++i)
                    out.tables[t][i] = cinfo.quant_tbl_ptrs[t]->quantval[i];
    }
    jpeg_destroy_decompress(&cinfo);
    return out;
}

// A small graph whose window picture is 400 x 300, with settings the operator changed.
class RenderToFile : public ::testing::Test {
protected:
    RenderToFile() : surface_(400, 300, QImage::Format_RGB32) {
        g_.SetSurface(&surface_);
        for (int k = 1; k <= 20; ++k) {
            g_.SetX(k, k);
            g_.SetY(1, k, k * k);
        }
        g_.TiedPoints[1] = true;
        g_.MarginX = 40;
        g_.MarginY = 30;
        g_.BorderWidth = 3;
        g_.AxesWidth = 2;
        g_.AxisFontSize = 12;
        g_.CurveFontSize = 11;
        g_.TickLengthX = 4;
        g_.TickLengthY = 6;
    }

    void ExpectWindowSettingsBack() {
        EXPECT_EQ(g_.Canvas(), &surface_);
        EXPECT_FALSE(g_.OffscreenRendering);
        EXPECT_EQ(g_.ImageWidth, 400);
        EXPECT_EQ(g_.ImageHeight, 300);
        EXPECT_EQ(g_.Scale, 1.0);
        EXPECT_EQ(g_.UnitWidth, 1);
        EXPECT_EQ(g_.MarginX, 40);
        EXPECT_EQ(g_.MarginY, 30);
        EXPECT_EQ(g_.BorderWidth, 3);
        EXPECT_EQ(g_.AxesWidth, 2);
        // Tick lengths and font sizes return to their defaults, whatever they were.
        EXPECT_EQ(g_.TickLengthX, 10);
        EXPECT_EQ(g_.TickLengthY, 10);
        EXPECT_EQ(g_.AxisFontSize, 8);
        EXPECT_EQ(g_.CurveFontSize, 7);
    }

    QTemporaryDir dir_;
    QImage surface_;
    Tgraphex g_;
};

TEST_F(RenderToFile, JpegHasTheAskedSizeAndQuality80Tables) {
    const QString path = dir_.filePath("graph.jpg");
    surface_.fill(Qt::cyan);
    g_.RenderToFile(path, 2, 700, 500);
    EXPECT_EQ(surface_.pixel(200, 150), QColor(Qt::cyan).rgb()) << "window picture untouched";
    const TDecodedJpeg jpeg = ReadJpegHeader(path);
    EXPECT_EQ(jpeg.width, 700);
    EXPECT_EQ(jpeg.height, 500);
    EXPECT_FALSE(jpeg.progressive);
    EXPECT_EQ(jpeg.tables, TablesForQuality(80));
    EXPECT_NE(jpeg.tables, TablesForQuality(75));
    ExpectWindowSettingsBack();
}

TEST_F(RenderToFile, BmpIs24BitWithScaledMarginsAndFrame) {
    const QString path = dir_.filePath("graph.bmp");
    g_.RenderToFile(path, 1, 700, 500);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray header = file.read(30);
    EXPECT_EQ(header.left(2), "BM");
    EXPECT_EQ(static_cast<unsigned char>(header[28]), 24) << "bits per pixel";
    file.close();
    const QImage back(path);
    ASSERT_EQ(back.size(), QSize(700, 500));
    // Margins of a tenth of the picture: the frame runs from (70, 50) to (630, 450).
    const QRgb black = qRgb(0, 0, 0);
    EXPECT_EQ(back.pixel(350, 450), black);
    EXPECT_EQ(back.pixel(70, 250), black);
    EXPECT_EQ(back.pixel(350, 50), black);
    EXPECT_NE(back.pixel(350, 451), black);
    ExpectWindowSettingsBack();
}

TEST_F(RenderToFile, HeightSixHundredDrawsAtScaleOneWithTenthMargins) {
    const QString path = dir_.filePath("big.bmp");
    g_.RenderToFile(path, 1, 800, 600);
    const QImage back(path);
    ASSERT_EQ(back.size(), QSize(800, 600));
    EXPECT_EQ(back.pixel(400, 540), qRgb(0, 0, 0)); // bottom edge at 600 - 60
    EXPECT_EQ(back.pixel(80, 300), qRgb(0, 0, 0));  // left edge at 800 / 10
}

TEST_F(RenderToFile, UnwritableFileFailsCleanlyAndPutsSettingsBack) {
    const QString path = dir_.filePath("missing-folder/graph.jpg");
    try {
        g_.RenderToFile(path, 2, 700, 500);
        FAIL() << "no error";
    } catch (const EgraphexError& e) {
        EXPECT_TRUE(e.Message().startsWith("Unable to write the picture file ")) << e.what();
        EXPECT_TRUE(e.Message().contains(path)) << e.what();
    }
    EXPECT_FALSE(QFile::exists(path));
    ExpectWindowSettingsBack();
}

TEST_F(RenderToFile, ExistingFileIsReplacedWhole) {
    const QString path = dir_.filePath("graph.bmp");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(5'000'000, 'x'));
    }
    g_.RenderToFile(path, 1, 300, 200);
    EXPECT_EQ(QImage(path).size(), QSize(300, 200));
    EXPECT_LT(QFile(path).size(), 5'000'000);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files).size(), 1) << "no temporary left";
}

TEST_F(RenderToFile, BadSizeOrKindIsRefusedBeforeAnythingChanges) {
    struct Case {
        int kind, width, height;
        const char* text;
    };
    const Case cases[] = {
        {1, 0, 500, "Picture size must be positive: 0 x 500"},
        {2, 700, -1, "Picture size must be positive: 700 x -1"},
        {3, 700, 500, "Unknown picture kind: 3"},
    };
    for (const auto& c : cases) {
        const QString path = dir_.filePath("refused.bmp");
        try {
            g_.RenderToFile(path, c.kind, c.width, c.height);
            ADD_FAILURE() << c.text;
        } catch (const EgraphexError& e) {
            EXPECT_EQ(e.Message(), c.text);
        }
        EXPECT_FALSE(QFile::exists(path));
        EXPECT_EQ(g_.AxisFontSize, 12) << "settings untouched";
    }
}

TEST_F(RenderToFile, TinyPictureStillRendersWithFontsOfAtLeastOnePoint) {
    // Height 30: scale 0.05, unit width 0, font sizes round to 0 and 1.
    const QString path = dir_.filePath("tiny.jpg");
    g_.RenderToFile(path, 2, 40, 30);
    const TDecodedJpeg jpeg = ReadJpegHeader(path);
    EXPECT_EQ(jpeg.width, 40);
    EXPECT_EQ(jpeg.height, 30);
    ExpectWindowSettingsBack();
}

} // namespace
