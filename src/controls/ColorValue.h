#pragma once

#include <QColor>
#include <cstdint>

namespace controls {

// A colour as the windows' layouts give it: 0x00BBGGRR.
inline QColor colorValue(std::uint32_t value) {
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

} // namespace controls
