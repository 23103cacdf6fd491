// The computer player: a fixed, greedy rule set for every seat nobody plays.
// It rolls, keeps and scores only through the turn engine's requests, with
// the texts a player's message carries, so every window sees its turn exactly
// like a human's. It remembers nothing between turns but its card.
#include "game/ScoringRules.h"
#include "host/ServerForm.h"

using namespace scoring;

namespace {

constexpr int RollsPerTurn = 3;

QString request(int seat, int number) {
    return QString::number(seat) + QLatin1Char('+') + QString::number(number);
}

bool isfree(const tplayer& player, int category) {
    return category >= 1 && category <= CategoryCount && player.card[category] == Unscored;
}

bool ontable(int live) {
    return live >= 1 && live <= 6;
}

// The highest face on the table shown at least `least` times whose number
// category is still free; 0 if none.
int mostshown(const TServer& server, int seat, int least) {
    std::array<int, 7> counts{};
    for (int die = 1; die <= 5; ++die)
        if (ontable(server.livedice[die]))
            ++counts[server.livedice[die]];
    int found = 0;
    for (int face = 1; face <= 6; ++face)
        if (counts[face] >= least && isfree(server.players[seat], face))
            found = face;
    return found;
}

} // namespace

void TServer::computerplay(int seat) {
    if (botskill() == BotSkill::Expert && expertplay(seat))
        return;
    tplayer& player = players[seat];
    if (rollcount >= RollsPerTurn && player.worktarget == 0)
        player.worktarget = findany(seat);
    if (computercheck(seat))
        return;
    if (rollcount < RollsPerTurn)
        return computerworking(seat);

    // Only a free category is ever named: for a seat whose player just
    // watches, the engine would answer a filled one with a refusal to that
    // player, and the turn would never end.
    int target = player.worktarget;
    if (!isfree(player, target))
        target = findany(seat);
    player.worktarget = 0;
    if (target != 0)
        return setscore(request(seat, target));
    // Nothing left to score: the roll after the third ends the turn.
    Timer1.setInterval(botspeed());
    Timer1.start();
}

bool TServer::computercheck(int seat) {
    scoring::Dice dice{};
    for (int die = 1; die <= 5; ++die)
        dice[die - 1] = ontable(livedice[die]) ? livedice[die] : keptdice[die];

    const tplayer& player = players[seat];
    int category = 0;
    if (isfree(player, BigStraight) && checkforlstraight(dice))
        category = BigStraight;
    else if (isfree(player, FiveOfAKind) && checkforfivekind(dice))
        category = FiveOfAKind;
    else if (isfree(player, FourOfAKind) && checkforfourkind(dice))
        category = FourOfAKind;
    else if (checkforfullhouse(dice) && isfree(player, FullHouse))
        category = FullHouse;
    else if (isfree(player, SmStraight) && checkforsstraight(dice))
        category = SmStraight;
    if (category == 0)
        return false;
    players[seat].worktarget = 0;
    setscore(request(seat, category));
    return true;
}

void TServer::computerworking(int seat) {
    tplayer& player = players[seat];
    if (player.worktarget == 0)
        player.worktarget = findworking(seat);
    if (player.worktarget != 0 && !isfree(player, player.worktarget))
        player.worktarget = findany(seat);

    const int target = player.worktarget;
    if (target >= Ones && target <= Sixes)
        worknums(seat, target);
    else if (target == SmStraight || target == BigStraight)
        workstraight(seat);
    else if (target == FiveOfAKind || target == Freebie)
        worknums(seat, random().face());

    Timer1.setInterval(botspeed());
    Timer1.start();
}

int TServer::findworking(int seat) const {
    if (straight() == BigStraight && isfree(players[seat], BigStraight))
        return BigStraight;
    if (const int face = threes(seat))
        return face;
    return twos(seat);
}

int TServer::findany(int seat) const {
    for (int category = CategoryCount; category >= 1; --category)
        if (isfree(players[seat], category))
            return category;
    return 0;
}

int TServer::straight() const {
    std::array<bool, 7> shown{};
    for (int die = 1; die <= 5; ++die)
        if (ontable(livedice[die]))
            shown[livedice[die]] = true;
    return shown[2] && shown[3] && shown[4] && shown[5] ? BigStraight : 0;
}

int TServer::threes(int seat) const {
    return mostshown(*this, seat, 3);
}

int TServer::twos(int seat) const {
    return mostshown(*this, seat, 2);
}

void TServer::worknums(int seat, int face) {
    for (int die = 1; die <= 5; ++die)
        if (livedice[die] == face)
            setdice(request(seat, die));
}

// One die of each of 2..5, the first in die order; the fifth die goes again
// for a 1 or a 6.
void TServer::workstraight(int seat) {
    std::array<bool, 7> noted{};
    for (int die = 1; die <= 5; ++die)
        if (keptdice[die] >= 2 && keptdice[die] <= 5)
            noted[keptdice[die]] = true;
    for (int die = 1; die <= 5; ++die) {
        const int face = livedice[die];
        if (face < 2 || face > 5 || noted[face])
            continue;
        noted[face] = true;
        setdice(request(seat, die));
    }
}
