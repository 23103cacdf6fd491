#pragma once

#include <QImage>

// A table laid out with the game's art at the windows' design sizes and
// with the skinned controls, on the tiled background.
QImage skinPreview();
// Every piece of the art by name, each on a card of its own.
QImage skinSheet();
