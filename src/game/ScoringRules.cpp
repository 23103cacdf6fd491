#include "game/ScoringRules.h"

#include <algorithm>

namespace game {

namespace {

int countOf(const Dice& dice, int face) {
    return int(std::count(dice.begin(), dice.end(), face));
}

bool hasRun(const Dice& dice, int from, int length) {
    for (int face = from; face < from + length; ++face)
        if (countOf(dice, face) == 0)
            return false;
    return true;
}

int sum(const Dice& dice) {
    return dice[0] + dice[1] + dice[2] + dice[3] + dice[4];
}

int sumOfScored(const Card& card, int firstRow, int lastRow) {
    int result = 0;
    for (int row = firstRow; row <= lastRow; ++row)
        if (card[row] != Unscored)
            result += card[row];
    return result;
}

} // namespace

Card freshCard() {
    Card card;
    card.fill(Unscored);
    card[0] = 0;
    return card;
}

int addnumbers(const Dice& dice, int face, int bonusFace) {
    const int weight = bonusFace == face ? 2 : 1;
    return countOf(dice, face) * weight * face;
}

bool checkforfourkind(const Dice& dice) {
    return countOf(dice, dice[0]) >= 4 || countOf(dice, dice[1]) >= 4;
}

bool checkforfivekind(const Dice& dice) {
    return countOf(dice, dice[0]) == 5;
}

bool checkforfullhouse(const Dice& dice) {
    const int first = countOf(dice, dice[0]);
    const auto other =
        std::find_if(dice.begin(), dice.end(), [&](int face) { return face != dice[0]; });
    const int second = countOf(dice, other == dice.end() ? dice[4] : *other);
    return (first == 3 && second == 2) || (first == 2 && second == 3) || first == 5;
}

bool checkforsstraight(const Dice& dice) {
    return hasRun(dice, 1, 4) || hasRun(dice, 2, 4) || hasRun(dice, 3, 4);
}

bool checkforlstraight(const Dice& dice) {
    return hasRun(dice, 1, 5) || hasRun(dice, 2, 5);
}

int points(const Dice& dice, int category, int bonusFace) {
    switch (category) {
    case FourOfAKind:
        return checkforfourkind(dice) ? sum(dice) : 0;
    case FullHouse:
        return checkforfullhouse(dice) ? 25 : 0;
    case SmStraight:
        return checkforsstraight(dice) ? 30 : 0;
    case BigStraight:
        return checkforlstraight(dice) ? 40 : 0;
    case FiveOfAKind:
        return checkforfivekind(dice) ? 50 : 0;
    case Freebie:
        return sum(dice);
    default:
        return category >= Ones && category <= Sixes ? addnumbers(dice, category, bonusFace) : 0;
    }
}

int post(Card& card, int category, int value) {
    card[category] = value;
    card[UpperTotal] = sumOfScored(card, Ones, Sixes);
    card[LowerTotal] = sumOfScored(card, FourOfAKind, Freebie);
    card[Bonus] = card[UpperTotal] > 63 ? 35 : 0;
    return total(card);
}

int total(const Card& card) {
    auto value = [&](int row) { return card[row] == Unscored ? 0 : card[row]; };
    return value(UpperTotal) + value(Bonus) + value(LowerTotal);
}

QString cardLabel(int row) {
    static const char* const Labels[] = {
        "",        "Ones",        "Twos",       "Threes",      "Fours",        "Fives",
        "Sixes",   "4 of a Kind", "Full House", "Sm Straight", "Big Straight", "5 of a Kind",
        "Freebie", "Upper Total", "Bonus",      "Lower Total"};
    return row >= 1 && row <= RowCount ? QString::fromLatin1(Labels[row]) : QString();
}

QString announcementPhrase(int category) {
    static const char* const Phrases[] = {"",
                                          "the ONES",
                                          "the TWOS",
                                          "the THREES",
                                          "the FOURS",
                                          "the FIVES",
                                          "the SIXES",
                                          "a 4 OF A KIND",
                                          "a FULL HOUSE",
                                          "a SM STRAIGHT",
                                          "a BIG STRAIGHT",
                                          "a 5 OF A KIND",
                                          "a FREEBIE"};
    return category >= 1 && category <= CategoryCount ? QString::fromLatin1(Phrases[category])
                                                      : QString();
}

} // namespace game
