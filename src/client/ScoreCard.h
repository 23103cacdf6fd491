#pragma once

#include "game/ScoringRules.h"
#include "net/ColorText.h"

#include <QFrame>
#include <array>
#include <functional>
#include <optional>

class QLabel;
class TWindowZoom;

// The scorecard of the player window: captions, the four columns of cells,
// the round, the roll marks, the turn caption and the marks on the columns.
// It shows what the window hands it; the game itself lives in the model.
class TScoreCard : public QFrame {
    Q_OBJECT
public:
    explicit TScoreCard(QWidget* parent);

    // Builds the card. `clicks` sees the presses on the category captions
    // and cells; run-time moves and styles go through `zoom`.
    void build(QObject* clicks, TWindowZoom* zoom);
    // Puts the seats' total labels into the card's last row.
    void placeTotals(const std::array<QLabel*, 5>& totals);

    void showColumn(int seat, const game::Card& card, TColor colour);
    void colourColumn(int seat, const game::Card& card, TColor colour);
    // A free cell: what the dice would score there, pale, or empty for nothing.
    void showPreview(int seat, int row, std::optional<int> points);
    // The own column tinted, the column on turn framed with the arrow over it.
    void markColumns(int ownSeat, int seatOnTurn);
    void showCrowns(const std::array<bool, 5>& crowned);
    // A seat that takes no turns in this game: its column is washed out.
    void dimColumn(int seat, bool dimmed);
    void setRollMarks(int rolls);
    void applySkin(const std::function<QPixmap(const QString&)>& art);

    static int columnLeft(int seat);
    static int columnCentre(int seat);
    static int markLeft(int seat); // the turn arrow's and the crown's left edge
    static int eyesLeft(int seat); // the just-watching eyes' left edge

    QLabel* label_roundnum = nullptr;
    std::array<QLabel*, 4> image_rolls{}; // 1..3
    QLabel* label_turn = nullptr;
    QLabel* image_turn = nullptr;         // the arrow over the column of the seat on turn
    std::array<QLabel*, 5> image_crown{}; // over the winners' columns once the game has ended
    QFrame* column_own = nullptr;         // the tint behind the player's own column
    QFrame* column_turn = nullptr;        // the frame around the column of the seat on turn
    std::array<QFrame*, 5> column_idle{}; // over the column of a seat that takes no turns
    std::array<QLabel*, 16> label{};      // captions of rows 1..15
    std::array<std::array<QLabel*, 16>, 5> score{}; // score[seat][row]: score1_1..score4_15

private:
    void buildHeading();
    void buildColumnMarks();
    void buildRows(QObject* clicks);
    void buildIdleMarks();
    QLabel* buildCategoryCaption(QObject* clicks);

    TWindowZoom* m_zoom = nullptr;
};
