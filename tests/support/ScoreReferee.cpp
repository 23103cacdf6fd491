#include "support/ScoreReferee.h"

#include <algorithm>
#include <numeric>

namespace testsupport {

namespace {

// How many dice show each face 1..6.
std::array<int, 7> facesOf(const ScoreReferee::Dice& dice) {
    std::array<int, 7> count{};
    for (int face : dice)
        ++count[face];
    return count;
}

bool allShown(const std::array<int, 7>& count, int from, int to) {
    for (int face = from; face <= to; ++face)
        if (count[face] == 0)
            return false;
    return true;
}

int number(const QByteArray& text) {
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? value : -1;
}

QByteArray defaultName(int seat) {
    static const char* const names[] = {"", "", "Klot", "Kling", "Klick"};
    return names[seat];
}

} // namespace

int ScoreReferee::points(const Dice& dice, int category, int bonusFace) {
    const std::array<int, 7> count = facesOf(dice);
    const int sum = std::accumulate(dice.begin(), dice.end(), 0);
    const int most = *std::max_element(count.begin() + 1, count.end());
    std::array<int, 7> sorted = count;
    std::sort(sorted.begin(), sorted.end());
    switch (category) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
        return count[category] * category * (category == bonusFace ? 2 : 1);
    case 7: // 4 of a Kind
        return most >= 4 ? sum : 0;
    case 8: // Full House: three and two, or all five alike
        return (sorted[6] == 3 && sorted[5] == 2) || most == 5 ? 25 : 0;
    case 9: // Sm Straight
        return allShown(count, 1, 4) || allShown(count, 2, 5) || allShown(count, 3, 6) ? 30 : 0;
    case 10: // Big Straight
        return allShown(count, 1, 5) || allShown(count, 2, 6) ? 40 : 0;
    case 11: // 5 of a Kind
        return most == 5 ? 50 : 0;
    case 12: // Freebie
        return sum;
    }
    return -1;
}

void ScoreReferee::read(const QByteArray& message) {
    const QByteArrayList fields = message.split('+');
    const QByteArray& command = fields.first();
    if ((command == "CMD_newplayerinfo" || command == "CMD_existingplayers") && fields.size() > 2) {
        const int slot = number(fields[1]);
        if (slot >= 1 && slot <= 4 && !fields[2].isEmpty())
            m_names[slot] = message.mid(command.size() + fields[1].size() + 2);
    } else if (command == "CMD_playerdisconnected" && fields.size() > 1) {
        const int slot = number(fields[1]);
        if (slot >= 1 && slot <= 4)
            m_names[slot].clear();
    } else if (command == "CMD_startgame") {
        startGame(fields);
    } else if (command == "CMD_setbonusdice" && fields.size() > 1) {
        m_bonusFace = number(fields[1]);
    } else if (command == "CMD_nextplayer" && fields.size() > 3) {
        m_current = number(fields[1]);
        m_dice = {};
        if (m_current < 1 || m_current > 4 || number(fields[3]) != total(m_current))
            fault(QStringLiteral("%1: expected the total %2")
                      .arg(QString::fromLatin1(message))
                      .arg(m_current >= 1 && m_current <= 4 ? total(m_current) : -1));
    } else if (command == "CMD_thedice") {
        showDice(fields);
    } else if (command == "CMD_pscore") {
        checkPosting(message, fields);
    } else if (command == "CMD_winner") {
        checkWinner(message);
    }
}

void ScoreReferee::startGame(const QByteArrayList& fields) {
    m_bonusGame = fields.value(2) == "t";
    m_teamGame = fields.mid(3).join('+') == "true";
    for (Card& card : m_cards)
        card = Card{};
    for (Card& card : m_cards)
        card.rows.fill(Unscored);
    m_current = 0;
    m_bonusFace = 0;
}

// "CMD_thedice+" seat "+" more "+" rolls, then die and face for every die
// rolled; a kept die keeps the face it showed.
void ScoreReferee::showDice(const QByteArrayList& fields) {
    if (number(fields.value(1)) != m_current)
        fault(QStringLiteral("dice shown for seat %1 on seat %2's turn")
                  .arg(QString::fromLatin1(fields.value(1)))
                  .arg(m_current));
    for (qsizetype at = 4; at + 1 < fields.size(); at += 2) {
        const int die = number(fields[at]);
        const int face = number(fields[at + 1]);
        if (die < 1 || die > 5 || face < 1 || face > 6) {
            fault(QStringLiteral("no such die or face: %1")
                      .arg(QString::fromLatin1(fields.join('+'))));
            return;
        }
        m_dice[die - 1] = face;
    }
}

ScoreReferee::Card& ScoreReferee::cardOf(int seat) {
    return m_cards[m_teamGame ? (seat - 1) % 2 + 1 : seat];
}

const ScoreReferee::Card& ScoreReferee::cardOf(int seat) const {
    return m_cards[m_teamGame ? (seat - 1) % 2 + 1 : seat];
}

int ScoreReferee::total(int seat) const {
    const Card& card = cardOf(seat);
    int upper = 0;
    int lower = 0;
    for (int row = 1; row <= 12; ++row)
        if (card.rows[row] != Unscored)
            (row <= 6 ? upper : lower) += card.rows[row];
    return upper + (upper > 63 ? 35 : 0) + lower;
}

int ScoreReferee::filled(int seat) const {
    const auto& rows = cardOf(seat).rows;
    return int(
        std::count_if(rows.begin() + 1, rows.end(), [](int row) { return row != Unscored; }));
}

// Rows 1..15 of the seat's card as the wire carries them.
QByteArray ScoreReferee::cardText(int seat) const {
    const Card& card = cardOf(seat);
    QByteArray text;
    int upper = 0;
    int lower = 0;
    for (int row = 1; row <= 12; ++row) {
        text += '+' + QByteArray::number(card.rows[row]);
        if (card.rows[row] != Unscored)
            (row <= 6 ? upper : lower) += card.rows[row];
    }
    if (!card.posted)
        return text + "+1000+1000+1000";
    return text + '+' + QByteArray::number(upper) + '+' + QByteArray::number(upper > 63 ? 35 : 0) +
           '+' + QByteArray::number(lower);
}

// "CMD_pscore+" seat "+" total "+" mark and the fifteen rows. A category as
// the mark posts the dice on the table for the seat on turn; "*" and a
// category is the team partner's copy; "*" alone the state for a newcomer.
void ScoreReferee::checkPosting(const QByteArray& message, const QByteArrayList& fields) {
    ++m_postings;
    const int seat = number(fields.value(1));
    const QByteArray mark = fields.value(3);
    if (seat < 1 || seat > 4) {
        fault(QStringLiteral("posting for no seat: %1").arg(QString::fromLatin1(message)));
        return;
    }
    if (!mark.startsWith('*')) {
        const int category = number(mark);
        Card& card = cardOf(seat);
        if (seat != m_current || category < 1 || category > 12 || card.rows[category] != Unscored ||
            std::count(m_dice.begin(), m_dice.end(), 0) > 0) {
            fault(QStringLiteral("%1: not a posting the seat on turn can make")
                      .arg(QString::fromLatin1(message)));
            return;
        }
        card.rows[category] = points(m_dice, category, m_bonusGame ? m_bonusFace : 0);
        card.posted = true;
    } else if (mark.size() > 1 && !(m_teamGame && seat != m_current && cardOf(seat).posted)) {
        fault(QStringLiteral("%1: not the partner of the seat on turn")
                  .arg(QString::fromLatin1(message)));
    }
    const QByteArray expected = "CMD_pscore+" + QByteArray::number(seat) + '+' +
                                QByteArray::number(total(seat)) + '+' + mark + cardText(seat);
    if (message != expected)
        fault(QStringLiteral("%1: expected %2")
                  .arg(QString::fromLatin1(message), QString::fromLatin1(expected)));
}

// The highest total wins; equal totals are named with it, in seat order;
// "No One" when nobody has more than 0.
void ScoreReferee::checkWinner(const QByteArray& message) {
    ++m_winners;
    int best = 0;
    int first = 0;
    for (int seat = 1; seat <= 4; ++seat)
        if (total(seat) > best) {
            best = total(seat);
            first = seat;
        }
    const auto name = [&](int seat) {
        return m_names[seat].isEmpty() ? defaultName(seat) : m_names[seat];
    };
    QByteArray winners = first ? name(first) : QByteArray("No One");
    for (int seat = 1; seat <= 4; ++seat)
        if (seat != first && total(seat) == best)
            winners += " and " + name(seat);
    const QByteArray expected = "CMD_winner+" + winners + '+' + QByteArray::number(best) + '+';
    if (message != expected)
        fault(QStringLiteral("%1: expected %2")
                  .arg(QString::fromLatin1(message), QString::fromLatin1(expected)));
    m_current = 0;
}

} // namespace testsupport
