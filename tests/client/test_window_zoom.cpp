// The player window scales its whole layout with its size: at 200 % every
// widget sits at twice its design place and every caption still fits, in the
// built-in typeface whatever the machine calls "Arial" (ctest runs this under
// a font set-up where Arial is a wide serif face); every zoom step keeps the
// design's margins; the zoom is kept in the settings file; the smallest
// window cuts nothing off. Against a scripted host, offscreen.
#include "app/GameApplication.h"
#include "client/ChatForm.h"
#include "client/WindowBounds.h"
#include "client/WindowZoom.h"
#include "platform/IniFile.h"
#include "support/GameWindowTest.h"

#include <QAction>
#include <QApplication>
#include <QEnterEvent>
#include <QFontInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <cmath>
#include <gtest/gtest.h>

using namespace testsupport;

inline void PrintTo(const QRect& rect, std::ostream* out) {
    *out << rect.x() << "," << rect.y() << " " << rect.width() << "x" << rect.height();
}

namespace {

const QByteArray T(1, char(0xFF));
const QByteArray Free = "1000+1000+1000+1000+1000+1000+"; // six unscored rows

class WindowZoomTest : public GameWindowTest {
protected:
    // Ann in seat 2 of a game under way: names, some scores, dice on the table.
    std::unique_ptr<GameApplication> seatAnn(RawSocket& link) {
        auto game = joinFakeHost(link);
        EXPECT_TRUE(link.sendAll("CMD_sendlogininfo+2" + T + "CMD_newplayerinfo+2+Ann" + T +
                                 "CMD_existingplayers+1+Beatrice" + T + "CMD_startgame+1+f+false" +
                                 T));
        EXPECT_TRUE(waitFor([&] { return game->chat().model().inProgress(); }));
        return game;
    }

    static void zoomTo(Tchat& chat, int percent) {
        chat.findChild<QAction*>(QStringLiteral("Zoom%1").arg(percent))->trigger();
        ASSERT_TRUE(waitFor([&] { return ui(chat).zoom->percent() == percent; }));
    }

    void writeSettings(const QString& zoom, int width, int height) {
        platform::IniFile ini(settingsPath());
        ini.writeString("Dunvex", "Zoom", zoom);
        ini.writeInteger("Dunvex", "Width", width);
        ini.writeInteger("Dunvex", "Height", height);
        ASSERT_TRUE(ini.save());
    }

    static QRect twice(int x, int y, int width, int height) {
        return {2 * x, 2 * y, 2 * width, 2 * height};
    }
};

} // namespace

TEST_F(WindowZoomTest, AtTwoHundredPercentTheLayoutDoublesAndEveryCaptionFits) {
    RawSocket link;
    auto game = seatAnn(link);
    Tchat& chat = game->chat();
    ASSERT_TRUE(
        link.sendAll("CMD_nextplayer+1+3+0+0+" + T + "CMD_thedice+1+y+1+1+4+2+1+3+2+4+3+5+6" + T +
                     "CMD_pscore+2+105+*+1+4+9+12+20+24+" + Free + "70+35+105" + T +
                     "CMD_pscore+1+12+4+1000+1000+1000+12+1000+1000+" + Free + "12+0+12" + T));
    ASSERT_TRUE(waitFor([&] { return ui(chat).label_score[1]->text() == "12"; }));
    zoomTo(chat, 200);
    ASSERT_TRUE(waitFor([&] { return chat.centralWidget()->size() == QSize(1550, 932); }));

    // The design: board 484 by 312, scorecard 281 by 426 beside it, chat line
    // at 426, the tenth phrase button at 731, all within margins of 5 and 9;
    // seat 2's Ones cell at 143, 96 of the card.
    const QPoint margins(10, 18);
    EXPECT_EQ(ui(chat).panel_board->geometry(), twice(0, 0, 484, 312).translated(margins));
    EXPECT_EQ(ui(chat).panel_scorecard->geometry(), twice(484, 0, 281, 426).translated(margins));
    EXPECT_EQ(ui(chat).mainchat->geometry(), twice(0, 313, 483, 110).translated(margins));
    EXPECT_EQ(ui(chat).mychat->geometry(), twice(0, 426, 366, 22).translated(margins));
    EXPECT_EQ(ui(chat).b_phrase[10]->geometry(), twice(731, 427, 25, 21).translated(margins));
    EXPECT_EQ(ui(chat).panel_scorecard->score[2][1]->geometry(), twice(143, 96, 45, 19));

    // The saved text size stays; the display shows it twice as large.
    EXPECT_EQ(ui(chat).mainchat->font().pointSizeF(), 16.0);
    invoke(chat, "saveinifile");
    EXPECT_EQ(platform::IniFile(settingsPath()).readInteger("Dunvex", "Textsize", 0), 8);

    // Pictures are drawn anew at the new size, not stretched.
    const qreal ratio = chat.devicePixelRatioF();
    ASSERT_TRUE(waitFor([&] { return ui(chat).dice[1]->pixmap().width() == qRound(64 * ratio); }));
    EXPECT_EQ(ui(chat).dice[1]->pixmap().deviceIndependentSize(), QSizeF(64, 64));

    int captions = 0;
    for (QLabel* label : chat.centralWidget()->findChildren<QLabel*>()) {
        if (!label->isVisibleTo(&chat) || label->text().isEmpty())
            continue;
        ++captions;
        const QRect room = label->contentsRect();
        const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
        const QRect needed = QFontMetrics(label->font()).boundingRect(room, flags, label->text());
        EXPECT_TRUE(room.contains(needed))
            << label->objectName().toStdString() << " \"" << label->text().toStdString()
            << "\" needs " << needed.width() << "x" << needed.height() << " in " << room.width()
            << "x" << room.height();
        EXPECT_EQ(QFontInfo(label->font()).family(), "Liberation Sans")
            << label->objectName().toStdString();
    }
    EXPECT_GT(captions, 40);
}

// The window's size for a zoom step is the design's, margins included, times
// the factor: the wood shows round the felt, the card and the phrase buttons.
TEST_F(WindowZoomTest, EveryZoomStepKeepsTheDesignMargins) {
    RawSocket link;
    auto game = seatAnn(link);
    Tchat& chat = game->chat();
    QWidget* ground = chat.centralWidget();
    for (int percent : {125, 100, 200}) {
        zoomTo(chat, percent);
        const qreal factor = percent / 100.0;
        const QSize framed(int(std::ceil(775 * factor)), int(std::ceil(466 * factor)));
        ASSERT_TRUE(waitFor([&] { return ground->size() == framed; })) << percent;
        const int left = ui(chat).panel_board->x();
        const int top = ui(chat).panel_board->y();
        const int right = ground->width() - 1 - ui(chat).panel_scorecard->geometry().right();
        const int bottom = ground->height() - 1 - ui(chat).b_phrase[10]->geometry().bottom();
        EXPECT_NEAR(left, 5 * factor, 1.0) << percent;
        EXPECT_NEAR(right, 5 * factor, 1.0) << percent;
        EXPECT_NEAR(top, 9 * factor, 1.0) << percent;
        EXPECT_NEAR(bottom, 9 * factor, 1.0) << percent;
    }
}

TEST_F(WindowZoomTest, DiceAndMarksMovedWhileZoomedLandAtTwiceTheirDesignPlace) {
    RawSocket link;
    auto game = seatAnn(link);
    Tchat& chat = game->chat();
    zoomTo(chat, 200);
    ASSERT_TRUE(link.sendAll("CMD_nextplayer+1+3+0+0+" + T));
    ASSERT_TRUE(waitFor([&] { return chat.model().currentSeat() == 1; }));
    // Die 1 waits at 379, 210; seat 1's column starts at 97, Ann's (2) at 143.
    EXPECT_EQ(ui(chat).dice[1]->geometry(), twice(379, 210, 32, 32));
    EXPECT_EQ(ui(chat).panel_scorecard->column_turn->x(), 2 * (97 - 2));
    EXPECT_EQ(ui(chat).panel_scorecard->column_own->x(), 2 * (143 - 1));

    // Kept dice go to the tray at 438, die 2 at the height 50; returned ones beside it at 376.
    ASSERT_TRUE(link.sendAll("CMD_thedice+1+y+1+1+4+2+1+3+2+4+3+5+6" + T + "CMD_setdice+2" + T));
    ASSERT_TRUE(waitFor([&] { return chat.model().die(2).kept(); }));
    EXPECT_EQ(ui(chat).dice[2]->geometry(), twice(438, 50, 32, 32));
    EXPECT_EQ(ui(chat).label_dicekey[2]->geometry(), twice(438 - 6, 50 - 6, 15, 15));
    ASSERT_TRUE(link.sendAll("CMD_unsetdice+2" + T));
    ASSERT_TRUE(waitFor([&] { return !chat.model().die(2).kept(); }));
    EXPECT_EQ(ui(chat).dice[2]->geometry(), twice(376, 50, 32, 32));

    // Back at 100 % everything is where the design has it.
    zoomTo(chat, 100);
    EXPECT_EQ(ui(chat).dice[2]->geometry(), QRect(376, 50, 32, 32));
}

TEST_F(WindowZoomTest, TheZoomIsKeptInTheSettingsFile) {
    {
        RawSocket link;
        auto game = seatAnn(link);
        zoomTo(game->chat(), 150);
        ASSERT_TRUE(waitFor([&] {
            return platform::IniFile(settingsPath()).readInteger("Dunvex", "Zoom", 0) == 150;
        }));
    }
    {
        RawSocket link;
        auto game = seatAnn(link);
        Tchat& chat = game->chat();
        // 775 by 466 at 150 %, the half pixel rounded up.
        ASSERT_TRUE(waitFor([&] { return chat.centralWidget()->size() == QSize(1163, 699); }));
        EXPECT_EQ(ui(chat).zoom->percent(), 150);
        EXPECT_TRUE(ui(chat).zoomItems[2]->isChecked());
    }
    // The limits are kept; one past them, or no number, leaves the saved
    // size, and so does a saved size that shows the zoom already (1000 wide
    // is 125 %).
    struct Case {
        QString zoom;
        QSize saved;
        QSize ground; // none: the saved size stays
    };
    const Case cases[] = {{"100", {900, 600}, {775, 466}},  {"400", {900, 600}, {3100, 1864}},
                          {"99", {900, 600}, {}},           {"401", {900, 600}, {}},
                          {"15O", {900, 600}, {}},          {"125", {1000, 700}, {}},
                          {"150", {1000, 700}, {1163, 699}}};
    for (const Case& given : cases) {
        writeSettings(given.zoom, given.saved.width(), given.saved.height());
        RawSocket link;
        auto game = seatAnn(link);
        Tchat& chat = game->chat();
        if (given.ground.isValid()) {
            EXPECT_TRUE(waitFor([&] { return chat.centralWidget()->size() == given.ground; }))
                << given.zoom.toStdString();
        } else {
            EXPECT_TRUE(waitFor([&] { return client::outerBounds(chat).size() == given.saved; }))
                << given.zoom.toStdString();
        }
    }
}

TEST_F(WindowZoomTest, TheSmallestWindowShowsTheWholeScorecardAndChatLine) {
    RawSocket link;
    auto game = seatAnn(link);
    Tchat& chat = game->chat();
    QWidget* ground = chat.centralWidget();
    chat.resize(1, 1);
    ASSERT_TRUE(waitFor([&] { return ground->size() == ground->minimumSize(); }));
    for (QWidget* part :
         {static_cast<QWidget*>(ui(chat).panel_scorecard), static_cast<QWidget*>(ui(chat).mychat),
          static_cast<QWidget*>(chat.findChild<QLabel*>("Image4")),
          static_cast<QWidget*>(ui(chat).b_phrase[10])})
        EXPECT_TRUE(ground->rect().contains(part->geometry())) << part->objectName().toStdString();
}

// Reading the settings gives the entry line the player's text colour on top
// of its ivory ground, not instead of it.
TEST_F(WindowZoomTest, TheChatLineKeepsItsGroundUnderTheTextColour) {
    RawSocket link;
    auto game = seatAnn(link);
    QLineEdit* line = ui(game->chat()).mychat;
    const QImage shown = line->grab().toImage();
    EXPECT_EQ(shown.pixelColor(line->width() - 4, line->height() / 2), QColor(0xFB, 0xF6, 0xE6));
    EXPECT_EQ(line->palette().color(QPalette::Text), Qt::black);
}

// A category caption once hovered at 100 % takes the zoomed font for good,
// both under the mouse and after it.
TEST_F(WindowZoomTest, AHoveredCaptionKeepsTheZoomedFont) {
    RawSocket link;
    auto game = seatAnn(link);
    Tchat& chat = game->chat();
    QApplication::setActiveWindow(&chat);
    ASSERT_TRUE(waitFor([&] { return chat.isActiveWindow(); }));
    QLabel* ones = ui(chat).panel_scorecard->label[1];
    const auto hover = [&](bool on) {
        QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(ones, on ? static_cast<QEvent*>(&enter) : &leave);
    };
    hover(true);
    hover(false);
    zoomTo(chat, 200);
    // The captions are bold 12 pixels in the design.
    hover(true);
    EXPECT_EQ(ones->font().pixelSize(), 24);
    hover(false);
    EXPECT_EQ(ones->font().pixelSize(), 24);
}
