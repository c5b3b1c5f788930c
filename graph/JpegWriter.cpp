#include "graph/JpegWriter.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

#include <QImage>

#include "graph/GraphexError.h"

namespace velk {

namespace {

// libjpeg reports fatal errors through a callback that must not return; it jumps back to
// the encoder, which turns the message into an exception once libjpeg's state is released.
struct TJpegErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf escape;
    char message[JMSG_LENGTH_MAX];
};

void OnJpegError(j_common_ptr cinfo) {
    auto* errors = reinterpret_cast<TJpegErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, errors->message);
    std::longjmp(errors->escape, 1);
}

void OnJpegMessage(j_common_ptr, int) {}

} // namespace

static_assert(MaxJpegSide == JPEG_MAX_DIMENSION);

QByteArray EncodeJpeg(const QImage& image, int quality) {
    if (image.isNull() || image.width() <= 0 || image.height() <= 0)
        throw EgraphexError(QStringLiteral("Cannot make a JPEG of an empty picture"));
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);

    // Everything the jump may skip is set up before setjmp and released after it.
    jpeg_compress_struct cinfo{};
    TJpegErrorManager errors{};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = OnJpegError;
    errors.base.emit_message = OnJpegMessage;
    if (setjmp(errors.escape) != 0) {
        jpeg_destroy_compress(&cinfo);
        std::free(buffer);
        throw EgraphexError(QStringLiteral("JPEG encoding failed: ") +
                            QString::fromLocal8Bit(errors.message));
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(rgb.width());
    cinfo.image_height = static_cast<JDIMENSION>(rgb.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row =
            const_cast<JSAMPROW>(rgb.constScanLine(static_cast<int>(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    QByteArray bytes(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size));
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return bytes;
}

} // namespace velk
