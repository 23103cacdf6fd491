#pragma once

#include <QRect>
#include <optional>

class QWidget;

namespace client {

// The main window's default place and size, restored by "Reset Screen Location".
inline constexpr QRect DefaultWindowBounds{3, 3, 783, 512};

// Outer bounds of a top-level window: frame position and frame size.
QRect outerBounds(const QWidget& window);
void setOuterBounds(QWidget& window, const QRect& bounds);

// Shows a side window centred on the main window, in front.
void showCentredOn(QWidget& window, const QWidget& main);

// Brings a window to the front, restored first if it was minimized; a
// maximized window stays maximized. A second start of the game wakes the
// first this way.
void bringToFront(QWidget& window);

// The bounds to store when the window closes, or nothing when they equal the
// saved ones. A window wider (taller) than the work area is stored 15 pixels
// narrower (lower) than it is, once, not until it fits.
std::optional<QRect> boundsToSave(const QRect& window, const QRect& saved, const QRect& workArea);

} // namespace client
