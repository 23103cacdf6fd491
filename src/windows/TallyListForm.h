#pragma once

#include <QWidget>

class QListWidget;

// The local player's games, wins, five-of-a-kinds and highest score, and the
// opponents the player chooses to tally.
class Ttallylist : public QWidget {
    Q_OBJECT
public:
    explicit Ttallylist(QWidget* parent = nullptr);

    QListWidget* checklist = nullptr;     // players of the current game
    QListWidget* listbox_tally = nullptr; // opponents being tallied

    int games = 0;
    int wins = 0;
    int fivekinds = 0;
    int highscore = 0;

    // The end of a game: the own total, and the winner ("addtomine" for us).
    void checkhighscore(int total);
    void addgame(const QString& winner);
    // One more of the own column (3: five of a kind).
    void addtomine(int column);

signals:
    void tallyChanged();
};
