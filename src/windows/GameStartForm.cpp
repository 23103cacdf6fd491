#include "windows/GameStartForm.h"

#include "controls/SkinArt.h"
#include "controls/SkinCheckBox.h"
#include "controls/SkinSpeedButton.h"
#include "controls/TiledBackground.h"
#include "platform/ExceptionHandler.h"
#include "windows/WindowLook.h"

#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>

using controls::SkinArt;

namespace {

TSkinCheckBox* optionBox(const QString& name, const QString& caption, int top, QWidget* parent) {
    auto* box = new TSkinCheckBox(parent);
    box->setObjectName(name);
    box->setCaption(caption);
    box->setGeometry(58, top, 150, 17);
    box->setTransparent(true);
    box->setColor(QColor::fromRgba(SkinArt::Ivory));
    box->setColorFocused(Qt::white);
    box->setColorDown(QColor::fromRgba(SkinArt::Paper));
    box->setColorCheck(QColor::fromRgba(SkinArt::Leaf));
    box->setColorBorder(QColor::fromRgba(SkinArt::Gold));
    QPalette colours = box->palette();
    colours.setColor(QPalette::WindowText, QColor::fromRgba(SkinArt::Cream));
    box->setPalette(colours);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    font.setBold(true);
    box->setFont(font);
    box->setCursor(Qt::PointingHandCursor);
    return box;
}

} // namespace

Tgamestartform::Tgamestartform(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("gamestartform"));
    setWindowTitle(QStringLiteral("Dunvex - Start Game"));
    setWindowIcon(SkinArt::windowIcon());
    setFixedSize(250, 124);
    TiledBackground1 = windows::tiledBackground(this);

    // The felt sits inside a rim of the backdrop's wood.
    panel_main = new QFrame(this);
    panel_main->setObjectName(QStringLiteral("panel_main"));
    panel_main->setGeometry(6, 6, 238, 112);
    panel_main->setStyleSheet(
        QStringLiteral("#panel_main { border: 1px solid %1; border-radius: 6px; background:"
                       " qradialgradient(cx:0.5, cy:0.4, radius:0.9, stop:0 %2, stop:1 %3); }")
            .arg(QColor::fromRgba(SkinArt::WoodLight).name(),
                 QColor::fromRgba(SkinArt::Felt).name(),
                 QColor::fromRgba(SkinArt::FeltDark).name()));

    team = optionBox(QStringLiteral("team"), QStringLiteral("Team Game"), 14, panel_main);
    bonus = optionBox(QStringLiteral("bonus"), QStringLiteral("Bonus Dice Game"), 40, panel_main);

    button_start = new TSkinSpeedButton(panel_main);
    button_start->setObjectName(QStringLiteral("button_start"));
    button_start->setGeometry(69, 74, 99, 24);
    button_start->setTransparentMode(TSkinSpeedButton::tmAlways);
    button_start->setColorBorder(Qt::transparent);
    button_start->setColorHighLight(Qt::transparent);
    button_start->setColorShadow(Qt::transparent);
    button_start->setCursor(Qt::PointingHandCursor);
    button_start->setToolTip(QStringLiteral("Start"));
    const QString start = QStringLiteral("button-start");
    button_start->setGlyph(SkinArt::strip({start, start, start + "-down", start}, {99, 24}, this));
    button_start->setNumGlyphs(4);
    connect(button_start, &TSkinSpeedButton::clicked, this, &Tgamestartform::button_startClick);
}

void Tgamestartform::button_startClick() {
    // A failed start is reported by the error box; the dialog goes away anyway.
    if (onStartGame)
        platform::runGuarded([this] { onStartGame(bonus->Checked(), team->Checked()); });
    hide();
}

// Start only hides the dialog; closing it by its frame or Esc gives up the start.
void Tgamestartform::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (isVisible() && onClosedWithoutStart)
        platform::runGuarded([this] { onClosedWithoutStart(); });
}

void Tgamestartform::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        close();
    else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        button_startClick(); // Start is the dialog's default button
    else
        QWidget::keyPressEvent(event);
}
