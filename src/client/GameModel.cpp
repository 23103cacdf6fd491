#include "client/GameModel.h"

#include "game/ComputerNames.h"

namespace client {

const QString TGameModel::Waiting = QStringLiteral("<Waiting>");

TGameModel::TGameModel(QObject* parent)
    : QObject(parent) {
    for (int seat = 1; seat <= Seats; ++seat)
        seatAt(seat).name = Waiting;
    // The faces shown before the first throw.
    for (int die = 1; die <= Dice; ++die)
        m_dice[std::size_t(die)].face = die;
}

const SeatState& TGameModel::seat(int seat) const {
    return m_seats[validSeat(seat) ? std::size_t(seat) : 0];
}

const DieState& TGameModel::die(int die) const {
    return m_dice[validDie(die) ? std::size_t(die) : 0];
}

game::Dice TGameModel::faces() const {
    game::Dice faces{};
    for (int die = 1; die <= Dice; ++die)
        faces[std::size_t(die - 1)] = m_dice[std::size_t(die)].face;
    return faces;
}

bool TGameModel::ownTurn() const {
    return seated() && m_currentSeat == m_ownSeat && !seat(m_ownSeat).watching;
}

bool TGameModel::ownCategoryFree(int category) const {
    return seated() && category >= 1 && category <= game::CategoryCount &&
           seat(m_ownSeat).isFree(category);
}

void TGameModel::setOwnSeat(int seat) {
    m_ownSeat = seat;
    emit changed();
}

bool TGameModel::computerPlays(int seat) const {
    return validSeat(seat) && (!this->seat(seat).occupied || this->seat(seat).watching);
}

// Seat 2 always takes turns, every seat in a team game; others only while
// someone sits there. A seat someone left during this game keeps their name.
bool TGameModel::idleSeat(int seat) const {
    if (!validSeat(seat) || !m_startedOnce)
        return false;
    const SeatState& state = this->seat(seat);
    return !state.occupied && state.departed.isEmpty() && !m_teamGame && seat != 2;
}

QString TGameModel::finalName(int seat) const {
    if (!validSeat(seat) || idleSeat(seat))
        return QString();
    return this->seat(seat).occupied ? this->seat(seat).name : game::computerName(seat);
}

// The name an empty seat shows in a game: the computer's where it plays.
QString TGameModel::emptySeatName(int seat) const {
    const QString& departed = this->seat(seat).departed;
    if (!departed.isEmpty())
        return departed + QStringLiteral(" (left)");
    return idleSeat(seat) ? Waiting : game::computerName(seat);
}

void TGameModel::seatTaken(int seat, const QString& name) {
    if (!validSeat(seat))
        return;
    SeatState& state = seatAt(seat);
    state.name = name;
    state.occupied = true;
    state.departed.clear();
    emit changed();
}

// During a game the seat keeps its points under the departed player's name;
// between games it starts again at 0 and shows the computer's name.
void TGameModel::seatLeft(int seat) {
    if (!validSeat(seat))
        return;
    SeatState& state = seatAt(seat);
    const bool wasPlayer = state.occupied;
    state.occupied = false;
    state.watching = false;
    if (m_inProgress && wasPlayer) {
        state.departed = state.name;
        state.name = emptySeatName(seat);
    } else {
        state.departed.clear();
        state.name = game::computerName(seat);
    }
    if (!m_inProgress)
        state.total = QStringLiteral("0");
    emit changed();
}

void TGameModel::setWatching(int seat, bool watching) {
    if (!validSeat(seat))
        return;
    seatAt(seat).watching = watching;
    emit changed();
}

// Just Watch outlasts the game: the host keeps it until the player plays again.
void TGameModel::gameStarted(bool teamGame, bool bonusGame) {
    m_inProgress = true;
    m_startedOnce = true;
    m_teamGame = teamGame;
    m_bonusGame = bonusGame;
    m_bonusFace = 0;
    m_moreRolls = false;
    m_rollsMade = -1;
    for (int seat = 1; seat <= Seats; ++seat) {
        SeatState& state = seatAt(seat);
        state.card = game::freshCard();
        state.total = QStringLiteral("0");
        state.departed.clear();
        if (!state.occupied)
            state.name = emptySeatName(seat);
    }
    for (int die = 1; die <= Dice; ++die)
        m_dice[std::size_t(die)].place = DiePlace::Unthrown;
    emit changed();
}

void TGameModel::turnPassed(int seat, const QString& round, int rollsMade) {
    m_currentSeat = seat;
    m_inProgress = true;
    m_round = round;
    if (rollsMade >= 0 && rollsMade <= 3)
        m_rollsMade = rollsMade;
    m_moreRolls = rollsMade < 0 || rollsMade < 3;
    emit changed();
}

void TGameModel::diceThrown(int seat, bool moreRolls, int rollsMade,
                            const std::vector<std::pair<int, int>>& thrown) {
    if (rollsMade >= 0 && rollsMade <= 3)
        m_rollsMade = rollsMade;
    for (const auto& [die, face] : thrown)
        if (validDie(die) && face >= 1 && face <= 6)
            m_dice[std::size_t(die)] = {face, DiePlace::Table};
    if (seat == m_ownSeat)
        m_moreRolls = moreRolls;
    emit changed();
}

void TGameModel::dieMoved(int die, DiePlace place) {
    if (!validDie(die))
        return;
    m_dice[std::size_t(die)].place = place;
    emit changed();
}

void TGameModel::setBonusFace(int face) {
    if (face < 1 || face > 6)
        return;
    m_bonusFace = face;
    emit changed();
}

void TGameModel::cardReported(int seat, const QString& total, const game::Card& card) {
    if (!validSeat(seat))
        return;
    seatAt(seat).total = total;
    seatAt(seat).card = card;
    emit changed();
}

void TGameModel::gameWon() {
    m_inProgress = false;
    m_moreRolls = false;
    emit changed();
}

} // namespace client
