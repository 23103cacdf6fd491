// The host's turn engine: starts games, rolls, keeps and scores dice, paces
// the turns and names the winner. Players ask by message, the computer player
// by direct call with the same argument texts.
#include "game/ComputerNames.h"
#include "game/ScoringRules.h"
#include "game/StrategyStore.h"
#include "host/ServerForm.h"
#include "net/WireCommands.h"

namespace cmd = net::commands;

using net::FieldReader;
using net::WireMessage;

namespace {

constexpr int RegularRounds = 12;
constexpr int TeamRounds = 6;
constexpr int PauseTicks = 3;
constexpr int RollsPerTurn = 3;

} // namespace

// ---------------------------------------------------------------- the game

// Obeyed at any time: during a game it starts a new one.
void TServer::startgame(const QString& arguments) {
    timer_pauser.stop(); // no timer of the old game may act on the new one
    Timer1.stop();
    FieldReader fields(arguments);
    const QString starter = fields.text();
    const QString bonus = fields.text();
    const QString team = fields.rest();
    bonusgame = bonus == QLatin1String("t");
    teamgame = team == QLatin1String("true");
    broadcast(WireMessage(cmd::StartGame).field(starter).field(bonus).field(team).bytes());

    for (int seat = 1; seat <= SeatCount; ++seat) {
        tplayer& player = players[seat];
        // Just Watch stays until its player takes the seat back, across games.
        player.total = 0;
        player.turns = 0;
        player.card = scoring::freshCard();
    }
    gameinprogress = true;
    currentplayer = 0;
    if (botskill() == BotSkill::Expert)
        game::StrategyStore::shared().tables(bonusgame); // worked out while seat 1 plays
    findplayer();
}

void TServer::findplayer() {
    rollcount = 0;
    m_posted = false;
    bonusface = random().face();
    if (bonusgame)
        broadcast(WireMessage(cmd::SetBonusDice).field(bonusface).bytes());
    livedice.fill(-1);
    keptdice.fill(0);

    // Seat 2 always plays (the computer when empty); seats 1, 3 and 4 only
    // while occupied, except in a team game. Skipped seats count turns too.
    do {
        currentplayer = currentplayer % SeatCount + 1;
        ++players[currentplayer].turns;
    } while (!players[currentplayer].inuse && !teamgame && currentplayer != 2);

    if (players[1].turns > (teamgame ? TeamRounds : RegularRounds))
        return checkforwin();

    tplayer& player = players[currentplayer];
    player.worktarget = 0;
    broadcast(WireMessage(cmd::NextPlayer)
                  .field(currentplayer)
                  .field(player.turns)
                  .field(player.total)
                  .field(rollcount)
                  .field("")
                  .bytes());
    if (iscomputer(currentplayer)) {
        Timer1.setInterval(botspeed());
        Timer1.start();
    }
}

// Requests count only from the seat on turn, and not once its turn is scored.
bool TServer::isOnTurn(int seat) const {
    return gameinprogress && seat >= 1 && seat <= SeatCount && seat == currentplayer && !m_posted;
}

void TServer::rolldice(const QString& arguments) {
    const int seat = FieldReader(arguments).number();
    if (!isOnTurn(seat))
        return;
    const bool computer = iscomputer(seat);
    // A player gets three rolls; the window stops offering more, the host
    // makes sure.
    if (!computer && rollcount >= RollsPerTurn)
        return;
    ++rollcount;
    if (computer && rollcount > RollsPerTurn)
        return findplayer(); // a stuck computer turn ends without a posting

    WireMessage announcement(cmd::TheDice);
    announcement.field(seat).field(rollcount < RollsPerTurn ? "y" : "n").field(rollcount);
    bool rolled = false;
    for (int die = 1; die <= 5; ++die) {
        if (livedice[die] == 0)
            continue;
        livedice[die] = faceSource();
        keptdice[die] = 0;
        announcement.field(die).field(livedice[die]);
        rolled = true;
    }
    // All five kept: a player is still told, which gives the turn back to them.
    if (rolled || !computer)
        broadcast(announcement.bytes());
    if (computer)
        computerplay(seat);
}

void TServer::setdice(const QString& arguments) {
    FieldReader fields(arguments);
    const int seat = fields.number();
    const int die = fields.number();
    if (!isOnTurn(seat) || die < 1 || die > 5 || livedice[die] < 1 || livedice[die] > 6)
        return;
    keptdice[die] = livedice[die];
    livedice[die] = 0;
    broadcast(WireMessage(cmd::SetDice).field(die).bytes());
}

void TServer::unsetdice(const QString& arguments) {
    FieldReader fields(arguments);
    const int seat = fields.number();
    const int die = fields.number();
    if (!isOnTurn(seat) || die < 1 || die > 5 || keptdice[die] == 0)
        return;
    livedice[die] = keptdice[die];
    keptdice[die] = 0;
    broadcast(WireMessage(cmd::UnsetDice).field(die).bytes());
}

void TServer::setscore(const QString& arguments) {
    FieldReader fields(arguments);
    const int seat = fields.number();
    const int category = fields.number();
    if (!isOnTurn(seat))
        return;
    tplayer& player = players[seat];
    if (livedice[1] == -1) {
        if (player.inuse)
            return sendTo(seat, WireMessage(cmd::RollAgain).field("").bytes());
        return rolldice(QString::number(seat));
    }
    // A number outside the card must not land in another row.
    if (category < 1 || category > scoring::CategoryCount ||
        player.card[category] != scoring::Unscored) {
        if (player.inuse)
            return sendTo(seat, WireMessage(cmd::ChooseAgain).field("").bytes());
        return rolldice(QString::number(seat));
    }

    scoring::Dice dice{};
    for (int die = 1; die <= 5; ++die) {
        if (keptdice[die] == 0)
            keptdice[die] = livedice[die];
        dice[die - 1] = keptdice[die];
    }
    const int points = scoring::points(dice, category, bonusgame ? bonusface : 0);
    player.total = scoring::post(player.card, category, points);
    announceCard(seat, QString::number(category));
    if (teamgame) {
        tplayer& partner = players[player.partner];
        partner.card = player.card;
        partner.total = player.total;
        announceCard(player.partner, QLatin1Char('*') + QString::number(category));
    }

    m_posted = true;
    timer_pauser.stop();
    timer_pauser.setInterval(botspeed());
    pausecount = PauseTicks;
    timer_pauser.start();
}

void TServer::announceCard(int seat, const QString& mark) {
    WireMessage score(cmd::PScore);
    score.field(seat).field(players[seat].total).field(mark);
    for (int row = 1; row <= scoring::RowCount; ++row)
        score.field(players[seat].card[row]);
    broadcast(score.bytes());
}

void TServer::timer_pauserTimer() {
    if (--pausecount > 0)
        return;
    timer_pauser.stop();
    findplayer();
}

// The seat's player may have taken it back since the timer was armed.
void TServer::Timer1Timer() {
    Timer1.stop();
    if (expertwaiting())
        return Timer1.start(); // its first turn may come before its tables
    if (gameinprogress && currentplayer >= 1 && iscomputer(currentplayer))
        rolldice(QString::number(currentplayer));
}

void TServer::checkforwin() {
    currentplayer = 0;
    gameinprogress = false;

    // Among equal totals the lowest seat is the first winner.
    int best = 0;
    int winner = 0;
    for (int seat = 1; seat <= SeatCount; ++seat) {
        if (players[seat].name.isEmpty() && seat >= 2)
            players[seat].name = game::computerName(seat);
        if (players[seat].total > best) {
            best = players[seat].total;
            winner = seat;
        }
    }
    QString winners = winner ? players[winner].name : QStringLiteral("No One");
    for (int seat = 1; seat <= SeatCount; ++seat)
        if (seat != winner && players[seat].total == best)
            winners += QLatin1String(" and ") + players[seat].name;
    broadcast(WireMessage(cmd::Winner).field(winners).field(best).field("").bytes());
}
