#include "client/WindowBounds.h"

#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace client {

QRect outerBounds(const QWidget& window) {
    const QRect frame = window.frameGeometry();
    return {frame.topLeft(), frame.size()};
}

void setOuterBounds(QWidget& window, const QRect& bounds) {
    // Frame thickness is known only once the window manager has framed it.
    const QSize frameExtra = window.frameGeometry().size() - window.geometry().size();
    window.move(bounds.topLeft());
    window.resize(bounds.size() - frameExtra);
}

void showCentredOn(QWidget& window, const QWidget& main) {
    // A window gets its frame when it is first shown: measure it after that.
    window.show();
    const QSize size = window.frameGeometry().size();
    QPoint place = main.frameGeometry().center() - QPoint(size.width() / 2, size.height() / 2);
    // A main window near the top of the screen would push a taller side
    // window's title bar above it, where it could no longer be grabbed.
    if (const QScreen* screen = main.screen())
        place.setY(std::max(place.y(), screen->availableGeometry().top()));
    window.move(place);
    window.raise();
}

void bringToFront(QWidget& window) {
    if (window.isMinimized())
        window.showNormal();
    window.raise();
    window.activateWindow();
}

std::optional<QRect> boundsToSave(const QRect& window, const QRect& saved, const QRect& workArea) {
    if (window == saved)
        return std::nullopt;
    QRect stored = window;
    if (window.width() > workArea.width())
        stored.setWidth(window.width() - 15);
    if (window.height() > workArea.height())
        stored.setHeight(window.height() - 15);
    return stored;
}

} // namespace client
