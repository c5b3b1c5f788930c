#pragma once
// Baseline JPEG encoding of a picture with libjpeg.

#include <QByteArray>

class QImage;

namespace velk {

// Encodes `image` as a baseline JPEG of the given quality (1..100). Raises EgraphexError
// when libjpeg refuses.
QByteArray EncodeJpeg(const QImage& image, int quality);

} // namespace velk
