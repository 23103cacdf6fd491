#pragma once

#include <QString>
#include <array>

// The scorecard and how dice score. Rows 1..12 are the categories, 13..15 the
// computed totals; a row not scored yet holds the marker value.
namespace game {

inline constexpr int Unscored = 1000;
inline constexpr int CategoryCount = 12;
inline constexpr int RowCount = 15;
enum Row {
    Ones = 1,
    Twos,
    Threes,
    Fours,
    Fives,
    Sixes,
    FourOfAKind,
    FullHouse,
    SmStraight,
    BigStraight,
    FiveOfAKind,
    Freebie,
    UpperTotal,
    Bonus,
    LowerTotal
};

using Dice = std::array<int, 5>;  // faces 1..6
using Card = std::array<int, 16>; // rows 1..15; index 0 unused

// A card with every row unscored.
Card freshCard();

// Points of the number category of `face`; in a bonus-dice game (bonusFace
// 1..6) each die showing the bonus face counts twice.
int addnumbers(const Dice& dice, int face, int bonusFace = 0);
bool checkforfourkind(const Dice& dice);
bool checkforfivekind(const Dice& dice);
bool checkforfullhouse(const Dice& dice);
bool checkforsstraight(const Dice& dice);
bool checkforlstraight(const Dice& dice);

// What the dice score in a category 1..12 (0 when its test fails).
int points(const Dice& dice, int category, int bonusFace = 0);

// Writes a category's points and recomputes rows 13..15; returns the total.
int post(Card& card, int category, int value);
// Upper total + bonus + lower total.
int total(const Card& card);

QString cardLabel(int row);
QString announcementPhrase(int category);

} // namespace game

// The rules' older name, still used by the host, the window and their tests.
namespace scoring = game;
