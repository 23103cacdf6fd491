// Hints: in the player's own turn the optimal strategy's next move is marked
// on the board (the dice to keep and the roll button, or the category to
// score), and a free category of the own column tells in its tool tip what
// scoring it now is worth against the best play. Everything is worked out in
// this window from its own card and dice; nothing goes to the host, and a
// hint never plays a move.
#include "client/ChatForm.h"
#include "controls/SkinSpeedButton.h"
#include "game/StrategyStore.h"
#include "net/WireCommands.h"

#include <QAction>
#include <QHelpEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QToolTip>

// Tool tips of the category captions and cells, answered by the window.
class HintTips : public QObject {
public:
    explicit HintTips(Tchat& chat)
        : QObject(&chat)
        , m_chat(chat) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::ToolTip)
            return false;
        const QString text = m_chat.hinttip(watched);
        if (text.isEmpty())
            return false;
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text,
                           qobject_cast<QWidget*>(watched));
        return true;
    }

private:
    Tchat& m_chat;
};

namespace {

const char* const HintMark = "hintmark";

// A ring drawn over the edge of the hinted widget: bright yellow between two
// dark lines, so it stands out on the green table and on the ivory card alike.
// It follows its widget's size (the zoom) and lets every click through.
class HintRing : public QWidget {
public:
    static constexpr QRgb Bright = qRgb(255, 214, 0);
    static constexpr QRgb Dark = qRgb(43, 27, 16);
    static constexpr const char* Name = "hintring";

    explicit HintRing(QWidget* marked)
        : QWidget(marked) {
        setObjectName(QLatin1String(Name));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setGeometry(marked->rect());
        marked->installEventFilter(this);
        show();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parent() && event->type() == QEvent::Resize)
            setGeometry(parentWidget()->rect());
        return false;
    }

    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal width = std::max<qreal>(3, height() / 8.0);
        const QRectF ring =
            QRectF(rect()).adjusted(width / 2 + 1, width / 2 + 1, -width / 2 - 1, -width / 2 - 1);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor(Dark), width + 2));
        painter.drawRoundedRect(ring, width, width);
        painter.setPen(QPen(QColor(Bright), width));
        painter.drawRoundedRect(ring, width, width);
    }
};

void mark(QWidget* widget, bool on) {
    widget->setProperty(HintMark, on);
    delete widget->findChild<QWidget*>(HintRing::Name, Qt::FindDirectChildrenOnly);
    if (on)
        new HintRing(widget);
}

bool isGameCommand(const QString& command) {
    namespace cmd = net::commands;
    static const QStringList Commands = {
        cmd::StartGame, cmd::NextPlayer, cmd::TheDice,   cmd::SetDice,     cmd::UnsetDice,
        cmd::PScore,    cmd::Winner,     cmd::RollAgain, cmd::ChooseAgain, cmd::JustWatching};
    return Commands.contains(command);
}

} // namespace

void Tchat::buildHints() {
    button_hint = new QPushButton(QStringLiteral("Hint"), panel_board);
    button_hint->setObjectName(QStringLiteral("button_hint"));
    button_hint->setGeometry(425, 258, 56, 22);
    button_hint->setToolTip(QStringLiteral("Show the best play now"));
    button_hint->setCursor(Qt::PointingHandCursor);
    // Wood and cream, like the rest of the table's furniture.
    button_hint->setStyleSheet(QStringLiteral(
        "QPushButton { color: #fff3d6; font: bold 12px Arial; border: 1px solid #b07a45;"
        " border-radius: 6px; background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
        " stop:0 #8a5530, stop:1 #5a3318); }"
        "QPushButton:hover { background: qlineargradient(x1:0, y1:0, x2:0, y2:1,"
        " stop:0 #a0673c, stop:1 #6b3f1f); }"
        "QPushButton:pressed { background: #4a2a12; }"));
    button_hint->hide();
    connect(button_hint, &QPushButton::clicked, this, &Tchat::Hint1Click);

    auto* tips = new HintTips(*this);
    for (int row = 1; row <= scoring::CategoryCount; ++row) {
        panel_scorecard->label[row]->installEventFilter(tips);
        for (int seat = 1; seat <= 4; ++seat)
            panel_scorecard->score[seat][row]->installEventFilter(tips);
    }
    // A hint asked for before the tables were ready shows once they are.
    // So does the turn of an Expert that was waiting for them.
    connect(&game::StrategyStore::shared(), &game::StrategyStore::tablesReady, this, [this] {
        if (m_hintWanted)
            showhint();
        showComputerTurn();
    });
}

bool Tchat::hintable() const {
    return ownMoveOpen();
}

game::TurnPosition Tchat::hintposition() const {
    game::TurnPosition position;
    const game::Card& card = model().seat(model().ownSeat()).card;
    for (int category = 1; category <= scoring::CategoryCount; ++category) {
        if (card[category] == scoring::Unscored)
            continue;
        position.filled |= 1 << (category - 1);
        if (category <= scoring::Sixes)
            position.upperTotal += card[category];
    }
    position.bonusFace = model().bonusFace();
    position.rollsMade = std::max(model().rollsMade(), 0);
    position.dice = model().faces();
    return position;
}

const game::OptimalStrategy* Tchat::hintstrategy() const {
    return game::StrategyStore::shared().tables(model().bonusFace() != 0);
}

void Tchat::Hint1Click() {
    if (!hintable())
        return;
    m_hintWanted = true;
    showhint();
}

void Tchat::showhint() {
    const game::OptimalStrategy* strategy = hintstrategy();
    if (!strategy || !hintable())
        return; // shown when the tables are ready, if still our turn then
    m_hintWanted = false;
    clearhint();
    const game::TurnAdvice advice = strategy->advise(hintposition());
    if (!advice.roll) {
        if (advice.category >= 1)
            mark(panel_scorecard->label[advice.category], true);
        return;
    }
    mark(image_throwdice, true);
    // Dice already in the tray count first, then the table's in die order.
    std::array<int, 7> wanted = advice.keep;
    for (const bool kept : {true, false})
        for (int die = 1; die <= 5; ++die) {
            const client::DieState& state = model().die(die);
            const bool thrown = state.place != client::DiePlace::Unthrown;
            if (state.kept() != kept || !thrown || wanted[state.face] == 0)
                continue;
            --wanted[state.face];
            mark(dice[die], true);
        }
}

void Tchat::clearhint() {
    for (int die = 1; die <= 5; ++die)
        mark(dice[die], false);
    for (int row = 1; row <= scoring::CategoryCount; ++row)
        mark(panel_scorecard->label[row], false);
    mark(image_throwdice, false);
}

// After every game message: the marks belong to the moment they were asked for.
void Tchat::hintsSeeMessage(const QString& command) {
    if (!isGameCommand(command))
        return;
    clearhint();
    namespace cmd = net::commands;
    if (command != QLatin1String(cmd::TheDice) && command != QLatin1String(cmd::SetDice) &&
        command != QLatin1String(cmd::UnsetDice))
        m_hintWanted = false;
    button_hint->setVisible(hintable());
}

QString Tchat::hinttip(QObject* watched) {
    const int category = watched->property("tag").toInt();
    if (category < 1 || category > scoring::CategoryCount || !hintable() ||
        (watched != panel_scorecard->label[category] &&
         watched != panel_scorecard->score[model().ownSeat()][category]) ||
        !model().ownCategoryFree(category))
        return QString();
    const game::TurnPosition position = hintposition();
    if (position.rollsMade == 0)
        return QString();
    const int points = scoring::points(position.dice, category, position.bonusFace);
    const QString now = QStringLiteral("%1: %2 now").arg(scoring::cardLabel(category)).arg(points);
    const game::OptimalStrategy* strategy = hintstrategy();
    if (!strategy)
        return now + QStringLiteral(" (the best play is still being worked out)");
    const game::TurnAdvice advice = strategy->advise(position);
    const double below = advice.best - advice.scoreNow[category];
    if (below < 0.05)
        return now + QStringLiteral(", the best choice");
    return now + QStringLiteral(", %1 below the best").arg(below, 0, 'f', 1);
}
