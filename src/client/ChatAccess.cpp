// What a screen reader says for the board and the scorecard: names written
// from the game model whenever it changes, so they never lag the picture.
#include "client/ChatForm.h"

#include <QLabel>
#include <QPushButton>

namespace {

QString faceWord(int face) {
    static const char* const Words[] = {"", "one", "two", "three", "four", "five", "six"};
    return face >= 1 && face <= 6 ? QString::fromLatin1(Words[face]) : QString();
}

QString placeWord(client::DiePlace place) {
    switch (place) {
    case client::DiePlace::Kept:
        return QStringLiteral("kept");
    case client::DiePlace::PutBack:
        return QStringLiteral("put back");
    case client::DiePlace::Table:
        return QStringLiteral("on the table");
    case client::DiePlace::Unthrown:
        break;
    }
    return QStringLiteral("not thrown yet");
}

} // namespace

// "Die 3, four, kept"
QString Tchat::dieAccessibleName(int die) const {
    const client::DieState& state = model().die(die);
    return QStringLiteral("Die %1, %2, %3")
        .arg(die)
        .arg(faceWord(state.face), placeWord(state.place));
}

// "Ann, Sixes, 24"; a row not scored yet says so.
QString Tchat::cellAccessibleName(int seat, int row) const {
    const int value = model().seat(seat).card[row];
    const QString shown =
        value == scoring::Unscored ? QStringLiteral("not scored") : QString::number(value);
    const QString name = model().seatName(seat) + ", " + scoring::cardLabel(row) + ", " + shown;
    const std::optional<int> preview = previewPoints(seat, row);
    return preview ? name + QStringLiteral(", %1 if scored now").arg(*preview) : name;
}

// "Your turn, roll 2 of 3": the roll the next press of the roll button makes.
QString Tchat::turnAccessibleName() const {
    const int seat = model().currentSeat();
    if (!model().inProgress() || !client::TGameModel::validSeat(seat))
        return m_turnCaption;
    if (!model().ownTurn())
        return model().seatName(seat) + "'s turn";
    const int made = std::max(model().rollsMade(), 0);
    if (made >= 3)
        return QStringLiteral("Your turn, all 3 rolls made, choose a category");
    return QStringLiteral("Your turn, roll %1 of 3").arg(made + 1);
}

void Tchat::buildAccessibleNames() {
    image_throwdice->setAccessibleName(QStringLiteral("Roll the Dice"));
    button_start->setAccessibleName(QStringLiteral("Start Game"));
    panel_board->setAccessibleName(QStringLiteral("Board"));
    panel_scorecard->setAccessibleName(QStringLiteral("Score Card"));
    connect(&m_session.model(), &client::TGameModel::changed, this, &Tchat::showAccessibleNames);
    showAccessibleNames();
}

void Tchat::showAccessibleNames() {
    QStringList kept;
    for (int die = 1; die <= 5; ++die) {
        dice[die]->setAccessibleName(dieAccessibleName(die));
        if (model().die(die).kept())
            kept << faceWord(model().die(die).face);
    }
    image_keeptray->setAccessibleName(kept.isEmpty()
                                          ? QStringLiteral("Keep tray, empty")
                                          : "Keep tray, " + kept.join(QStringLiteral(", ")));
    for (int seat = 1; seat <= 4; ++seat) {
        const client::SeatState& state = model().seat(seat);
        QString name = state.name;
        if (seat == model().ownSeat())
            name += QStringLiteral(", you");
        if (state.watching)
            name += QStringLiteral(", just watching");
        label_playername[seat]->setAccessibleName(name);
        label_score[seat]->setAccessibleName(state.name + ", total, " + state.total);
        for (int row = 1; row <= scoring::RowCount; ++row)
            panel_scorecard->score[seat][row]->setAccessibleName(cellAccessibleName(seat, row));
    }
    panel_scorecard->label_turn->setAccessibleName(turnAccessibleName());
    if (button_hint)
        button_hint->setAccessibleName(QStringLiteral("Hint"));
}
