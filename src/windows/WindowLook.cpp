#include "windows/WindowLook.h"

#include "controls/SelButton.h"
#include "controls/SkinArt.h"
#include "controls/TiledBackground.h"

#include <QColor>

using controls::SkinArt;

namespace {

QString colourName(QRgb rgb) {
    return QColor::fromRgba(rgb).name();
}

} // namespace

namespace windows {

TTiledBackground* tiledBackground(QWidget* form) {
    auto* background = new TTiledBackground(form);
    background->setObjectName(QStringLiteral("TiledBackground1"));
    background->setImage(SkinArt::pixmap(QStringLiteral("background-tile"), form));
    return background;
}

TSelButton* selButton(const QString& name, const QString& caption, QWidget* parent) {
    auto* button = new TSelButton(parent);
    button->setObjectName(name);
    button->setCaption(caption);
    button->setAlignment(Qt::AlignCenter);
    button->setColor(QColor(0x4A, 0x2A, 0x12));
    button->setFontColor(QColor::fromRgba(SkinArt::Cream));
    button->setColorBorder(QColor::fromRgba(SkinArt::WoodLight));
    button->setColorOver(QColor::fromRgba(SkinArt::Gold));
    button->setColorDown(QColor(0xC9, 0x8A, 0x1C));
    button->setColorOverCaption(QColor::fromRgba(SkinArt::Ink));
    QFont font = button->font();
    font.setBold(true);
    font.setPointSize(9);
    button->setFont(font);
    button->setFixedSize(105, 22);
    return button;
}

QString onWood(int pixelSize, bool bold) {
    return QStringLiteral("color: %1; font: %2 %3px Arial; background: transparent;")
        .arg(colourName(SkinArt::Cream), bold ? "bold" : "normal")
        .arg(pixelSize);
}

QString lightPanel(const QString& selector) {
    return QStringLiteral(
               "%1 { background: %2; color: %3; border: 2px solid %4; border-radius: 3px; }"
               "%1 QScrollBar:vertical { background: %5; width: 14px; margin: 0; border: none; }"
               "%1 QScrollBar::handle:vertical { background: %4; min-height: 28px;"
               " border-radius: 5px; margin: 2px; }"
               "%1 QScrollBar::handle:vertical:hover { background: %6; }"
               "%1 QScrollBar::add-line:vertical, %1 QScrollBar::sub-line:vertical { height: 0; }"
               "%1 QScrollBar::add-page:vertical, %1 QScrollBar::sub-page:vertical {"
               " background: none; }"
               "%1::indicator { width: 11px; height: 11px; border: 1px solid %4;"
               " border-radius: 2px; background: white; }"
               "%1::indicator:checked { background: %7; border-color: %7; }")
        .arg(selector, colourName(SkinArt::Ivory), colourName(SkinArt::Ink),
             colourName(SkinArt::WoodLight), QColor(0xE4, 0xD8, 0xB8).name(),
             colourName(SkinArt::Wood), colourName(SkinArt::Leaf));
}

} // namespace windows
