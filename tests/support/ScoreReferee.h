#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QStringList>
#include <array>

namespace testsupport {

// Follows a game the way a player window sees it and works out, with scoring
// of its own written from the rules, every card and the winner the host
// should announce: the dice each roll shows, the category each posting
// names, the bonus face of the turn, the team partner's shared card. Every
// posting and winner the host sends is compared with that, message for
// message; a difference is noted as a fault.
class ScoreReferee {
public:
    using Dice = std::array<int, 5>;

    // Points of category 1..12 for these dice; bonusFace 0 outside a
    // bonus-dice game.
    static int points(const Dice& dice, int category, int bonusFace = 0);

    void read(const QByteArray& message);
    void readAll(const QByteArrayList& messages) {
        for (const QByteArray& message : messages)
            read(message);
    }

    // Messages that differ from what the rules give, with what was expected.
    const QStringList& faults() const { return m_faults; }
    // Postings and winner announcements compared so far.
    int postingsChecked() const { return m_postings; }
    int winnersChecked() const { return m_winners; }
    // The seat's total as worked out here, and how many of its categories
    // are filled.
    int total(int seat) const;
    int filled(int seat) const;

private:
    static constexpr int Unscored = 1000;
    // Rows 1..12 of a card (index 0 unused); a card's totals are shown only
    // once something was posted on it.
    struct Card {
        std::array<int, 13> rows;
        bool posted = false;
    };

    void startGame(const QByteArrayList& fields);
    void showDice(const QByteArrayList& fields);
    void checkPosting(const QByteArray& message, const QByteArrayList& fields);
    void checkWinner(const QByteArray& message);
    Card& cardOf(int seat);
    const Card& cardOf(int seat) const;
    QByteArray cardText(int seat) const;
    void fault(const QString& text) { m_faults.append(text); }

    std::array<QByteArray, 5> m_names; // seats 1..4
    std::array<Card, 5> m_cards;       // seats 1..4; in a team game 1 and 2 hold both halves
    Dice m_dice{};                     // 0: not rolled in this turn
    int m_current = 0;
    int m_bonusFace = 0;
    bool m_bonusGame = false;
    bool m_teamGame = false;
    QStringList m_faults;
    int m_postings = 0;
    int m_winners = 0;
};

} // namespace testsupport
