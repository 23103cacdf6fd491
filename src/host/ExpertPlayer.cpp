// The Expert computer player: the optimal strategy for the seat's card, played
// through the turn engine's requests with a player's argument texts, at the
// pace of the bot speed, exactly like the Classic player. Only how it chooses
// differs; every window sees its turn like any other.
#include "game/StrategyStore.h"
#include "host/ServerForm.h"

namespace {

QString request(int seat, int number) {
    return QString::number(seat) + QLatin1Char('+') + QString::number(number);
}

bool ontable(int live) {
    return live >= 1 && live <= 6;
}

} // namespace

bool TServer::expertwaiting() const {
    return gameinprogress && currentplayer >= 1 && iscomputer(currentplayer) &&
           botskill() == BotSkill::Expert && !game::StrategyStore::shared().tables(bonusgame);
}

bool TServer::expertplay(int seat) {
    const game::OptimalStrategy* strategy = game::StrategyStore::shared().tables(bonusgame);
    if (!strategy)
        return false; // the Classic player decides this one step

    const tplayer& player = players[seat];
    game::TurnPosition position;
    for (int category = 1; category <= scoring::CategoryCount; ++category) {
        if (player.card[category] == scoring::Unscored)
            continue;
        position.filled |= 1 << (category - 1);
        if (category <= scoring::Sixes)
            position.upperTotal += player.card[category];
    }
    position.bonusFace = bonusgame ? bonusface : 0;
    position.rollsMade = rollcount;
    for (int die = 1; die <= 5; ++die)
        position.dice[die - 1] = ontable(livedice[die]) ? livedice[die] : keptdice[die];

    const game::TurnAdvice advice = strategy->advise(position);
    if (!advice.roll && advice.category != 0) {
        setscore(request(seat, advice.category));
        return true;
    }
    if (advice.roll) {
        // Dice already kept count first; the rest of the keep comes off the table.
        std::array<int, 7> wanted = advice.keep;
        for (int die = 1; die <= 5; ++die) {
            const int face = keptdice[die];
            if (livedice[die] != 0 || face < 1 || face > 6)
                continue;
            if (wanted[face] > 0)
                --wanted[face];
            else
                unsetdice(request(seat, die));
        }
        for (int die = 1; die <= 5; ++die) {
            const int face = livedice[die];
            if (ontable(face) && wanted[face] > 0) {
                --wanted[face];
                setdice(request(seat, die));
            }
        }
    }
    // Rolling on; with nothing left to score the next roll ends the turn.
    Timer1.setInterval(botspeed());
    Timer1.start();
    return true;
}
