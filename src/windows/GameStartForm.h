#pragma once

#include <QWidget>
#include <functional>

class TSkinCheckBox;
class TSkinSpeedButton;
class TTiledBackground;
class QFrame;

// The hosting player's choice of game before the start. Created once and only
// hidden between games, so the boxes offer the last choice again.
class Tgamestartform : public QWidget {
    Q_OBJECT
public:
    explicit Tgamestartform(QWidget* parent = nullptr);

    QFrame* panel_main = nullptr;
    TSkinCheckBox* team = nullptr;
    TSkinCheckBox* bonus = nullptr;
    TSkinSpeedButton* button_start = nullptr;
    TTiledBackground* TiledBackground1 = nullptr;

    // Set by the player window: starts the game with the chosen options.
    std::function<void(bool bonus, bool team)> onStartGame;
    // Set by the player window: the dialog was closed without starting.
    std::function<void()> onClosedWithoutStart;

    void button_startClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};
