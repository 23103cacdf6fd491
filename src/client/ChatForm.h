#pragma once

#include "client/ChatLinks.h"
#include "client/FormSet.h"
#include "client/GameModel.h"
#include "client/ScoreCard.h"
#include "controls/SkinSpeedButton.h"
#include "game/OptimalStrategy.h"
#include "net/ColorText.h"
#include "net/GameSocket.h"
#include "net/WireProtocol.h"

#include <QMainWindow>
#include <QRect>
#include <QStringList>
#include <QTextBlock>
#include <QTimer>
#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QActionGroup;
class QFrame;
class QKeyEvent;
class QKeySequence;
class QLabel;
class QLineEdit;
class QMenu;
class QMessageBox;
class QPushButton;
class QTextEdit;
class TDiceTumble;
class TTiledBackground;
class TWindowZoom;

namespace platform {
class NamedMutex;
class SoundPlayer;
} // namespace platform

// The player window: the program's main window and every participant's view of
// a game, the hosting player's included. It meets the host only over its
// socket, even when the host runs in the same process. Received messages wait
// in `receivedlist` and are handled one per tick of `Timer1`.
class Tchat : public QMainWindow {
    Q_OBJECT
public:
    Tchat(const TFormSet& forms, QStringList parameters, QWidget* parent = nullptr);
    ~Tchat() override;

    // The game as the host reported it; the widgets show it.
    client::TGameModel model;

    // Connection state.
    bool loggedin = false;
    bool hosting = false;
    QString playername;
    QString hostaddress;
    QByteArray logintext; // the player name and one terminator byte
    bool canact = false;  // the own turn may send its next move

    TGameSocket sock;   // the connection to the host
    TGameSocket Sock11; // presence connection to the lobby; never read or written
    QTimer Timer1;      // the message pump, 1 ms while there is work
    std::deque<QByteArray> receivedlist;
    // Past either limit the host is taken to be broken and the window leaves.
    static constexpr std::size_t MaxReceivedMessages = 100000;
    static constexpr qsizetype MaxReceivedBytes = 64 * 1024 * 1024;

    // Controls.
    QFrame* panel_board = nullptr;
    TScoreCard* panel_scorecard = nullptr;
    TSkinSpeedButton* button_start = nullptr;
    TTiledBackground* TiledBackground1 = nullptr; // the side windows copy its picture
    QTextEdit* mainchat = nullptr;
    std::array<QLabel*, 5> label_playername{}; // seats 1..4
    std::array<QLabel*, 5> label_score{};
    std::array<QLabel*, 5> image_eyes{};
    QMenu* popup_kick = nullptr;
    int popup_kickTag = 0;
    QAction* RemoveFromGame1 = nullptr;
    QAction* SettoJustWatch1 = nullptr;
    QAction* UnsetJustWatch1 = nullptr;
    QAction* StartGame1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* JustWatch1 = nullptr;
    QAction* SpyList1 = nullptr;

    // Chat.
    QLineEdit* mychat = nullptr;
    std::array<TSkinSpeedButton*, 11> b_phrase{}; // 1..10; a phrase is its button's tool tip
    QLabel* Image4 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QMenu* popup_sounds = nullptr;
    std::array<QAction*, 21> wave{}; // wave1..wave20; [0] is "<Cancel>"
    platform::SoundPlayer* sounds = nullptr;
    QAction* Copy1 = nullptr;
    QAction* ScrollChatOff1 = nullptr;
    QAction* ScrollOff1 = nullptr;
    bool phraseready = true;
    int phraseticks = 0;

    // Options, View and Help menus.
    QAction* PlaySounds1 = nullptr;
    QAction* TurnSound1 = nullptr;
    QAction* Classic1 = nullptr;
    QAction* New1 = nullptr;
    QAction* PlayChatterSounds1 = nullptr;
    QAction* BotSpeed1 = nullptr;
    QAction* Slow1 = nullptr;
    QAction* Normal1 = nullptr;
    QAction* Fast1 = nullptr;
    QAction* ComputerPlayers1 = nullptr; // Classic or Expert, for the host of this process
    QAction* ClassicPlayers1 = nullptr;
    QAction* ExpertPlayers1 = nullptr;
    QAction* TextColor1 = nullptr;
    QAction* ActionColor1 = nullptr;
    std::array<QAction*, 4> textSizeItems{}; // N8, N10, N12, N14
    QAction* ResetScreenLocation1 = nullptr;
    QAction* doubleCheck = nullptr; // "double" in the menu's own naming
    QAction* ViewTally1 = nullptr;
    QAction* PhraseList1 = nullptr;
    QAction* Help2 = nullptr;
    QAction* About1 = nullptr;

    // Board and scorecard.
    std::array<QLabel*, 6> dice{}; // dice1..dice5
    QLabel* Image2 = nullptr;      // the keep tray
    TSkinSpeedButton* image_throwdice = nullptr;
    QLabel* image_table = nullptr; // the felt under everything on the board
    QLabel* label_status = nullptr;
    QLabel* image_bonusback = nullptr;
    QLabel* image_bonus = nullptr;
    QLabel* image_winner = nullptr;
    QLabel* label_winner = nullptr;
    QMessageBox* zeroScoreBox = nullptr;
    std::array<QLabel*, 6> label_dicekey{}; // each die's key, shown while the board has the keys
    TDiceTumble* tumble = nullptr;          // the thrown dice tumble a moment before they settle

    // Settings held by the window.
    TColor textColor = clBlack;   // ColorDialog
    TColor actionColor = clBlack; // ColorDialog2
    int botSpeedTag = 750;        // BotSpeed1's tag: 500, 1000 or 1500 once loaded
    int turnSoundTag = 0;         // TurnSound1's tag: 0 Classic, 1 New
    int botSkillTag = 0;          // ComputerPlayers1's tag: 0 Classic, 1 Expert

    // The one way to write a line to the chat: bold up to the first ":".
    void addlinetochat(const QString& text, TColor color);
    void markLinks(int lineStart, const QString& text);

    // Launch and close.
    void processparams();
    void hostpress();
    void joinpress();
    void enableHostOptions(bool enabled);
    void button_startClick();
    void Exit1Click();
    void loadinifile();
    void saveinifile();

    // Session with the host.
    void sockInfo(TGameSocket* sender, TSocketInfo info, const QString& msg);
    void sockRead(TGameSocket* sender, int count);
    void Timer1Timer();
    void processsocktimer();
    void sendloginfo(const QString& arguments);
    void newplayerinfo(const QString& arguments);
    void playerdisconnected(const QString& arguments);
    void removedbyhost(const QString& name);
    void justwatching(const QString& arguments);
    void chatrecieved(const QString& arguments);
    void gamefull();
    void hostflooded();
    void hostclosed();

    // Roster controls.
    void JustWatch1Click();
    void label_playername1ContextPopup(int seat);
    void RemoveFromGame1Click();
    void kicking(int slot);
    void SettoJustWatch1Click();
    void UnsetJustWatch1Click();
    void SpyList1Click();

    // Chat.
    void sendit();
    void b_phrase1Click(int button);
    void Copy1Click();
    void ScrollChatOff1Click();
    void PhraseList1Click();
    void Image4Click();
    void mainchatMouseMove(const QPoint& position);
    void mainchatMouseDown(Qt::MouseButton button, const QPoint& position);
    void setPhrase(int button, const QString& phrase);
    QString phrase(int button) const;

    // Options, View and Help.
    void TextColor1Click();
    void ActionColor1Click();
    void N14Click(int size);
    void Slow1Click(QAction* item);
    void ClassicPlayers1Click(QAction* item);
    void PlaySounds1Click();
    void New1Click(QAction* item);
    void PlayChatterSounds1Click();
    void doubleClick();
    void ResetScreenLocation1Click();
    void ViewTally1Click();
    void Help2Click();
    void About1Click();
    void startgame(bool bonus, bool team);

    // Board and turn play.
    void startthegame(const QString& arguments);
    void clearall();
    void setbonusdice(const QString& arguments);
    void getnextplayer(const QString& arguments);
    void image_throwdiceClick();
    void thedice(const QString& arguments);
    void placedice(int die, int face);
    void dice1Click(int die);
    void setdice(const QString& arguments);
    void unsetdice(const QString& arguments);
    void score1_1Click(int category);
    void doublecheck(int category);
    void sendscore(int category);
    void rollagain();
    void chooseagain();
    void gamestartformClose();
    void pscore(const QString& arguments);
    void winner(const QString& arguments);
    void loadchecklist();

    // Sounds.
    void playsounds(const QString& name);
    void b_phrase10Click();
    void wave20Click(int tag);
    void playasound(const QString& arguments);
    void sendToHost(const QByteArray& message);

    // Hints: the optimal strategy's next move, marked on the board (ChatHints.cpp).
    QAction* Hint1 = nullptr;
    QPushButton* button_hint = nullptr;
    void Hint1Click();
    void showhint();
    void clearhint();
    void hintsSeeMessage(const QString& command);
    bool hintable() const; // our turn, and we may act
    game::TurnPosition hintposition() const;
    QString hinttip(QObject* watched); // a category's tool tip, empty for none

    // Screen-reader names, written from the model (ChatAccess.cpp).
    QString dieAccessibleName(int die) const;
    QString cellAccessibleName(int seat, int row) const;
    QString turnAccessibleName() const;
    void showAccessibleNames();

    // Keys: the whole turn from the keyboard while the board has the focus (ChatKeys.cpp).
    QMenu* menu_game = nullptr;
    QFrame* frame_keymarker = nullptr;  // the gold frame over the category Enter scores
    QFrame* frame_boardfocus = nullptr; // the table's edge while it has the keys
    bool boardKeyPress(QKeyEvent* event);
    void giveBoardTheKeys();
    void showBoardFocus(bool shown);

    // The bounds last loaded from or saved to the settings file.
    QRect savedBounds;

    // The layout follows the window's size (WindowZoom.h); View -> Zoom sets
    // the size for 100, 125, 150 or 200 %.
    TWindowZoom* zoom = nullptr;
    std::array<QAction*, 4> zoomItems{};
    void Zoom1Click(int percent);
    QSize windowSizeFor(int percent) const; // the window's size showing `percent`

signals:
    // The window has closed: the program ends.
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void FormClose();
    void buildMenus();
    void buildPanels();
    void buildRoster();
    void buildChat();
    void buildBoard();
    void buildSounds();
    void buildScorecard();
    void buildHints();
    void buildAccessibleNames();
    const game::OptimalStrategy* hintstrategy() const;
    void buildKeys();
    void buildGameMenu();
    void buildDieKeys(const QString& edge);
    void addKeyItem(const QString& text, const QKeySequence& key, std::function<void()> act);
    void keyRoll();
    void keyScore();
    void keyStart();
    void showKeyMarker();
    void moveKeyMarker(int step);
    void applySkin();
    void markColumns();
    void markWinnerColumn(const QString& winners);
    void layWinnerDice();
    bool ownMoveOpen() const;
    bool mayChoose() const;
    void showDiceCursors();
    bool playsOwnTurn() const;
    void showTurn();
    void showOtherTurnCaption();
    bool expertThinking() const;
    void showComputerTurn();
    void prepareExpertPlayers();
    bool isSecondPressOfDoubleClick(QObject* watched, QEvent* event);
    void followChatEnd();
    bool askBeforeLeaving();
    void colourOwnColumn(TColor color);
    void placeDieInColumn(int die, int left, client::DiePlace place);
    void moveDie(int die, QPoint design);
    void drawDie(int die);
    void drawTumblingDie(int die, int face, qreal angle);
    std::optional<int> previewPoints(int seat, int row) const;
    void showScorePreview();
    void showCard(int seat);
    void showSeatName(int seat);
    void boardClick(QObject* control);
    void buildOptionsMenu(QMenu* options);
    void FormResize();
    void showTextColor();
    void buildZoomMenu(QMenu* menu);
    void markZoomItems();
    void zoomSettled();
    QPixmap art(const QString& name) const; // a picture at design size x zoom
    QPixmap dieArt(int face, bool bonus) const;
    int chatTextSize() const;
    bool mychatKeyPress(int key);
    std::optional<std::pair<QTextBlock, client::ChatLink>> linkAt(const QPoint& position) const;
    void openPresenceConnection();
    void showdownload();
    void writeSettings(const QRect& bounds);
    void dispatch(const net::WireLine& line);
    void wakePump();
    void closeWhenQueueIsDone();

    const TFormSet& m_forms;
    QStringList m_parameters;
    std::unique_ptr<platform::NamedMutex> m_runningMarker;
    net::MessageFramer m_remainder;
    qsizetype m_receivedBytes = 0; // the bytes of the lines in receivedlist
    QMessageBox* m_fullBox = nullptr;
    QMessageBox* m_hostClosedBox = nullptr;
    QMessageBox* m_leaveBox = nullptr;
    bool m_leaveConfirmed = false;
    bool m_doublePress = false; // the press under way is the second of a double click
    bool m_chatAtEnd = true;    // the display shows its newest line
    bool m_shownOnce = false;
    bool m_downloadOffered = false; // the lobby's offer is made once
    bool m_closing = false;
    bool m_hostGone = false;
    bool m_removed = false;         // the host removed us; the connection is closed
    bool m_hintWanted = false;      // asked for while the tables were being worked out
    bool m_zoomToSave = false;      // a Zoom item was chosen: saved once the size is taken
    QObject* m_boardKeys = nullptr; // sees the board's keys and focus
    int m_keyRow = 0;               // the category under the key marker, 0 outside the own turn
};
