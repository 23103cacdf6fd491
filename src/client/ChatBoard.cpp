// The board of the player window: dice, keep tray, roll and start buttons,
// the scorecard, and the player's own moves. The window decides nothing: it
// asks the host and draws what the host reports.
#include "client/ChatForm.h"
#include "client/ColorConversion.h"
#include "client/DiceTumble.h"
#include "client/WindowZoom.h"
#include "controls/HoverLabel.h"
#include "controls/PlainLabel.h"
#include "controls/SkinArt.h"
#include "controls/SkinSpeedButton.h"
#include "controls/TiledBackground.h"
#include "game/ComputerNames.h"
#include "game/RandomGenerator.h"
#include "game/ScoringRules.h"
#include "game/StrategyStore.h"

#include <QAction>
#include <QEvent>
#include <QFrame>
#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>

using client::TGameModel;

namespace {

constexpr int DieSize = 32;
constexpr std::array<QPoint, 6> DiceDesignPositions = {QPoint(),         QPoint(379, 210),
                                                       QPoint(323, 250), QPoint(387, 234),
                                                       QPoint(355, 250), QPoint(347, 226)};
constexpr std::array<int, 6> KeepTops = {0, 18, 50, 82, 114, 146};
constexpr int KeptLeft = 438;     // the middle of the keep tray
constexpr int ReleasedLeft = 376; // beside the tray, until the die is thrown again
// At the end the dice on the table line up under the winner's text.
constexpr int FinalDiceTop = 200;
constexpr int FinalDiceLeft = 120;
constexpr int FinalDiceStep = 40;
constexpr std::array<int, 6> ScatterColumn = {0, 3, 4, 5, 1, 2};
// A die's key number sits on the die's top left corner.
constexpr QPoint DieKeyOffset(-6, -6);
QColor skinColor(QRgb rgb) {
    return QColor::fromRgba(rgb);
}

// An image button: no face, no edge, only its picture strip (up, disabled,
// pressed, latched).
void makeImageButton(TSkinSpeedButton* button) {
    button->setTransparentMode(TSkinSpeedButton::tmAlways);
    button->setColorBorder(Qt::transparent);
    button->setColorHighLight(Qt::transparent);
    button->setColorShadow(Qt::transparent);
    button->setCursor(Qt::PointingHandCursor);
}

QPixmap buttonStrip(const QString& name, QSize size, const QWidget* widget) {
    return controls::SkinArt::strip({name, name, name + "-down", name}, size, widget);
}

} // namespace

// ---------------------------------------------------------------- building

void Tchat::buildBoard() {
    panel_board->setStyleSheet(QString());
    image_table = new TPlainLabel(panel_board);
    image_table->setObjectName(QStringLiteral("image_table"));
    image_table->setGeometry(0, 0, 484, 312);
    image_table->lower();

    image_keeptray = new TPlainLabel(panel_board);
    image_keeptray->setObjectName(QStringLiteral("Image2"));
    image_keeptray->setGeometry(425, 1, 58, 181);

    for (int die = 1; die <= 5; ++die) {
        auto* picture = new TPlainLabel(panel_board);
        picture->setObjectName(QStringLiteral("dice%1").arg(die));
        picture->setGeometry(QRect(DiceDesignPositions[die], QSize(DieSize, DieSize)));
        picture->setProperty("tag", die);
        picture->installEventFilter(this);
        dice[die] = picture;
    }
    tumble = new TDiceTumble(
        [this](int die, int face, qreal angle) { drawTumblingDie(die, face, angle); },
        [this](int die) { drawDie(die); }, this);

    image_throwdice = new TSkinSpeedButton(panel_board);
    image_throwdice->setObjectName(QStringLiteral("image_throwdice"));
    image_throwdice->setGeometry(382, 285, 99, 24);
    image_throwdice->setToolTip(QStringLiteral("Roll the Dice"));
    makeImageButton(image_throwdice);
    image_throwdice->hide();
    connect(image_throwdice, &TSkinSpeedButton::clicked, this, &Tchat::image_throwdiceClick);
    image_throwdice->installEventFilter(this);
    makeImageButton(button_start);
    button_start->setGeometry(382, 285, 99, 24);

    label_status = new TPlainLabel(QStringLiteral("Welcome to Dunvex!"), panel_board);
    label_status->setObjectName(QStringLiteral("label_status"));
    label_status->setGeometry(1, 292, 381, 18);
    label_status->setAlignment(Qt::AlignCenter);
    label_status->setStyleSheet(QStringLiteral("font: bold 13px Arial; color: %1;")
                                    .arg(skinColor(controls::SkinArt::Cream).name()));

    image_bonusback = new TPlainLabel(panel_board);
    image_bonusback->setObjectName(QStringLiteral("image_bonusback"));
    image_bonusback->setGeometry(0, 0, 44, 55);
    image_bonusback->hide();
    image_bonus = new TPlainLabel(panel_board);
    image_bonus->setObjectName(QStringLiteral("image_bonus"));
    image_bonus->setGeometry(4, 4, DieSize, DieSize);
    image_bonus->hide();

    image_winner = new TPlainLabel(panel_board);
    image_winner->setObjectName(QStringLiteral("image_winner"));
    image_winner->setGeometry(100, 63, 233, 37);
    image_winner->hide();
    label_winner = new TPlainLabel(QStringLiteral("Winner!"), panel_board);
    label_winner->setObjectName(QStringLiteral("label_winner"));
    label_winner->setGeometry(18, 101, 401, 48);
    label_winner->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label_winner->setWordWrap(true);
    label_winner->setStyleSheet(QStringLiteral("font: bold 19px Arial; color: %1;")
                                    .arg(skinColor(controls::SkinArt::Gold).name()));
    auto* shadow = new QGraphicsDropShadowEffect(label_winner);
    shadow->setColor(QColor(0, 0, 0, 170));
    label_winner->setGraphicsEffect(shadow);
    label_winner->hide();

    buildScorecard();
    clearall();
}

void Tchat::buildScorecard() {
    panel_scorecard->build(this, zoom);
    panel_scorecard->placeTotals(label_score);
}

// Names and columns match at a glance: the own column is tinted, the column
// of the seat on turn framed in gold with the arrow over it.
void Tchat::markColumns() {
    const int current = model().currentSeat();
    panel_scorecard->markColumns(model().ownSeat(), model().inProgress() ? current : 0);
    for (int seat = 1; seat <= 4; ++seat) {
        if (model().inProgress())
            panel_scorecard->image_crown[seat]->hide();
        QLabel* name = label_playername[seat];
        const QString ground = seat == model().ownSeat()
                                   ? QStringLiteral("background: rgba(30, 123, 52, 34); "
                                                    "border-radius: 3px;")
                                   : QString();
        zoom->setStyleSheet(name, name->property("look").toString() + ground);
    }
}

// The winners' columns get the crown; the names come as the host wrote them,
// the computer's for a seat its player left.
void Tchat::markWinnerColumn(const QString& winners) {
    const QStringList names = winners.split(QStringLiteral(" and "));
    std::array<bool, 5> crowned{};
    for (int seat = 1; seat <= 4; ++seat)
        crowned[seat] =
            names.contains(model().seatName(seat)) ||
            (!model().finalName(seat).isEmpty() && names.contains(model().finalName(seat)));
    panel_scorecard->showCrowns(crowned);
}

// A double click is one press: when the host answers the first press before
// the second comes, the second must not roll, choose or keep again.
bool Tchat::isSecondPressOfDoubleClick(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick &&
        type != QEvent::MouseButtonRelease)
        return false;
    if (watched != image_throwdice && !watched->property("tag").isValid())
        return false;
    if (type == QEvent::MouseButtonRelease)
        return std::exchange(m_doublePress, false);
    m_doublePress =
        type == QEvent::MouseButtonDblClick ||
        static_cast<QMouseEvent*>(event)->flags().testFlag(Qt::MouseEventCreatedDoubleClick);
    return m_doublePress;
}

// A click on a die, a category caption or a score cell: the control's tag says which.
void Tchat::boardClick(QObject* control) {
    const int tag = control->property("tag").toInt();
    auto* widget = qobject_cast<QWidget*>(control);
    if (widget && widget->parent() == panel_board) {
        dice1Click(tag);
    } else if (tag >= 1 && tag <= scoring::CategoryCount) {
        score1_1Click(tag);
    }
}

// ---------------------------------------------------------------- a game

void Tchat::clearall() {
    for (int seat = 1; seat <= 4; ++seat)
        showCard(seat);
    image_winner->hide();
    label_winner->hide();
    panel_scorecard->showCrowns({});
    markColumns();
}

// A seat's column and total as the model holds them; a seat that takes no
// turns in this game is dimmed.
void Tchat::showCard(int seat) {
    const client::SeatState& state = model().seat(seat);
    label_score[seat]->setText(state.total);
    const bool own = seat == model().ownSeat();
    const TColor colour = own ? (model().ownTurn() ? clGreen : clMaroon) : clBlack;
    panel_scorecard->showColumn(seat, state.card, colour);
    panel_scorecard->dimColumn(seat, model().idleSeat(seat));
    if (own)
        showScorePreview();
}

// What the dice would score now in a free category of the own column, while
// the own turn may choose; none otherwise. The same rules as the host's.
std::optional<int> Tchat::previewPoints(int seat, int row) const {
    if (seat != model().ownSeat() || !model().ownCategoryFree(row) || !mayChoose())
        return std::nullopt;
    return scoring::points(model().faces(), row, model().bonusFace());
}

// The own column's free cells show their preview, pale, or nothing. Only the
// window shows it: nothing goes to the host.
void Tchat::showScorePreview() {
    if (!model().seated())
        return;
    const int seat = model().ownSeat();
    for (int row = 1; row <= scoring::CategoryCount; ++row)
        if (model().ownCategoryFree(row))
            panel_scorecard->showPreview(seat, row, previewPoints(seat, row));
    showAccessibleNames();
}

// A seat's name, also in the turn caption when the seat is on turn.
void Tchat::showSeatName(int seat) {
    label_playername[seat]->setText(model().seatName(seat));
    panel_scorecard->dimColumn(seat, model().idleSeat(seat));
    if (model().inProgress() && seat == model().currentSeat() && !model().ownTurn())
        showOtherTurnCaption();
}

void Tchat::startthegame(int starter, bool bonusGame, bool teamGame) {
    clearall();
    // Just Watch stays as the host keeps it: the mark and the eyes too.
    JustWatch1->setChecked(m_session.justWatching());
    // The last game's bonus die stays off the plate until the host draws this one's.
    image_bonus->clear();
    image_bonus->setVisible(bonusGame);
    image_bonusback->setVisible(bonusGame);
    const QString starterName = model().seatName(starter);
    // The solo player is "You".
    const QString started =
        starterName == QLatin1String("You") ? " have started a" : " has started a";
    addlinetochat(starterName + started + (teamGame ? " TEAM" : "") +
                      (bonusGame ? " BONUS DICE" : "") + " game.",
                  clBlue);
    // Nobody is on turn before the first turn comes: the names alone.
    for (int seat = 1; seat <= 4; ++seat) {
        label_playername[seat]->setText(model().seatName(seat));
        image_eyes[seat]->setVisible(model().seat(seat).watching);
    }
}

void Tchat::setbonusdice(int face) {
    image_bonus->setPixmap(dieArt(face, true));
    image_bonus->show();
    image_bonusback->show();
}

void Tchat::colourOwnColumn(TColor color) {
    if (model().seated())
        panel_scorecard->colourColumn(model().ownSeat(), model().seat(model().ownSeat()).card,
                                      color);
}

// The turn caption, the roll button and the own column's colour for the seat on turn.
void Tchat::showTurn() {
    markColumns();
    showRollButton();
    colourOwnColumn(model().ownTurn() ? clGreen : clMaroon);
    if (model().ownTurn())
        showTurnCaption(QStringLiteral("Your Turn."));
    else
        showOtherTurnCaption();
    showDiceCursors();
    showScorePreview();
}

// The caption over the card; the screen reader's name for it is made from
// the same text, never read back from the label.
void Tchat::showTurnCaption(const QString& caption) {
    m_turnCaption = caption;
    panel_scorecard->label_turn->setText(caption);
}

// The roll button is up while the host lets the own turn roll again.
void Tchat::showRollButton() {
    image_throwdice->setVisible(m_session.rollOffered());
}

void Tchat::showStartButton(bool shown) {
    m_startOffered = shown;
    button_start->setVisible(shown);
}

// Another seat on turn, or the own seat played by the computer; also when a
// player takes over or leaves the seat on turn.
void Tchat::showOtherTurnCaption() {
    const int seat = model().currentSeat();
    const QString name = model().seatName(seat);
    if (expertThinking()) {
        const QString computer = game::computerName(seat);
        showTurnCaption((computer.isEmpty() ? QStringLiteral("The computer") : computer) +
                        QStringLiteral(" is thinking\u2026"));
        return;
    }
    showTurnCaption(seat == model().ownSeat() ? name + "'s turn (computer plays)."
                                              : name + "'s turn.");
}

// The caption of a turn the computer plays, when it may have changed.
void Tchat::showComputerTurn() {
    if (model().inProgress() && model().currentSeat() != 0 && !model().ownTurn())
        showOtherTurnCaption();
}

// The host of this process has an Expert on turn whose strategy tables are
// still being worked out: it waits for them, and the player should see why.
bool Tchat::expertThinking() const {
    return m_session.hosting() &&
           m_session.settings().botSkill == client::TPlayerSettings::BotSkill::Expert &&
           model().inProgress() && model().computerPlays(model().currentSeat()) &&
           !game::StrategyStore::shared().tables(model().bonusGame());
}

void Tchat::getnextplayer(int, int rollsMade) {
    for (int die = 1; die <= 5; ++die)
        moveDie(die, DiceDesignPositions[die]);
    panel_scorecard->label_roundnum->setText("Round: " + model().round());
    if (rollsMade >= 0)
        panel_scorecard->setRollMarks(rollsMade);
    showTurn();
    if (model().ownTurn())
        playsounds(m_session.settings().turnSound == client::TPlayerSettings::TurnSound::New
                       ? QStringLiteral("turnnew")
                       : QStringLiteral("turn"));
}

// ---------------------------------------------------------------- dice

void Tchat::image_throwdiceClick() {
    if (ownMoveOpen()) {
        m_session.roll();
        showRollButton();
        showKeyMarker();
        showScorePreview();
    }
    giveBoardTheKeys();
}

void Tchat::thedice(int seat, int rollsMade, const std::vector<std::pair<int, int>>& thrown) {
    if (rollsMade >= 0)
        panel_scorecard->setRollMarks(rollsMade);
    std::vector<int> tumbling;
    for (const auto& [die, face] : thrown) {
        placedice(die, face);
        tumbling.push_back(die);
    }
    tumble->start(tumbling);
    if (seat == model().ownSeat() && model().ownTurn()) {
        showRollButton();
        showDiceCursors();
        showScorePreview();
        playsounds(QStringLiteral("dice2"));
    } else {
        playsounds(QStringLiteral("dice"));
    }
}

// Draws a thrown die at a random place on its part of the table. The place
// comes from the window's own generator: drawing never moves the host's dice.
void Tchat::placedice(int die, int face) {
    QLabel* picture = dice[die];
    picture->setPixmap(dieArt(face, face == model().bonusFace()));
    // Thrown on the design's table; the zoom shows it at the window's scale.
    const QSize table = zoom->designGeometry(panel_board).size();
    TRandomGenerator& random = m_diceScatter;
    const int left = int(random.below(10)) + ScatterColumn[die] * (table.width() / 7);
    const int row = die % 2 == 1 ? int(random.below(3)) + 1 : int(random.below(2)) + 3;
    const int top = int(random.below(8)) + row * (table.height() / 5) - DieSize;
    moveDie(die, {left, top});
    picture->show();
    picture->setProperty("tag", die);
    showDiceCursors();
}

// The own turn, played by this window, waits for its next move.
bool Tchat::ownMoveOpen() const {
    return m_session.moveOpen();
}

// A category may be chosen once the dice have been rolled.
bool Tchat::mayChoose() const {
    return ownMoveOpen() && model().rollsMade() >= 1;
}

// Only a die that can be kept or returned now reacts to the mouse; the rest
// look the same, never greyed.

void Tchat::showDiceCursors() {
    const Qt::CursorShape shape = ownMoveOpen() ? Qt::PointingHandCursor : Qt::ArrowCursor;
    for (int die = 1; die <= 5; ++die)
        dice[die]->setCursor(shape);
}

void Tchat::dice1Click(int die) {
    if (!ownMoveOpen() || !TGameModel::validDie(die))
        return;
    if (model().die(die).place == client::DiePlace::Table)
        m_session.keep(die);
    else
        m_session.putBack(die);
}

// A die and its key number go together.
void Tchat::moveDie(int die, QPoint design) {
    zoom->move(dice[die], design);
    if (label_dicekey[die])
        zoom->move(label_dicekey[die], design + DieKeyOffset);
}

// The die as it lies, from the model().
void Tchat::drawDie(int die) {
    const int face = model().die(die).face;
    dice[die]->setPixmap(dieArt(face, face == model().bonusFace()));
}

// A frame of the tumble: a face at a slant, a little smaller so the corners
// stay inside the die's square.
void Tchat::drawTumblingDie(int die, int face, qreal angle) {
    const QPixmap upright = dieArt(face, face == model().bonusFace());
    QPixmap slanted(upright.size());
    slanted.setDevicePixelRatio(upright.devicePixelRatio());
    slanted.fill(Qt::transparent);
    QPainter painter(&slanted);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QPointF centre = QRectF(QPointF(), upright.deviceIndependentSize()).center();
    painter.translate(centre);
    painter.rotate(angle);
    painter.scale(0.8, 0.8);
    painter.translate(-centre);
    painter.drawPixmap(0, 0, upright);
    painter.end();
    dice[die]->setPixmap(slanted);
}

// A kept die goes into the tray, a returned one beside it.
void Tchat::dieMoved(int die, client::DiePlace place) {
    const bool kept = place == client::DiePlace::Kept;
    moveDie(die, {kept ? KeptLeft : ReleasedLeft, KeepTops[die]});
    playsounds(kept ? QStringLiteral("setdice") : QStringLiteral("unsetdice"));
}

// ---------------------------------------------------------------- scoring

void Tchat::score1_1Click(int category) {
    if (mayChoose()) {
        if (m_session.settings().doubleCheck)
            return doublecheck(category);
        sendscore(category);
    }
    giveBoardTheKeys();
}

// The host's own pattern tests on the faces last drawn: a zero score is
// confirmed before it goes.
void Tchat::doublecheck(int category) {
    if (category < 1 || category > scoring::CategoryCount)
        return;
    if (category == scoring::Freebie || scoring::points(model().faces(), category) > 0)
        return sendscore(category);
    m_zeroScoreBox =
        new QMessageBox(QMessageBox::Question, QStringLiteral("Dunvex"),
                        QStringLiteral("Are you sure you want to score 0 for this category?"),
                        QMessageBox::Yes | QMessageBox::No, this);
    m_zeroScoreBox->setObjectName(QStringLiteral("zeroScoreBox"));
    m_zeroScoreBox->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_zeroScoreBox, &QMessageBox::finished, this, [this, category](int answer) {
        m_zeroScoreBox = nullptr;
        if (answer == QMessageBox::Yes)
            sendscore(category);
    });
    m_zeroScoreBox->open();
}

void Tchat::sendscore(int category) {
    m_session.score(category);
    showRollButton();
    showKeyMarker();
    showScorePreview();
}

void Tchat::rollagain() {
    label_status->setText(QStringLiteral("You need to roll the dice!"));
    playsounds(QStringLiteral("error"));
    if (!model().ownTurn())
        return;
    showRollButton();
    showScorePreview();
}

// A refused choice gives the turn back as it was, rolls left included.
void Tchat::chooseagain() {
    label_status->setText(QStringLiteral("Invalid Choice, Choose Again!"));
    playsounds(QStringLiteral("error"));
    if (!model().ownTurn())
        return;
    showRollButton();
    showScorePreview();
}

// The start options closed by their frame or Esc: the game was not started,
// so the start button is offered again.
void Tchat::gamestartformClose() {
    if (m_session.hosting() && !model().inProgress())
        showStartButton(true);
}

void Tchat::pscore(int seat, int category) {
    showCard(seat);
    if (category == 0)
        return;
    const int scored = model().seat(seat).card[category];
    const QString points = scored == scoring::Unscored ? QString() : QString::number(scored);
    label_status->setText(model().seatName(seat) + " tagged " +
                          scoring::announcementPhrase(category) + " +" + points);
    if (seat == model().ownSeat() && category == scoring::FiveOfAKind &&
        points != QLatin1String("0"))
        emit fiveOfAKindScored();
    playsounds(points == QLatin1String("0")       ? QStringLiteral("noscore")
               : category == scoring::FiveOfAKind ? QStringLiteral("fivekind")
                                                  : QStringLiteral("scored"));
}

void Tchat::winner(const QString& winners) {
    const QString playername = m_session.playerName();
    QString line = winners.contains(QLatin1String(" and ")) ? winners + " have Won the Game!"
                   : winners != playername                  ? winners + " has Won the Game!"
                                           : QStringLiteral("You have Won the Game!");
    // A watcher's seat was won by the computer: the watcher's own window says so.
    const bool ownSeatWon =
        winners == playername || winners.split(QStringLiteral(" and ")).contains(playername);
    if (model().seated() && model().seat(model().ownSeat()).watching && ownSeatWon)
        line += QStringLiteral(" (computer played)");
    addlinetochat(line, clBlue);
    showTurnCaption(QStringLiteral("Winner's Score Card"));
    label_winner->setText(line);
    layWinnerDice();
    image_winner->show();
    label_winner->show();
    showRollButton();
    showScorePreview();
    markColumns();
    markWinnerColumn(winners);
    showDiceCursors();
    if (m_session.hosting())
        showStartButton(true);
    playsounds(QStringLiteral("gameover"));
    if (model().seated())
        emit gameRecorded(model().seat(model().ownSeat()).total,
                          winners == playername ? QStringLiteral("addtomine") : winners);
}

// The banner and the winner's text take the middle of the table; the dice
// still on it move into a row below them, the kept ones stay in the tray.
void Tchat::layWinnerDice() {
    for (int die = 1; die <= 5; ++die)
        if (!model().die(die).kept())
            moveDie(die, {FinalDiceLeft + (die - 1) * FinalDiceStep, FinalDiceTop});
}

QPixmap Tchat::art(const QString& name) const {
    return controls::SkinArt::pixmap(name, zoom->scaled(controls::SkinArt::designSize(name)), this);
}

QPixmap Tchat::dieArt(int face, bool bonus) const {
    return controls::SkinArt::pixmap(controls::SkinArt::dieName(face, bonus),
                                     zoom->scaled(QSize(DieSize, DieSize)), this);
}

// Every picture of the window, drawn for the screen it is on at the window's zoom.
void Tchat::applySkin() {
    using controls::SkinArt;
    TiledBackground1->setImage(art(QStringLiteral("background-tile")));
    image_table->setPixmap(art(QStringLiteral("table-felt")));
    image_keeptray->setPixmap(art(QStringLiteral("keep-tray")));
    // The winner's shadow falls as far, at the window's scale, as the art's.
    if (auto* shadow = qobject_cast<QGraphicsDropShadowEffect*>(label_winner->graphicsEffect())) {
        shadow->setOffset(zoom->factor(), 2 * zoom->factor());
        shadow->setBlurRadius(4 * zoom->factor());
    }
    for (int die = 1; die <= 5; ++die)
        drawDie(die);
    if (model().bonusFace() != 0)
        image_bonus->setPixmap(dieArt(model().bonusFace(), true));
    image_bonusback->setPixmap(art(QStringLiteral("bonus-plate")));
    image_winner->setPixmap(art(QStringLiteral("winner-banner")));
    const QSize buttonSize = zoom->scaled(QSize(99, 24));
    image_throwdice->setGlyph(buttonStrip(QStringLiteral("button-roll"), buttonSize, this));
    image_throwdice->setNumGlyphs(4);
    button_start->setGlyph(buttonStrip(QStringLiteral("button-start"), buttonSize, this));
    button_start->setNumGlyphs(4);
    panel_scorecard->applySkin([this](const QString& name) { return art(name); });
    for (int seat = 1; seat <= 4; ++seat)
        image_eyes[seat]->setPixmap(art(QStringLiteral("eyes")));
    for (int button = 1; button <= 10; ++button)
        b_phrase[button]->setGlyph(art(QStringLiteral("phrase-%1").arg(button)));
    image_sitebadge->setPixmap(art(QStringLiteral("site-badge")));
    setWindowIcon(SkinArt::windowIcon());
}

// The opponents by the names the host gives them; not seats that took no turns.
QStringList Tchat::loadchecklist() const {
    QStringList names;
    for (int seat = 1; seat <= 4; ++seat) {
        const QString name =
            model().gameStartedOnce() ? model().finalName(seat) : model().seatName(seat);
        if (seat == model().ownSeat() || name.isEmpty() || name == TGameModel::Waiting)
            continue;
        names << name;
    }
    return names;
}
