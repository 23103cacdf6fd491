#include "windows/HelpForm.h"

#include "DunvexVersion.h"
#include "controls/PlainLabel.h"
#include "controls/SelButton.h"
#include "controls/SkinArt.h"
#include "platform/ExceptionHandler.h"
#include "windows/WindowLook.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QStackedWidget>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

// Every page opens with its title and a blank line.
QString page(const QString& title, const QString& body) {
    return QStringLiteral("<p><b>%1</b><br></p>%2").arg(title, body);
}

QString overviewPage() {
    return page(QStringLiteral("Overview"), QStringLiteral(R"(
<p>Dunvex is a multi-player dice game in which up to four players take turns
rolling five dice and try to complete the twelve categories listed on the
scorecard. Computer players fill the empty seats, up to five more people can
watch, and everyone can chat.</p>)"));
}

QString connectingPage() {
    return page(QStringLiteral("Connecting"), QStringLiteral(R"(
<p><b>Solo game</b><br>
Just start the program: <tt>dunvex</tt> with nothing after it hosts a game on
this computer against computer players. It needs no network, so it can be
played offline. Click the Start Game button (or File, Start Game), choose the
options and click Start. Only one copy of Dunvex runs at a time; starting it
again brings the running window to the front.</p>
<p><b>Hosting a game</b><br>
Start <tt>dunvex NAME ADDRESS true</tt>, for example
<tt>dunvex Ann 127.0.0.1 true</tt>. NAME is the name you play under, and the
third word must be exactly <tt>true</tt>. Your own window always connects to
this computer, so your own address, or 127.0.0.1, will do as ADDRESS. You sit
in seat 1 and start the game with the Start Game button once the others have
joined.</p>
<p><b>Joining a game</b><br>
Start <tt>dunvex NAME HOST-ADDRESS false</tt>, where HOST-ADDRESS is the
address or name of the host's computer, for example
<tt>dunvex Bob 192.0.2.7 false</tt>.</p>
<p><b>Firewalls and routers</b><br>
The other players connect to TCP port 7772 on the host's computer. If nobody
can join a game that you host, your modem, router or firewall must let
incoming connections through on port 7772 (on a router, forward that port to
your computer). Players who join need no open port. To use another port, every
player of the game sets DUNVEX_PORT to the same number.</p>
<p><b>When the host leaves</b><br>
The host is usually the first player in the list. If the host disconnects,
all game play ends and every player's window closes.</p>
<p><b>A host without a window</b><br>
<tt>dunvex-server</tt> hosts a game without a window of its own, for example on
a machine without a desktop: <tt>dunvex-server [--port N] [--bot-speed MS]
[--seed S]</tt>. Everyone joins it with
<tt>dunvex NAME SERVER-ADDRESS false</tt>; the first to connect takes seat 1.
Ctrl+C stops it.</p>)"));
}

QString gamePlayPage() {
    return page(QStringLiteral("Game Play"), QStringLiteral(R"(
<p><b>Rounds</b><br>
A regular game has 12 rounds, one for each category of the scorecard. A team
game has 6: players 1 and 3 play against players 2 and 4, and team mates share
one scorecard. Players take their turns in seat order.</p>
<p><b>Your turn</b><br>
A turn has up to three rolls. Click the roll button to roll the dice. Click
dice to keep them (click a kept die again to release it); only the dice that
are not kept are rolled next time. You may choose a category at any time after
the first roll, and you must choose one after the third. Click a free category
on your scorecard to score it.</p>
<p><b>Keys</b><br>
The whole turn can be played from the keyboard while the board has the keys:
click the board or the scorecard, or press Esc in the chat line.<br>
<b>Space</b> or <b>R</b>: roll the dice.<br>
<b>1</b> to <b>5</b>: keep that die, or put a kept one back.<br>
<b>Up</b> and <b>Down</b> (or <b>Left</b> and <b>Right</b>): move the gold
frame over the free categories of your column.<br>
<b>Enter</b>: score the framed category.<br>
<b>H</b>: show a hint.<br>
<b>S</b>: start a game when the Start Game button is offered.<br>
Any other letter you type on the board goes to the chat line, and keys typed in
the chat line are always chat. Alt with the underlined letter opens a menu.</p>
<p><b>Scoring zero</b><br>
If the dice do not meet a category's objective, the category scores 0 and
counts as filled all the same.</p>
<p><b>Team game</b><br>
Any category completed by your team mate is also posted to your scorecard, and
the two of you share one total.</p>
<p><b>Bonus Dice Game</b><br>
A bonus die is shown in the upper left corner of the board and is drawn anew
every turn. In the numbered categories (Ones to Sixes), each scoring die that
matches the bonus die counts double.</p>
<p><b>Winning</b><br>
After the last round the player or team with the highest total wins.</p>
<p><b>Computer players</b><br>
The computer plays seat 2 when nobody sits there, every empty seat in a team
game, and any seat whose player has chosen Options, Just Watch. In a regular
game other empty seats are skipped.</p>
<p><b>Watching</b><br>
Up to five more people can connect and watch the game; View, Spy List shows
who they are.</p>)"));
}

QString scoringPage() {
    return page(QStringLiteral("Scoring"), QStringLiteral(R"(
<p><b>Upper half</b></p>
<ul>
<li><b>Ones, Twos, Threes, Fours, Fives, Sixes:</b> the number times the count
of dice showing it. 4-4-4-2-1 scores 12 as Fours, 2 as Twos and 1 as Ones.</li>
<li>In a <b>Bonus Dice Game</b> each die matching the bonus die counts twice in
its number's category: with bonus die 4, 4-4-4-2-1 scores 24 as Fours; Twos
and Ones score as usual.</li>
<li><b>Upper Total:</b> the sum of Ones to Sixes.</li>
<li><b>Bonus:</b> 35 points when the Upper Total is higher than 63, that is 64
or more. An Upper Total of exactly 63 earns no bonus.</li>
</ul>
<p><b>Lower half</b></p>
<ul>
<li><b>4 of a Kind:</b> at least four dice showing the same number: the sum of
all five dice (2-2-2-2-3 scores 11). Five of a kind counts too.</li>
<li><b>Full House:</b> three of one number and two of another: 25 points. Five
of a kind counts as a Full House too.</li>
<li><b>Sm Straight:</b> 1-2-3-4, 2-3-4-5 or 3-4-5-6 among the dice: 30 points.
The fifth die may be anything, so 1-2-3-4-6 and any Big Straight count.</li>
<li><b>Big Straight:</b> 1-2-3-4-5 or 2-3-4-5-6: 40 points.</li>
<li><b>5 of a Kind:</b> all five dice the same: 50 points.</li>
<li><b>Freebie:</b> the sum of all five dice, whatever they show.</li>
<li><b>Lower Total:</b> the sum of the lower half.</li>
</ul>
<p><b>Total</b><br>
Upper Total + Bonus + Lower Total. Categories not yet filled count for
nothing.</p>
<p><b>Zero scores</b><br>
A category whose objective is not met scores 0 and counts as filled.</p>
<p><b>Team game</b><br>
A category scored by either team mate is filled with the same points on both
scorecards, and team mates always have the same total.</p>)"));
}

QString documentationPage() {
    return page(QStringLiteral("Documentation"), QStringLiteral(R"(
<p><b>Version 1.0.3.13</b></p>
<ul>
<li>First release for Linux, built with Qt 6.</li>
<li>The host limits how much each connection may send and leave waiting, so one
faulty connection cannot stall a game.</li>
<li>New dedicated server, <tt>dunvex-server</tt>, hosts a game without a
window.</li>
<li>The port, the settings folder and separate copies can be chosen with
DUNVEX_PORT, DUNVEX_HOME and DUNVEX_INSTANCE.</li>
</ul>
<p><b>Version 1.0.3.0</b></p>
<ul>
<li>The nine phrase buttons can be edited (View, Phrase List) and are kept in
the settings file.</li>
<li>The speed of the computer players can be set.</li>
</ul>
<p><b>Version 1.0.2.4</b></p>
<ul>
<li>Five of a kind now also counts as a Full House.</li>
<li>The window remembers its place and size.</li>
</ul>
<p><b>Version 1.0.2.0</b></p>
<ul>
<li>New Bonus Dice Game.</li>
<li>The tally keeps your games, wins, five of a kinds and highest score.</li>
</ul>
<p><b>Version 1.0.1.0</b></p>
<ul>
<li>New team game: players 1 and 3 against players 2 and 4.</li>
<li>Up to five people can watch a game; the Spy List shows them.</li>
</ul>
<p><b>Version 1.0.0.0</b></p>
<ul>
<li>First release: up to four players, computer players in the empty seats,
chat with coloured actions, phrase buttons and sound clips.</li>
</ul>)"));
}

QString licensePage() {
    return page(QStringLiteral("License"), QStringLiteral(R"(
<p>MIT License</p>
<p>Copyright (c) 2026 The Dunvex developers</p>
<p>Permission is hereby granted, free of charge, to any person obtaining a copy
of this software and associated documentation files (the "Software"), to deal
in the Software without restriction, including without limitation the rights
to use, copy, modify, merge, publish, distribute, sublicense, and/or sell
copies of the Software, and to permit persons to whom the Software is
furnished to do so, subject to the following conditions:</p>
<p>The above copyright notice and this permission notice shall be included in all
copies or substantial portions of the Software.</p>
<p>THE SOFTWARE IS PROVIDED "AS IS", WITHOUT WARRANTY OF ANY KIND, EXPRESS OR
IMPLIED, INCLUDING BUT NOT LIMITED TO THE WARRANTIES OF MERCHANTABILITY,
FITNESS FOR A PARTICULAR PURPOSE AND NONINFRINGEMENT. IN NO EVENT SHALL THE
AUTHORS OR COPYRIGHT HOLDERS BE LIABLE FOR ANY CLAIM, DAMAGES OR OTHER
LIABILITY, WHETHER IN AN ACTION OF CONTRACT, TORT OR OTHERWISE, ARISING FROM,
OUT OF OR IN CONNECTION WITH THE SOFTWARE OR THE USE OR OTHER DEALINGS IN THE
SOFTWARE.</p>)"));
}

struct PageEntry {
    const char* caption;
    QString (*text)();
};

const std::array<PageEntry, Thelp::PageCount> Pages{{
    {"Overview", overviewPage},
    {"Connecting", connectingPage},
    {"Game Play", gamePlayPage},
    {"Scoring", scoringPage},
    {"Documentation", documentationPage},
    {"License", licensePage},
}};

// The page buttons fill the side panel; "Documentation" needs the smaller type.
TSelButton* sideButton(const QString& name, const QString& caption, QWidget* parent) {
    TSelButton* button = windows::selButton(name, caption, parent);
    QFont font = button->font();
    font.setPointSize(8);
    button->setFont(font);
    return button;
}

QLabel* noticeLine(const QString& name, const QString& text, QWidget* parent) {
    auto* label = new TPlainLabel(text, parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setStyleSheet(windows::onWood(10, false));
    return label;
}

} // namespace

Thelp::Thelp(QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("help"));
    setWindowTitle(QStringLiteral("Dunvex - Help File"));
    setWindowIcon(controls::SkinArt::windowIcon());
    TiledBackground1 = windows::tiledBackground(this);
    resize(470, 404);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildSidePanel();
    buildMainPanel();
    layout->addWidget(panel_side);
    layout->addWidget(panel_main, 1);
    FormCreate();
}

void Thelp::buildSidePanel() {
    panel_side = new QFrame(this);
    panel_side->setObjectName(QStringLiteral("panel_side"));
    panel_side->setFixedWidth(118);
    auto* layout = new QVBoxLayout(panel_side);
    for (int tag = 1; tag <= PageCount; ++tag) {
        SelButton[tag] = sideButton(QStringLiteral("SelButton%1").arg(tag),
                                    QLatin1String(Pages[tag - 1].caption), panel_side);
        SelButton[tag]->setProperty("tag", tag);
        connect(SelButton[tag], &TSelButton::clicked, this, [this, tag] { SelButton1Click(tag); });
        layout->addWidget(SelButton[tag]);
    }
    button_about = sideButton(QStringLiteral("button_about"), QStringLiteral("About"), panel_side);
    button_about->setProperty("tag", 10);
    connect(button_about, &TSelButton::clicked, this, &Thelp::button_aboutClick);
    layout->addWidget(button_about);
    layout->addStretch(1);
    label_notice1 =
        noticeLine(QStringLiteral("label_notice1"),
                   QStringLiteral("Dunvex ") + QLatin1String(dunvex::FullVersion), panel_side);
    label_notice2 = noticeLine(QStringLiteral("label_notice2"),
                               QStringLiteral("(c) 2026 The Dunvex developers"), panel_side);
    layout->addWidget(label_notice1);
    layout->addWidget(label_notice2);
    button_done = sideButton(QStringLiteral("button_done"), QStringLiteral("Done"), panel_side);
    button_done->setProperty("tag", 10);
    connect(button_done, &TSelButton::clicked, this, &Thelp::button_doneClick);
    layout->addWidget(button_done);
}

void Thelp::buildMainPanel() {
    panel_main = new QFrame(this);
    panel_main->setObjectName(QStringLiteral("panel_main"));
    auto* layout = new QVBoxLayout(panel_main);
    label_caption = new TPlainLabel(panel_main);
    label_caption->setObjectName(QStringLiteral("label_caption"));
    label_caption->setAlignment(Qt::AlignCenter);
    label_caption->setStyleSheet(QStringLiteral("color: %1; font: bold 16px Arial;")
                                     .arg(QColor::fromRgba(controls::SkinArt::Gold).name()));
    layout->addWidget(label_caption);

    pages = new QStackedWidget(panel_main);
    pages->setObjectName(QStringLiteral("pages"));
    for (int tag = 1; tag <= PageCount; ++tag) {
        memo[tag] = new QTextBrowser(pages);
        memo[tag]->setObjectName(QStringLiteral("memo%1").arg(tag));
        memo[tag]->setFont(QFont(QStringLiteral("Arial"), 8));
        // Aimed at the page alone: a bare sheet would paint its scroll bar
        // in the page's own cream too.
        memo[tag]->setStyleSheet(windows::lightPanel(QStringLiteral("QTextBrowser")));
        memo[tag]->document()->setDocumentMargin(5);
        memo[tag]->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        memo[tag]->setOpenLinks(false);
        memo[tag]->setHtml(Pages[tag - 1].text());
        pages->addWidget(memo[tag]);
    }
    layout->addWidget(pages, 1);
}

void Thelp::FormCreate() {
    SelButton1Click(1);
}

void Thelp::SelButton1Click(int tag) {
    auto* page = pages->findChild<QTextBrowser*>(QStringLiteral("memo%1").arg(tag));
    if (!page || tag < 1 || tag > PageCount)
        return;
    pages->setCurrentWidget(page);
    label_caption->setText(SelButton[tag]->Caption());
}

void Thelp::button_aboutClick() {
    if (onShowAbout)
        platform::runGuarded([this] { onShowAbout(); });
}

void Thelp::button_doneClick() {
    hide();
}
