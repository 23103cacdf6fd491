#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QStringList>

class QWidget;

namespace controls {

// The game's pictures, drawn from the vector art built into the program, at
// the size a window asks for and sharp at any display scaling. Pictures are
// cached per name, size and pixel ratio.
class SkinArt {
public:
    // The named piece at `logicalSize` for a screen of `devicePixelRatio`; a
    // null pixmap for an unknown name.
    static QPixmap pixmap(const QString& name, QSize logicalSize, qreal devicePixelRatio);
    // The same, at the pixel ratio of the screen `widget` is on.
    static QPixmap pixmap(const QString& name, QSize logicalSize, const QWidget* widget);
    // The piece at the size it was drawn for.
    static QPixmap pixmap(const QString& name, const QWidget* widget);

    // Pieces side by side, each at `logicalSize`: a glyph strip for a speed
    // button (up, disabled, pressed, latched).
    static QPixmap strip(const QStringList& names, QSize logicalSize, const QWidget* widget);

    // A die face 1..6, plain or in the bonus style, 32 by 32.
    static QPixmap dieFace(int face, bool bonus, const QWidget* widget);
    static QString dieName(int face, bool bonus);
    // The glyph of phrase button 1..10 (the tenth opens the sound menu).
    static QPixmap phraseGlyph(int button, const QWidget* widget);

    // The size a piece was drawn for; empty for an unknown name.
    static QSize designSize(const QString& name);
    static QStringList names();
    static QIcon windowIcon();

    // The theme's colours, for what the windows paint themselves.
    static constexpr QRgb Felt = 0xFF1D6B3A;      // the table
    static constexpr QRgb FeltDark = 0xFF0E4424;  // felt in shadow, dark panels
    static constexpr QRgb Wood = 0xFF6B3F1F;      // frames and the backdrop
    static constexpr QRgb WoodLight = 0xFFB07A45; // bevels and edges
    static constexpr QRgb Ivory = 0xFFFBF6E6;     // the scorecard and light panels
    static constexpr QRgb Paper = 0xFFF3EBD2;     // lines of the scorecard
    static constexpr QRgb Ink = 0xFF2B1B10;       // text on light ground
    static constexpr QRgb Maroon = 0xFF7A1F1F;    // category captions
    static constexpr QRgb Leaf = 0xFF1E7B34;      // hovered captions, own column
    static constexpr QRgb Gold = 0xFFE8B53A;      // the winner, the turn marker
    static constexpr QRgb Cream = 0xFFFFF3D6;     // text on felt and wood

private:
    static QString resourcePath(const QString& name);
};

} // namespace controls
