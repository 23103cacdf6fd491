#include "support/ChatParts.h"

#include "platform/SoundPlayer.h"

#include <QTimer>

namespace testsupport {

namespace {

template <typename Part> Part* find(Tchat& chat, const QString& name) {
    return chat.findChild<Part*>(name);
}

// The question on screen now; one answered may wait for its deletion.
QMessageBox* openBox(Tchat& chat, const QString& name) {
    for (QMessageBox* box : chat.findChildren<QMessageBox*>(name))
        if (box->isVisible())
            return box;
    return nullptr;
}

} // namespace

ChatParts::ChatParts(Tchat& chat)
    : panel_board(find<QFrame>(chat, "panel_board"))
    , panel_scorecard(chat.findChild<TScoreCard*>())
    , mainchat(find<QTextEdit>(chat, "mainchat"))
    , mychat(find<QLineEdit>(chat, "mychat"))
    , button_start(find<TSkinSpeedButton>(chat, "button_start"))
    , image_throwdice(find<TSkinSpeedButton>(chat, "image_throwdice"))
    , label_status(find<QLabel>(chat, "label_status"))
    , label_winner(find<QLabel>(chat, "label_winner"))
    , image_winner(find<QLabel>(chat, "image_winner"))
    , image_bonus(find<QLabel>(chat, "image_bonus"))
    , image_bonusback(find<QLabel>(chat, "image_bonusback"))
    , Image2(find<QLabel>(chat, "Image2"))
    , button_hint(find<QPushButton>(chat, "button_hint"))
    , frame_keymarker(find<QFrame>(chat, "frame_keymarker"))
    , frame_boardfocus(find<QFrame>(chat, "frame_boardfocus"))
    , tumble(chat.findChild<TDiceTumble*>())
    , zoom(chat.findChild<TWindowZoom*>())
    , sounds(chat.findChild<platform::SoundPlayer*>())
    , timer_phrase(find<QTimer>(chat, "timer_phrase"))
    , zeroScoreBox(openBox(chat, "zeroScoreBox"))
    , StartGame1(find<QAction>(chat, "StartGame1"))
    , Exit1(find<QAction>(chat, "Exit1"))
    , JustWatch1(find<QAction>(chat, "JustWatch1"))
    , doubleCheck(find<QAction>(chat, "double"))
    , PlaySounds1(find<QAction>(chat, "PlaySounds1"))
    , PlayChatterSounds1(find<QAction>(chat, "PlayChatterSounds1"))
    , Classic1(find<QAction>(chat, "Classic1"))
    , New1(find<QAction>(chat, "New1"))
    , Slow1(find<QAction>(chat, "Slow1"))
    , Normal1(find<QAction>(chat, "Normal1"))
    , Fast1(find<QAction>(chat, "Fast1"))
    , ClassicPlayers1(find<QAction>(chat, "ClassicPlayers1"))
    , ExpertPlayers1(find<QAction>(chat, "ExpertPlayers1"))
    , ScrollOff1(find<QAction>(chat, "ScrollOff1"))
    , ScrollChatOff1(find<QAction>(chat, "ScrollChatOff1"))
    , Hint1(find<QAction>(chat, "Hint1"))
    , ViewTally1(find<QAction>(chat, "ViewTally1"))
    , SpyList1(find<QAction>(chat, "SpyList1"))
    , BotSpeed1(find<QAction>(chat, "BotSpeed1"))
    , ComputerPlayers1(find<QAction>(chat, "ComputerPlayers1"))
    , PhraseList1(find<QAction>(chat, "PhraseList1"))
    , Help2(find<QAction>(chat, "Help2"))
    , About1(find<QAction>(chat, "About1"))
    , RemoveFromGame1(find<QAction>(chat, "RemoveFromGame1"))
    , SettoJustWatch1(find<QAction>(chat, "SettoJustWatch1"))
    , UnsetJustWatch1(find<QAction>(chat, "UnsetJustWatch1")) {
    for (int seat = 1; seat <= 4; ++seat) {
        label_playername[seat] = find<QLabel>(chat, QStringLiteral("label_playername%1").arg(seat));
        label_score[seat] = find<QLabel>(chat, QStringLiteral("label_score%1").arg(seat));
        image_eyes[seat] = find<QLabel>(chat, QStringLiteral("image_eyes%1").arg(seat));
    }
    for (int die = 1; die <= 5; ++die) {
        dice[die] = find<QLabel>(chat, QStringLiteral("dice%1").arg(die));
        label_dicekey[die] = find<QLabel>(chat, QStringLiteral("label_dicekey%1").arg(die));
    }
    for (int button = 1; button <= 10; ++button)
        b_phrase[button] = find<TSkinSpeedButton>(chat, QStringLiteral("b_phrase%1").arg(button));
    wave[0] = find<QAction>(chat, "Cancel1");
    for (int tag = 1; tag <= 20; ++tag)
        wave[tag] = find<QAction>(chat, QStringLiteral("wave%1").arg(tag));
    const std::array<int, 4> sizes = {8, 10, 12, 14};
    const std::array<int, 4> steps = {100, 125, 150, 200};
    for (std::size_t i = 0; i < 4; ++i) {
        textSizeItems[i] = find<QAction>(chat, QStringLiteral("N%1").arg(sizes[i]));
        zoomItems[i] = find<QAction>(chat, QStringLiteral("Zoom%1").arg(steps[i]));
    }
}

} // namespace testsupport
