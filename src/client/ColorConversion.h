#pragma once

#include "net/ColorText.h"

#include <QColor>

namespace client {

inline QColor toQColor(TColor color) {
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

inline TColor fromQColor(const QColor& color) {
    return TColor(color.red()) | TColor(color.green()) << 8 | TColor(color.blue()) << 16;
}

} // namespace client
