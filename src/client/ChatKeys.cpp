// The whole turn from the keyboard. The keys belong to the board only while
// it has the focus, so whatever is typed in the chat line stays chat; a key
// typed on the board that the game does not use moves on to the chat line.
#include "client/ChatForm.h"
#include "client/WindowZoom.h"
#include "controls/PlainLabel.h"
#include "controls/SkinArt.h"
#include "controls/SkinSpeedButton.h"
#include "game/ScoringRules.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>

// Sees the keys of the board's widgets and Esc in the chat line.
class BoardKeys : public QObject {
public:
    explicit BoardKeys(Tchat& chat)
        : QObject(&chat)
        , m_chat(chat) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_chat.panel_board &&
            (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
            m_chat.showBoardFocus(event->type() == QEvent::FocusIn);
        if (event->type() != QEvent::KeyPress)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (watched != m_chat.mychat)
            return m_chat.boardKeyPress(key);
        if (key->key() != Qt::Key_Escape)
            return false;
        m_chat.giveBoardTheKeys();
        return true;
    }

private:
    Tchat& m_chat;
};

namespace {

// The menu shows the key, the board acts on it: the shortcut is tied to the
// menu alone, so it never takes a key from the chat line.
void showKey(QAction* item, const QKeySequence& key) {
    item->setShortcut(key);
    item->setShortcutContext(Qt::WidgetShortcut);
}

bool printable(const QString& text) {
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c.isPrint(); });
}

} // namespace

void Tchat::buildKeys() {
    // A click anywhere on the board or the scorecard gives the board the keys.
    panel_board->setFocusPolicy(Qt::StrongFocus);
    panel_scorecard->setFocusProxy(panel_board);
    panel_scorecard->setFocusPolicy(Qt::ClickFocus);
    auto* keys = new BoardKeys(*this);
    m_boardKeys = keys;
    panel_board->installEventFilter(keys);
    for (QWidget* control : panel_board->findChildren<QWidget*>())
        if (control->focusPolicy() != Qt::NoFocus)
            control->installEventFilter(keys);
    mychat->installEventFilter(keys);
    mychat->setFocus(); // the chat line has the keys until the player gives them away

    frame_keymarker = new QFrame(panel_scorecard);
    frame_keymarker->setObjectName(QStringLiteral("frame_keymarker"));
    frame_keymarker->setAttribute(Qt::WA_TransparentForMouseEvents);
    // Gold like the column on turn, filled so it stands out inside that frame.
    QColor gold = QColor::fromRgba(controls::SkinArt::Gold);
    const QString edge = gold.name();
    gold.setAlpha(110);
    zoom->setStyleSheet(
        frame_keymarker,
        QStringLiteral("#frame_keymarker { border: 2px solid %1; border-radius: 3px;"
                       " background: %2; }")
            .arg(edge, gold.name(QColor::HexArgb)));
    frame_keymarker->hide();

    // Shows where the keys go: a thin gold edge round the table while it has them.
    frame_boardfocus = new QFrame(panel_board);
    frame_boardfocus->setObjectName(QStringLiteral("frame_boardfocus"));
    frame_boardfocus->setAttribute(Qt::WA_TransparentForMouseEvents);
    frame_boardfocus->setGeometry(panel_board->rect());
    frame_boardfocus->setStyleSheet(
        QStringLiteral("#frame_boardfocus { border: 2px solid %1; }").arg(edge));
    frame_boardfocus->hide();
    buildDieKeys(edge);
    panel_board->setAccessibleDescription(
        QStringLiteral("Space or R rolls, 1 to 5 keep or return a die, Up and Down choose a "
                       "category, Enter scores it, H shows a hint, Esc in the chat line "
                       "returns here"));
    buildGameMenu();
}

// The dice lie scattered: while the board has the keys each shows the key
// that keeps or returns it, on its corner.
void Tchat::buildDieKeys(const QString& edge) {
    for (int die = 1; die <= 5; ++die) {
        auto* key = new TPlainLabel(QString::number(die), panel_board);
        key->setObjectName(QStringLiteral("label_dicekey%1").arg(die));
        key->setAttribute(Qt::WA_TransparentForMouseEvents);
        key->setAlignment(Qt::AlignCenter);
        key->resize(15, 15);
        key->setStyleSheet(
            QStringLiteral("#label_dicekey%1 { color: #fff3d6; font: bold 11px Arial;"
                           " background: rgba(40, 24, 10, 225);"
                           " border: 1px solid %2; border-radius: 7px; }")
                .arg(die)
                .arg(edge));
        key->hide();
        label_dicekey[die] = key;
        moveDie(die, dice[die]->pos());
    }
}

void Tchat::buildGameMenu() {
    menu_game = new QMenu(QStringLiteral("&Game"), this);
    menuBar()->insertMenu(menuBar()->actions().value(1), menu_game);
    addKeyItem(QStringLiteral("&Roll Dice"), QKeySequence(Qt::Key_Space), [this] { keyRoll(); });
    for (int die = 1; die <= 5; ++die)
        addKeyItem(QStringLiteral("Keep or Return Die &%1").arg(die), QKeySequence(Qt::Key_0 + die),
                   [this, die] { dice1Click(die); });
    menu_game->addSeparator();
    addKeyItem(QStringLiteral("&Previous Category"), QKeySequence(Qt::Key_Up),
               [this] { moveKeyMarker(-1); });
    addKeyItem(QStringLiteral("&Next Category"), QKeySequence(Qt::Key_Down),
               [this] { moveKeyMarker(1); });
    addKeyItem(QStringLiteral("&Score Category"), QKeySequence(Qt::Key_Return),
               [this] { keyScore(); });
    // S on the board; Ctrl+N, the usual key for a new game, anywhere in the window.
    StartGame1->setText(QStringLiteral("&Start Game\tS, Ctrl+N"));
    auto* newGame = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_N), this);
    connect(newGame, &QShortcut::activated, StartGame1, &QAction::trigger);
    showKey(Hint1, QKeySequence(Qt::Key_H));
}

void Tchat::addKeyItem(const QString& text, const QKeySequence& key, std::function<void()> act) {
    showKey(menu_game->addAction(text, this, std::move(act)), key);
}

void Tchat::showBoardFocus(bool shown) {
    frame_boardfocus->setVisible(shown);
    if (shown)
        frame_boardfocus->raise();
    for (int die = 1; die <= 5; ++die) {
        label_dicekey[die]->setVisible(shown);
        if (shown)
            label_dicekey[die]->raise();
    }
}

void Tchat::giveBoardTheKeys() {
    panel_board->setFocus(Qt::OtherFocusReason);
}

// A game key acts on the board (a held key repeats only the marker's moves);
// any other printable key is chat.
bool Tchat::boardKeyPress(QKeyEvent* event) {
    const auto held =
        event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier | Qt::GroupSwitchModifier);
    if (held != Qt::NoModifier)
        return false; // Ctrl and Alt keys stay the menus'
    const int key = event->key();
    const bool once = !event->isAutoRepeat();
    if (key >= Qt::Key_1 && key <= Qt::Key_5) {
        if (once)
            dice1Click(key - Qt::Key_0);
        return true;
    }
    switch (key) {
    case Qt::Key_Space:
    case Qt::Key_R:
        if (once)
            keyRoll();
        return true;
    case Qt::Key_Up:
    case Qt::Key_Left:
        moveKeyMarker(-1);
        return true;
    case Qt::Key_Down:
    case Qt::Key_Right:
        moveKeyMarker(1);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (once)
            keyScore();
        return true;
    case Qt::Key_H:
        if (once)
            Hint1Click();
        return true;
    case Qt::Key_S:
        if (once)
            keyStart();
        return true;
    default:
        break;
    }
    if (!printable(event->text()))
        return false;
    mychat->setFocus(Qt::OtherFocusReason);
    QKeyEvent typed(QEvent::KeyPress, key, event->modifiers(), event->text(), event->isAutoRepeat(),
                    event->count());
    QApplication::sendEvent(mychat, &typed);
    return true;
}

// ---------------------------------------------------------------- what a key may do

// Only what the board offers now: the roll button, the Start button.
void Tchat::keyRoll() {
    if (ownMoveOpen() && m_session.rollOffered())
        image_throwdiceClick();
}

void Tchat::keyScore() {
    if (mayChoose() && m_keyRow != 0)
        score1_1Click(m_keyRow);
}

void Tchat::keyStart() {
    if (m_startOffered)
        button_startClick();
}

// ---------------------------------------------------------------- the marker

// Shown while the own turn may choose, over a free category of the own
// column; it keeps its row through the turn and starts on the first free one.
void Tchat::showKeyMarker() {
    if (!mayChoose()) {
        frame_keymarker->hide();
        if (!model().ownTurn())
            m_keyRow = 0;
        return;
    }
    if (!model().ownCategoryFree(m_keyRow)) {
        m_keyRow = 0;
        for (int row = scoring::CategoryCount; row >= 1; --row)
            if (model().ownCategoryFree(row))
                m_keyRow = row;
    }
    if (m_keyRow == 0)
        return frame_keymarker->hide();
    zoom->setGeometry(frame_keymarker,
                      zoom->designGeometry(panel_scorecard->score[model().ownSeat()][m_keyRow]));
    frame_keymarker->raise();
    frame_keymarker->show();
}

// The categories stand in number order down the card; the marker wraps.
void Tchat::moveKeyMarker(int step) {
    showKeyMarker();
    if (m_keyRow == 0 || !mayChoose())
        return;
    int row = m_keyRow;
    for (int tried = 0; tried < scoring::CategoryCount; ++tried) {
        row = (row - 1 + step + scoring::CategoryCount) % scoring::CategoryCount + 1;
        if (model().ownCategoryFree(row))
            break;
    }
    m_keyRow = row;
    showKeyMarker();
}
