#pragma once

#include "client/ChatLinks.h"
#include "client/GameSession.h"
#include "client/ScoreCard.h"
#include "controls/SkinSpeedButton.h"
#include "game/OptimalStrategy.h"
#include "game/RandomGenerator.h"
#include "net/ColorText.h"
#include "net/GameSocket.h"

#include <QMainWindow>
#include <QRect>
#include <QStringList>
#include <QTextBlock>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <optional>

class QAction;
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

// The player window: the program's main window and every participant's view
// of a game, the hosting player's included. The game itself is the session's
// (`client::TGameSession`): the window draws the session's model when the
// session says what changed, and turns clicks, keys and menu choices into the
// session's requests. It meets the host only over the session's socket, and
// the side windows only through its signals, wired by `GameApplication`.
// Controls keep their names as object names (`label_playername1`,
// `score1_1`, `image_throwdice`, ...).
class Tchat : public QMainWindow {
    Q_OBJECT
public:
    explicit Tchat(QStringList parameters, QWidget* parent = nullptr);
    ~Tchat() override;

    client::TGameSession& session() { return m_session; }
    const client::TGameSession& session() const { return m_session; }
    const client::TGameModel& model() const { return m_session.model(); }

    // The one way to write a line to the chat: bold up to the first ":".
    void addlinetochat(const QString& text, TColor color);

    // What the side windows ask of the player window.
    void startgame(bool bonus, bool team); // the start options' choice
    void gamestartformClose();             // the start options closed without a start
    void setPhrase(int button, const QString& phrase);
    QStringList loadchecklist() const; // the opponents the tally may follow
    void kicking(int slot);            // "Remove From Game" on a spectator
    QPixmap backdrop() const;          // the tiles the side windows share
    void Exit1Click();
    // Where thrown dice land comes from the window's own generator, never the
    // host's; seeded from the clock, or here for pictures that repeat.
    void seedDiceScatter(std::uint32_t seed) { m_diceScatter.seed(seed); }

signals:
    // The window has closed: the program ends.
    void closed();
    // This window hosts: the host of this process listens before it connects.
    void hostingStarted();
    // Side windows the player asks for.
    void downloadWanted();
    void startOptionsWanted();
    void tallyWanted();
    void spyListWanted();
    void phraseListWanted(const QStringList& nine);
    void helpWanted();
    void aboutWanted();
    void siteWanted();
    // The saved place is applied: a side window opened before it follows.
    void placeRestored();
    // The tally's part of a game.
    void fiveOfAKindScored();
    void gameRecorded(const QString& ownTotal, const QString& winner);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    // Entry points reached by name too (the tests call them as the controls do).
    void image_throwdiceClick();
    void score1_1Click(int category);
    void label_playername1ContextPopup(int seat);
    void timer_phraseTimer();
    void clearhint();
    void saveinifile();

private:
    friend class BoardKeys;
    friend class HintTips;

    // Building (ChatForm.cpp and the files of each concern).
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
    void buildKeys();
    void buildGameMenu();
    void buildDieKeys(const QString& edge);
    void buildOptionsMenu(QMenu* options);
    void buildZoomMenu(QMenu* menu);
    void connectSession();
    void applySkin();

    // Launch and close.
    void processparams();
    void hostpress(const QString& playerName, const QString& hostAddress);
    void joinpress(const QString& playerName, const QString& hostAddress);
    void enableHostOptions(bool enabled);
    void openPresenceConnection();
    void button_startClick();
    bool askBeforeLeaving();
    void loadinifile();
    void writeSettings(const QRect& bounds);

    // What the session reports (ChatSession.cpp).
    void sendloginfo();
    void newplayerinfo(int slot, const QString& name, bool self);
    void playerdisconnected(int seat, const QString& name);
    void spectatorleft(int slot, const QString& name);
    void removedbyhost();
    void justwatching(int slot, bool watching);
    void gamefull();
    void hostflooded();
    void hostclosed();
    void sessionEnded();

    // Roster controls.
    void JustWatch1Click();
    void RemoveFromGame1Click();
    void SettoJustWatch1Click();
    void UnsetJustWatch1Click();

    // Chat (ChatMessages.cpp).
    void markLinks(int lineStart, const QString& text);
    void followChatEnd();
    void sendit();
    bool mychatKeyPress(int key);
    void b_phrase1Click(int button);
    void Copy1Click();
    void ScrollChatOff1Click(bool off);
    void PhraseList1Click();
    void mainchatMouseMove(const QPoint& position);
    void mainchatMouseDown(Qt::MouseButton button, const QPoint& position);
    QString phrase(int button) const;
    std::optional<std::pair<QTextBlock, client::ChatLink>> linkAt(const QPoint& position) const;

    // Options, View and Help (ChatSettings.cpp).
    void TextColor1Click();
    void ActionColor1Click();
    void showTextColor();
    void N14Click(int size);
    void markTextSize(int size);
    void Slow1Click(QAction* item);
    void ClassicPlayers1Click(QAction* item);
    void prepareExpertPlayers();
    void PlaySounds1Click(bool on);
    void New1Click(QAction* item);
    void PlayChatterSounds1Click(bool on);
    void doubleClick(bool on);
    void ResetScreenLocation1Click();
    void FormResize();
    int chatTextSize() const;
    void markZoomItems();
    void Zoom1Click(int percent);
    QSize windowSizeFor(int percent) const; // the window's size showing `percent`
    void zoomSettled();

    // Board and turn play (ChatBoard.cpp).
    void startthegame(int starter, bool bonus, bool team);
    void clearall();
    void setbonusdice(int face);
    void getnextplayer(int seat, int rollsMade);
    void thedice(int seat, int rollsMade, const std::vector<std::pair<int, int>>& thrown);
    void placedice(int die, int face);
    void dice1Click(int die);
    void dieMoved(int die, client::DiePlace place);
    void doublecheck(int category);
    void sendscore(int category);
    void rollagain();
    void chooseagain();
    void pscore(int seat, int category);
    void winner(const QString& winners);
    void markColumns();
    void markWinnerColumn(const QString& winners);
    void layWinnerDice();
    bool ownMoveOpen() const;
    bool mayChoose() const;
    void showDiceCursors();
    void showRollButton();
    void showTurnCaption(const QString& caption);
    void showStartButton(bool shown);
    void showTurn();
    void showOtherTurnCaption();
    bool expertThinking() const;
    void showComputerTurn();
    bool isSecondPressOfDoubleClick(QObject* watched, QEvent* event);
    void boardClick(QObject* control);
    void colourOwnColumn(TColor color);
    void moveDie(int die, QPoint design);
    void drawDie(int die);
    void drawTumblingDie(int die, int face, qreal angle);
    std::optional<int> previewPoints(int seat, int row) const;
    void showScorePreview();
    void showCard(int seat);
    void showSeatName(int seat);
    QPixmap art(const QString& name) const; // a picture at design size x zoom
    QPixmap dieArt(int face, bool bonus) const;

    // Sounds (ChatSounds.cpp).
    void playsounds(const QString& name);
    void b_phrase10Click();
    void wave20Click(int tag);
    void playasound(int seat, const QString& wave);

    // Hints: the optimal strategy's next move, marked on the board (ChatHints.cpp).
    void Hint1Click();
    void showhint();
    void hintsSeeMessage(const QString& command);
    bool hintable() const; // our turn, and we may act
    game::TurnPosition hintposition() const;
    const game::OptimalStrategy* hintstrategy() const;
    QString hinttip(QObject* watched); // a category's tool tip, empty for none

    // Screen-reader names, written from the model (ChatAccess.cpp).
    QString dieAccessibleName(int die) const;
    QString cellAccessibleName(int seat, int row) const;
    QString turnAccessibleName() const;
    void showAccessibleNames();

    // Keys: the whole turn from the keyboard while the board has the focus (ChatKeys.cpp).
    bool boardKeyPress(QKeyEvent* event);
    void giveBoardTheKeys();
    void showBoardFocus(bool shown);
    void addKeyItem(const QString& text, const QKeySequence& key, std::function<void()> act);
    void keyRoll();
    void keyScore();
    void keyStart();
    void showKeyMarker();
    void moveKeyMarker(int step);

    client::TGameSession m_session;
    QStringList m_parameters;
    std::unique_ptr<platform::NamedMutex> m_runningMarker;
    TGameSocket sock_lobby;         // presence connection to the lobby; never read or written
    QTimer* timer_phrase = nullptr; // counts the phrase buttons' cool-down, 1 ms a tick
    int phraseticks = 0;
    std::array<QString, 11> m_phrases; // 1..10, as the buttons' tool tips show them
    bool phraseready = true;

    // Controls.
    QFrame* panel_board = nullptr;
    TScoreCard* panel_scorecard = nullptr;
    TSkinSpeedButton* button_start = nullptr;
    TTiledBackground* TiledBackground1 = nullptr;
    QTextEdit* mainchat = nullptr;
    std::array<QLabel*, 5> label_playername{}; // seats 1..4
    std::array<QLabel*, 5> label_score{};
    std::array<QLabel*, 5> image_eyes{};
    QMenu* popup_kick = nullptr;
    int popup_kickSeat = 0; // the seat the open roster menu is about
    QAction* RemoveFromGame1 = nullptr;
    QAction* SettoJustWatch1 = nullptr;
    QAction* UnsetJustWatch1 = nullptr;
    QAction* StartGame1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* JustWatch1 = nullptr;
    QLineEdit* mychat = nullptr;
    std::array<TSkinSpeedButton*, 11> b_phrase{}; // 1..10; a phrase is its button's tool tip
    QLabel* image_sitebadge = nullptr;            // object name "Image4"
    QMenu* PopupMenu1 = nullptr;
    QMenu* popup_sounds = nullptr;
    platform::SoundPlayer* sounds = nullptr;
    QAction* ScrollChatOff1 = nullptr;
    QAction* ScrollOff1 = nullptr;
    QAction* PlaySounds1 = nullptr;
    QAction* Classic1 = nullptr;
    QAction* New1 = nullptr;
    QAction* PlayChatterSounds1 = nullptr;
    QAction* BotSpeed1 = nullptr;
    QAction* Slow1 = nullptr;
    QAction* Normal1 = nullptr;
    QAction* Fast1 = nullptr;
    QAction* ComputerPlayers1 = nullptr;
    QAction* ClassicPlayers1 = nullptr;
    QAction* ExpertPlayers1 = nullptr;
    std::array<QAction*, 4> textSizeItems{}; // N8, N10, N12, N14
    QAction* doubleCheck = nullptr;          // "double" in the menu's own naming
    QAction* Hint1 = nullptr;
    std::array<QAction*, 4> zoomItems{};
    std::array<QLabel*, 6> dice{};    // dice1..dice5
    QLabel* image_keeptray = nullptr; // object name "Image2"
    TSkinSpeedButton* image_throwdice = nullptr;
    QLabel* image_table = nullptr; // the felt under everything on the board
    QLabel* label_status = nullptr;
    QLabel* image_bonusback = nullptr;
    QLabel* image_bonus = nullptr;
    QLabel* image_winner = nullptr;
    QLabel* label_winner = nullptr;
    QPushButton* button_hint = nullptr;
    std::array<QLabel*, 6> label_dicekey{}; // each die's key, shown while the board has the keys
    TDiceTumble* tumble = nullptr;          // the thrown dice tumble a moment before they settle
    QMenu* menu_game = nullptr;
    QFrame* frame_keymarker = nullptr;  // the gold frame over the category Enter scores
    QFrame* frame_boardfocus = nullptr; // the table's edge while it has the keys
    TWindowZoom* zoom = nullptr;
    QMessageBox* m_zeroScoreBox = nullptr;
    QMessageBox* m_fullBox = nullptr;
    QMessageBox* m_hostClosedBox = nullptr;
    QMessageBox* m_leaveBox = nullptr;

    // The window's own state: what it shows and offers, never game state.
    TRandomGenerator m_diceScatter{TRandomGenerator::clockSeed()};
    QRect m_savedBounds; // the bounds last loaded from or saved to the settings file
    QString m_turnCaption = QStringLiteral("Score Card"); // as the card shows it
    bool m_startOffered = false;                          // the start button is up
    bool m_scrollChatOff = false;
    bool m_leaveConfirmed = false;
    bool m_doublePress = false; // the press under way is the second of a double click
    bool m_chatAtEnd = true;    // the display shows its newest line
    bool m_shownOnce = false;
    bool m_closing = false;
    bool m_hintWanted = false;      // asked for while the tables were being worked out
    bool m_zoomToSave = false;      // a Zoom item was chosen: saved once the size is taken
    QObject* m_boardKeys = nullptr; // sees the board's keys and focus
    int m_keyRow = 0;               // the category under the key marker, 0 outside the own turn
};
