#pragma once

#include <QString>

namespace controls {

// The typeface every caption of the game is drawn with, built into the
// program: a machine's own "Arial" may be any family of any width, and the
// layout is measured for Arial's metrics.
class SkinFont {
public:
    // A family with Arial's metrics, under the SIL Open Font License
    // (resources/fonts/LICENSE).
    static const QString Family;

    // Registers the built-in faces with the application, makes them the
    // application's font and has every font that asks for "Arial" take them.
    // Call once, after the application object exists and before the first
    // window; false when a face could not be read.
    static bool install();
};

} // namespace controls
