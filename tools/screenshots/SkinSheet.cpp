#include "SkinSheet.h"

#include "controls/HoverLabel.h"
#include "controls/SelButton.h"
#include "controls/SkinArt.h"
#include "controls/SkinCheckBox.h"
#include "controls/SkinPanel.h"
#include "controls/SkinSpeedButton.h"
#include "controls/TiledBackground.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>

using controls::SkinArt;

namespace {

constexpr int SheetWidth = 800;

QLabel* picture(QWidget* parent, const QString& name, QPoint at, QSize size = QSize()) {
    auto* label = new QLabel(parent);
    const QSize shown = size.isValid() ? size : SkinArt::designSize(name);
    label->setGeometry(QRect(at, shown));
    label->setPixmap(SkinArt::pixmap(name, shown, parent));
    return label;
}

QLabel* caption(QWidget* parent, const QString& text, QRect where, QColor colour, int pixels,
                bool bold = true, Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(where);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->setAlignment(align);
    return label;
}

void buildBoard(QWidget* board) {
    picture(board, QStringLiteral("table-felt"), {0, 0});
    picture(board, QStringLiteral("keep-tray"), {425, 1});
    // Three dice on the table at their design places, two kept in the tray.
    const std::array<QPoint, 3> table = {QPoint(379, 210), QPoint(323, 250), QPoint(355, 250)};
    const std::array<int, 3> tableFaces = {4, 2, 6};
    for (int die = 0; die < 3; ++die)
        picture(board, SkinArt::dieName(tableFaces[die], tableFaces[die] == 4), table[die],
                {32, 32});
    picture(board, SkinArt::dieName(5, false), {438, 18}, {32, 32});
    picture(board, SkinArt::dieName(5, false), {438, 50}, {32, 32});
    picture(board, QStringLiteral("bonus-plate"), {0, 0});
    picture(board, SkinArt::dieName(4, true), {4, 4}, {32, 32});
    // The roll button as the windows build it: a speed button showing a
    // strip of pictures, without edges of its own.
    auto* roll = new TSkinSpeedButton(board);
    roll->setGeometry(382, 285, 99, 24);
    roll->setTransparentMode(TSkinSpeedButton::tmAlways);
    for (const auto& set : {&TSkinSpeedButton::setColorBorder, &TSkinSpeedButton::setColorHighLight,
                            &TSkinSpeedButton::setColorShadow})
        (roll->*set)(Qt::transparent);
    roll->setGlyph(SkinArt::strip({"button-roll", "button-roll", "button-roll-down", "button-roll"},
                                  {99, 24}, board));
    roll->setNumGlyphs(4);
    picture(board, QStringLiteral("winner-banner"), {100, 63});
    caption(board, QStringLiteral("Ann and Kling have Won the Game!"), {18, 101, 401, 26},
            QColor(SkinArt::Gold), 19, true, Qt::AlignCenter);
    caption(board, QStringLiteral("Klot tagged a Full House +25"), {1, 292, 381, 18},
            QColor(SkinArt::Cream), 13, true, Qt::AlignCenter);
}

void buildScorecard(QWidget* card) {
    card->setAutoFillBackground(true);
    QPalette palette = card->palette();
    palette.setColor(QPalette::Window, QColor(SkinArt::Ivory));
    card->setPalette(palette);
    caption(card, QStringLiteral("Round: 3"), {6, 50, 92, 18}, QColor(SkinArt::Ink), 12);
    caption(card, QStringLiteral("Rolls"), {120, 50, 40, 18}, QColor(SkinArt::Ink), 12, false);
    for (int mark = 1; mark <= 3; ++mark)
        picture(card, QStringLiteral("roll-mark-%1").arg(mark), {158 + (mark - 1) * 22, 49});
    caption(card, QStringLiteral("Ann's Turn"), {2, 72, 277, 20}, QColor(SkinArt::Maroon), 14, true,
            Qt::AlignCenter);
    const QStringList names = {"Ann", "Klot", "Kling", "Klick"};
    for (int seat = 0; seat < 4; ++seat) {
        caption(card, names[seat], {97 + seat * 46, 20, 45, 18},
                QColor(seat % 2 ? SkinArt::Maroon : SkinArt::Leaf), 12, true, Qt::AlignCenter);
    }
    picture(card, QStringLiteral("eyes"), {97 + 3 * 46 + 11, 4});
    picture(card, QStringLiteral("turn-arrow"), {97 + 17, 8});
    const QStringList rows = {"Ones", "Twos", "Threes", "Fours", "Fives", "Sixes"};
    for (int row = 0; row < rows.size(); ++row) {
        auto* label = new THoverLabel(rows[row], card);
        label->setGeometry(2, 96 + row * 19, 93, 19);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(12);
        font.setBold(true);
        label->setFont(font);
        QPalette maroon = label->palette();
        maroon.setColor(QPalette::WindowText, QColor(SkinArt::Maroon));
        label->setPalette(maroon);
        if (row == 2) {
            // How a caption looks under the mouse.
            label->setAutoFillBackground(true);
            maroon.setColor(QPalette::Window, Qt::white);
            maroon.setColor(QPalette::WindowText, QColor(SkinArt::Leaf));
            label->setPalette(maroon);
        }
        for (int seat = 0; seat < 4; ++seat)
            caption(card, QString::number((row + 1) * ((seat + row) % 4 + 1)),
                    {97 + seat * 46, 96 + row * 19, 45, 19}, QColor(SkinArt::Ink), 13, false,
                    Qt::AlignCenter);
    }
}

void buildControls(QWidget* preview) {
    for (int button = 1; button <= 10; ++button) {
        auto* speed = new TSkinSpeedButton(preview);
        speed->setGeometry(488 + (button - 1) * 27, 430, 25, 19);
        speed->setColor(QColor(SkinArt::Ivory));
        speed->setGlyph(SkinArt::phraseGlyph(button, preview));
    }
    picture(preview, QStringLiteral("site-badge"), {368, 426});
    auto* entry = new TSkinPanel(preview);
    entry->setGeometry(0, 426, 366, 22);
    entry->setColor(Qt::white);
    entry->setCaption(QStringLiteral("<Enter Chat Here>"));
    entry->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    auto* chat = new TSkinPanel(preview);
    chat->setGeometry(0, 313, 483, 110);
    chat->setColor(QColor(0xCC, 0xC8, 0xB3));
    chat->setCaption(QStringLiteral("Ann chats: good luck everyone!"));
    chat->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

QWidget* buildPreview(QWidget* sheet) {
    auto* preview = new QWidget(sheet);
    preview->setGeometry(8, 8, 775, 466);
    auto* board = new QWidget(preview);
    board->setGeometry(0, 0, 484, 312);
    buildBoard(board);
    auto* card = new QWidget(preview);
    card->setGeometry(484, 0, 281, 426);
    buildScorecard(card);
    buildControls(preview);
    return preview;
}

void buildCatalogue(QWidget* sheet) {
    int x = 10;
    int y = 10;
    int rowHeight = 0;
    for (const QString& name : SkinArt::names()) {
        QSize size = SkinArt::designSize(name);
        if (name == QLatin1String("table-felt"))
            size = size / 2; // the whole table is in the preview
        const int width = qMax(size.width(), 76);
        if (x + width + 8 > SheetWidth - 10) {
            x = 10;
            y += rowHeight + 30;
            rowHeight = 0;
        }
        auto* card = new TSkinPanel(sheet);
        card->setColor(QColor(SkinArt::Ivory));
        card->setGeometry(x, y, width + 8, size.height() + 24);
        picture(card, name, {4 + (width - size.width()) / 2, 4}, size);
        caption(card, name, {2, size.height() + 6, width + 4, 14}, QColor(SkinArt::Ink), 9, false,
                Qt::AlignCenter);
        x += width + 16;
        rowHeight = qMax(rowHeight, size.height());
    }
    sheet->resize(SheetWidth, y + rowHeight + 34);
}

QImage grabbed(QWidget& sheet) {
    sheet.show();
    QCoreApplication::processEvents();
    return sheet.grab().toImage();
}

} // namespace

QImage skinPreview() {
    QWidget sheet;
    sheet.resize(775 + 16, 466 + 16);
    auto* background = new TTiledBackground(&sheet);
    background->setImage(SkinArt::pixmap(QStringLiteral("background-tile"), &sheet));
    buildPreview(&sheet);
    return grabbed(sheet);
}

QImage skinSheet() {
    // A plain ground: the wood is in the preview, and a flat picture stays small.
    QWidget sheet;
    sheet.resize(SheetWidth, 1000);
    sheet.setAutoFillBackground(true);
    QPalette ground = sheet.palette();
    ground.setColor(QPalette::Window, QColor(0x3e, 0x22, 0x10));
    sheet.setPalette(ground);
    buildCatalogue(&sheet);
    return grabbed(sheet);
}
