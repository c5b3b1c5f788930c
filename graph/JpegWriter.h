#pragma once
// Baseline JPEG encoding of a picture with libjpeg.

#include <QByteArray>

class QImage;

namespace velk {

// Longest side libjpeg writes (its JPEG_MAX_DIMENSION).
inline constexpr int MaxJpegSide = 65500;

// Encodes `image` as a baseline JPEG of the given quality (1..100). Raises EgraphexError
// when libjpeg refuses.
QByteArray EncodeJpeg(const QImage& image, int quality);

} // namespace velk
