#pragma once

#include <QByteArray>
#include <QImage>

namespace windows {

// Decodes a JPEG picture with libjpeg. A null image when the data is not a
// whole JPEG picture or is larger than MaxJpegPixels.
QImage decodeJpeg(const QByteArray& data);

// The largest picture decoded: far above any window's picture, far below
// what would strain the memory.
constexpr qint64 MaxJpegPixels = 16 * 1024 * 1024;

} // namespace windows
