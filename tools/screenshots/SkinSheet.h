#pragma once

#include <QImage>

// A picture of the game's art: a table laid out with it at the windows'
// design sizes, then every piece by name.
QImage skinSheet(qreal devicePixelRatio);
