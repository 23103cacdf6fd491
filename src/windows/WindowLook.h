#pragma once

#include <QString>

class QWidget;
class TSelButton;
class TTiledBackground;

// The look the side windows share with the player window: its wood backdrop,
// cream writing on it and wooden buttons that light up gold.
namespace windows {

// The backdrop of `form`, drawn with the player window's tile until the
// program copies the player window's own picture in.
TTiledBackground* tiledBackground(QWidget* form);

// A flat button such as "Done", centred caption, at its design size 105 x 20.
TSelButton* selButton(const QString& name, const QString& caption, QWidget* parent);

// Style sheet text for writing on the wood.
QString onWood(int pixelSize, bool bold);

// Style sheet text for a light page, list or edit framed in wood, with a
// scroll bar that stands out from it.
QString lightPanel(const QString& selector);

} // namespace windows
