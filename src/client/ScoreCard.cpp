#include "client/ScoreCard.h"

#include "client/ColorConversion.h"
#include "client/WindowZoom.h"
#include "controls/HoverLabel.h"
#include "controls/PlainLabel.h"
#include "controls/SkinArt.h"

#include <QLabel>

namespace {

// Rows from top to bottom; 0 is the grand total.
constexpr std::array<int, 16> RowOrder = {1, 2, 3, 4, 5, 6, 13, 14, 7, 8, 9, 10, 11, 12, 15, 0};
constexpr int CardTop = 96;
constexpr int RowHeight = 19;
constexpr int CaptionWidth = 95;
constexpr int ColumnWidth = 46;
constexpr int CardWidth = 277;

int rowTop(int row) {
    const auto at = std::find(RowOrder.begin(), RowOrder.end(), row);
    return CardTop + int(at - RowOrder.begin()) * RowHeight;
}

QColor skinColor(QRgb rgb) {
    return QColor::fromRgba(rgb);
}

QFont captionFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    font.setBold(true);
    return font;
}

QString cellStyle(TColor color, bool bold) {
    const QColor ink =
        color == clBlack ? skinColor(controls::SkinArt::Ink) : client::toQColor(color);
    return QStringLiteral("font: %1 13px Arial; color: %2;")
        .arg(bold ? "bold" : "normal", ink.name());
}

// Paler than any score, so a preview never reads as posted.
QString previewStyle() {
    return QStringLiteral("font: normal 13px Arial; color: rgba(0, 128, 0, 105);");
}

QString inkStyle(const char* font) {
    return QStringLiteral("font: %1 Arial; color: %2;")
        .arg(QLatin1String(font), skinColor(controls::SkinArt::Ink).name());
}

} // namespace

TScoreCard::TScoreCard(QWidget* parent)
    : QFrame(parent) {
    setObjectName(QStringLiteral("panel_scorecard"));
    // The zoom lays out what is inside, as in a plain panel.
    setProperty("zoomPanel", true);
}

int TScoreCard::columnLeft(int seat) {
    return CaptionWidth + 2 + (seat - 1) * ColumnWidth;
}

int TScoreCard::columnCentre(int seat) {
    return columnLeft(seat) + ColumnWidth / 2 - 1;
}

// Over each column the turn arrow (or, after the game, the crown) takes the
// left part and the just-watching eyes the right, so neither hides the other.
int TScoreCard::markLeft(int seat) {
    return columnLeft(seat) + 4;
}

int TScoreCard::eyesLeft(int seat) {
    return columnLeft(seat) + ColumnWidth - 25;
}

void TScoreCard::build(QObject* clicks, TWindowZoom* zoom) {
    using controls::SkinArt;
    m_zoom = zoom;
    setStyleSheet(QStringLiteral("#panel_scorecard { background: %1; border-left: 2px solid %2; }")
                      .arg(skinColor(SkinArt::Ivory).name(), skinColor(SkinArt::WoodLight).name()));
    buildHeading();
    buildColumnMarks();
    buildRows(clicks);
    buildIdleMarks();
}

void TScoreCard::buildHeading() {
    label_roundnum = new TPlainLabel(QStringLiteral("Round #"), this);
    label_roundnum->setObjectName(QStringLiteral("label_roundnum"));
    label_roundnum->setGeometry(6, 50, 92, 18);
    label_roundnum->setStyleSheet(inkStyle("bold 12px"));
    auto* rolls = new TPlainLabel(QStringLiteral("Rolls"), this);
    rolls->setGeometry(120, 50, 40, 18);
    rolls->setStyleSheet(inkStyle("12px"));
    for (int mark = 1; mark <= 3; ++mark) {
        auto* picture = new TPlainLabel(this);
        picture->setObjectName(QStringLiteral("image_rolls%1").arg(mark));
        picture->setGeometry(158 + (mark - 1) * 22, 49, 20, 20);
        picture->hide();
        image_rolls[mark] = picture;
    }
    label_turn = new TPlainLabel(QStringLiteral("Score Card"), this);
    label_turn->setObjectName(QStringLiteral("label_turn"));
    label_turn->setGeometry(2, 72, CardWidth, 20);
    label_turn->setAlignment(Qt::AlignCenter);
    label_turn->setStyleSheet(QStringLiteral("font: bold 14px Arial; color: %1;")
                                  .arg(skinColor(controls::SkinArt::Maroon).name()));
}

// The lines between rows and columns, the own column's tint and the frame of
// the column on turn: drawn under the cells.
void TScoreCard::buildColumnMarks() {
    const int height = 16 * RowHeight;
    for (int line = 1; line < 16; ++line) {
        auto* rule = new QFrame(this);
        rule->setGeometry(4, CardTop + line * RowHeight - 1, CardWidth - 4, 1);
        rule->setStyleSheet(QStringLiteral("background: %1;").arg(QColor(0xE4, 0xD8, 0xB8).name()));
    }
    for (int seat = 1; seat <= 4; ++seat) {
        auto* separator = new QFrame(this);
        separator->setGeometry(columnLeft(seat) - 2, CardTop, 1, height);
        separator->setStyleSheet(
            QStringLiteral("background: %1;").arg(QColor(0xC9, 0xB4, 0x8A).name()));
    }
    column_own = new QFrame(this);
    column_own->setObjectName(QStringLiteral("column_own"));
    column_own->setGeometry(columnLeft(1) - 1, CardTop - 1, ColumnWidth, height + 1);
    column_own->setStyleSheet(QStringLiteral("#column_own { background: rgba(30, 123, 52, 34); }"));
    column_own->hide();
    column_turn = new QFrame(this);
    column_turn->setObjectName(QStringLiteral("column_turn"));
    column_turn->setGeometry(columnLeft(1) - 2, CardTop - 2, ColumnWidth + 1, height + 3);
    column_turn->setStyleSheet(
        QStringLiteral("#column_turn { border: 2px solid %1; border-radius: 4px;"
                       " background: rgba(232, 181, 58, 40); }")
            .arg(skinColor(controls::SkinArt::Gold).name()));
    column_turn->hide();
    image_turn = new TPlainLabel(this);
    image_turn->setObjectName(QStringLiteral("image_turn"));
    image_turn->setGeometry(0, 37, 12, 10);
    image_turn->hide();
    for (int seat = 1; seat <= 4; ++seat) {
        auto* crown = new TPlainLabel(this);
        crown->setObjectName(QStringLiteral("image_crown%1").arg(seat));
        crown->setGeometry(markLeft(seat) - 4, 34, 20, 14);
        crown->hide();
        image_crown[seat] = crown;
    }
}

void TScoreCard::buildRows(QObject* clicks) {
    for (int row = 1; row <= scoring::RowCount; ++row) {
        const bool category = row <= scoring::CategoryCount;
        QLabel* caption = category ? buildCategoryCaption(clicks) : new TPlainLabel(this);
        caption->setText(scoring::cardLabel(row));
        caption->setObjectName(QStringLiteral("label%1").arg(row));
        caption->setGeometry(4, rowTop(row), CaptionWidth - 4, RowHeight);
        caption->setProperty("tag", row);
        if (!category)
            caption->setStyleSheet(inkStyle("bold 12px"));
        label[row] = caption;
        for (int seat = 1; seat <= 4; ++seat) {
            auto* cell = new TPlainLabel(this);
            cell->setObjectName(QStringLiteral("score%1_%2").arg(seat).arg(row));
            cell->setGeometry(columnLeft(seat), rowTop(row), ColumnWidth - 1, RowHeight);
            cell->setAlignment(Qt::AlignCenter);
            if (category) {
                cell->setProperty("tag", row);
                cell->installEventFilter(clicks);
            }
            score[seat][row] = cell;
        }
    }
    auto* totalCaption = new TPlainLabel(QStringLiteral("Total:"), this);
    totalCaption->setGeometry(4, rowTop(0), CaptionWidth - 4, RowHeight);
    totalCaption->setStyleSheet(inkStyle("bold 12px"));
}

// The clickable caption of a category: maroon, green on white under the mouse.
QLabel* TScoreCard::buildCategoryCaption(QObject* clicks) {
    auto* caption = new THoverLabel(this);
    QPalette normal = caption->palette();
    normal.setColor(QPalette::WindowText, skinColor(controls::SkinArt::Maroon));
    caption->setPalette(normal);
    caption->setFont(captionFont());
    caption->setActive(true);
    caption->setHoverColor(Qt::white);
    caption->setHoverFontColor(skinColor(controls::SkinArt::Leaf));
    caption->setHoverFont(captionFont());
    caption->setCursor(Qt::PointingHandCursor);
    caption->installEventFilter(clicks);
    return caption;
}

// A wash of the card's ground over the cells; clicks go through to them.
void TScoreCard::buildIdleMarks() {
    const QColor ground = skinColor(controls::SkinArt::Ivory);
    for (int seat = 1; seat <= 4; ++seat) {
        auto* wash = new QFrame(this);
        wash->setObjectName(QStringLiteral("column_idle%1").arg(seat));
        wash->setGeometry(columnLeft(seat) - 1, CardTop - 1, ColumnWidth - 1, 16 * RowHeight + 1);
        wash->setStyleSheet(QStringLiteral("#column_idle%1 { background: rgba(%2, %3, %4, 170); }")
                                .arg(seat)
                                .arg(ground.red())
                                .arg(ground.green())
                                .arg(ground.blue()));
        wash->setAttribute(Qt::WA_TransparentForMouseEvents);
        wash->hide();
        column_idle[seat] = wash;
    }
}

void TScoreCard::dimColumn(int seat, bool dimmed) {
    if (seat < 1 || seat > 4)
        return;
    column_idle[seat]->setVisible(dimmed);
    if (dimmed)
        column_idle[seat]->raise();
}

void TScoreCard::placeTotals(const std::array<QLabel*, 5>& totals) {
    for (int seat = 1; seat <= 4; ++seat) {
        totals[seat]->setGeometry(columnLeft(seat), rowTop(0), ColumnWidth - 1, RowHeight);
        totals[seat]->setStyleSheet(inkStyle("bold 13px"));
    }
}

void TScoreCard::showColumn(int seat, const game::Card& card, TColor colour) {
    for (int row = 1; row <= scoring::RowCount; ++row) {
        const bool filled = card[row] != scoring::Unscored;
        score[seat][row]->setText(filled ? QString::number(card[row]) : QString());
    }
    colourColumn(seat, card, colour);
}

// Rows scored and the totals in bold.
void TScoreCard::colourColumn(int seat, const game::Card& card, TColor colour) {
    for (int row = 1; row <= scoring::RowCount; ++row) {
        const bool filled = card[row] != scoring::Unscored;
        m_zoom->setStyleSheet(score[seat][row], cellStyle(colour, filled || row > 12));
    }
}

void TScoreCard::showPreview(int seat, int row, std::optional<int> points) {
    QLabel* cell = score[seat][row];
    cell->setText(points ? QString::number(*points) : QString());
    if (points)
        m_zoom->setStyleSheet(cell, previewStyle());
}

void TScoreCard::markColumns(int ownSeat, int seatOnTurn) {
    const bool seated = ownSeat >= 1 && ownSeat <= 4;
    column_own->setVisible(seated);
    if (seated)
        m_zoom->move(column_own, {columnLeft(ownSeat) - 1, m_zoom->designGeometry(column_own).y()});
    const bool onTurn = seatOnTurn >= 1 && seatOnTurn <= 4;
    column_turn->setVisible(onTurn);
    image_turn->setVisible(onTurn);
    if (!onTurn)
        return;
    m_zoom->move(column_turn,
                 {columnLeft(seatOnTurn) - 2, m_zoom->designGeometry(column_turn).y()});
    m_zoom->move(image_turn, {markLeft(seatOnTurn), m_zoom->designGeometry(image_turn).y()});
}

void TScoreCard::showCrowns(const std::array<bool, 5>& crowned) {
    for (int seat = 1; seat <= 4; ++seat)
        image_crown[seat]->setVisible(crowned[seat]);
}

void TScoreCard::setRollMarks(int rolls) {
    if (rolls < 0 || rolls > 3)
        return;
    for (int mark = 1; mark <= 3; ++mark)
        image_rolls[mark]->setVisible(mark <= rolls);
}

void TScoreCard::applySkin(const std::function<QPixmap(const QString&)>& art) {
    for (int mark = 1; mark <= 3; ++mark)
        image_rolls[mark]->setPixmap(art(QStringLiteral("roll-mark-%1").arg(mark)));
    image_turn->setPixmap(art(QStringLiteral("turn-arrow")));
    for (int seat = 1; seat <= 4; ++seat)
        image_crown[seat]->setPixmap(art(QStringLiteral("winner-crown")));
}
