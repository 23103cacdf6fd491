#pragma once

#include "client/ChatForm.h"
#include "client/DiceTumble.h"
#include "client/ScoreCard.h"
#include "client/WindowZoom.h"
#include "controls/SkinSpeedButton.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTextEdit>
#include <array>
#include <gtest/gtest.h>

namespace platform {
class SoundPlayer;
} // namespace platform

namespace testsupport {

// The player window's controls found by their names, as a player's tools
// (and the screen reader) find them; the window keeps them to itself.
struct ChatParts {
    explicit ChatParts(Tchat& chat);

    QFrame* panel_board;
    TScoreCard* panel_scorecard;
    QTextEdit* mainchat;
    QLineEdit* mychat;
    TSkinSpeedButton* button_start;
    TSkinSpeedButton* image_throwdice;
    QLabel* label_status;
    QLabel* label_winner;
    QLabel* image_winner;
    QLabel* image_bonus;
    QLabel* image_bonusback;
    QLabel* Image2; // the keep tray
    QPushButton* button_hint;
    QFrame* frame_keymarker;
    QFrame* frame_boardfocus;
    TDiceTumble* tumble;
    TWindowZoom* zoom;
    platform::SoundPlayer* sounds;
    QTimer* timer_phrase;      // the phrase buttons' cool-down
    QMessageBox* zeroScoreBox; // open while a zero score waits for its answer
    std::array<QLabel*, 5> label_playername{};
    std::array<QLabel*, 5> label_score{};
    std::array<QLabel*, 5> image_eyes{};
    std::array<QLabel*, 6> dice{};
    std::array<QLabel*, 6> label_dicekey{};
    std::array<TSkinSpeedButton*, 11> b_phrase{};
    std::array<QAction*, 21> wave{};
    std::array<QAction*, 4> textSizeItems{};
    std::array<QAction*, 4> zoomItems{};
    QAction* StartGame1;
    QAction* Exit1;
    QAction* JustWatch1;
    QAction* doubleCheck;
    QAction* PlaySounds1;
    QAction* PlayChatterSounds1;
    QAction* Classic1;
    QAction* New1;
    QAction* Slow1;
    QAction* Normal1;
    QAction* Fast1;
    QAction* ClassicPlayers1;
    QAction* ExpertPlayers1;
    QAction* ScrollOff1;
    QAction* ScrollChatOff1;
    QAction* Hint1;
    QAction* ViewTally1;
    QAction* SpyList1;
    QAction* BotSpeed1;
    QAction* ComputerPlayers1;
    QAction* PhraseList1;
    QAction* Help2;
    QAction* About1;
    QAction* RemoveFromGame1;
    QAction* SettoJustWatch1;
    QAction* UnsetJustWatch1;
};

inline ChatParts ui(Tchat& chat) {
    return ChatParts(chat);
}

// Sets a checkable menu item as the player does: by choosing it.
inline void choose(QAction* item, bool checked) {
    if (item->isChecked() != checked)
        item->trigger();
}

// The session's message pump or the phrase cool-down still ticks.
inline bool timersActive(Tchat& chat) {
    return chat.session().timer_pump.isActive() || ChatParts(chat).timer_phrase->isActive();
}

// Calls one of the window's handlers by its name, as its menus and controls do.
template <typename... Args> void invoke(Tchat& chat, const char* handler, Args... arguments) {
    if (!QMetaObject::invokeMethod(
            &chat, handler, Qt::DirectConnection,
            QArgument<Args>(QMetaType::fromType<Args>().name(), arguments)...))
        ADD_FAILURE() << "the window has no handler " << handler;
}

} // namespace testsupport
