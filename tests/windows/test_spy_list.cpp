// The spectator list: hover, context menu and removal, in a hosting window
// with a real host and in a window joined to a scripted one.
#include "support/GameWindowTest.h"
#include "windows/SpyListForm.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

const QByteArray T(1, char(0xFF));

class SpyListTest : public GameWindowTest {
protected:
    static QPoint entryPoint(Tspylist& spies, int row) {
        return spies.listbox_spys->visualItemRect(spies.listbox_spys->item(row)).center();
    }
    static QPoint blankPoint(Tspylist& spies) {
        return spies.listbox_spys->viewport()->rect().bottomLeft() + QPoint(4, -4);
    }
    // The pointer moves to the point and the right button opens the menu there.
    static void rightClick(Tspylist& spies, const QPoint& point) {
        QWidget* viewport = spies.listbox_spys->viewport();
        QMouseEvent move(QEvent::MouseMove, point, viewport->mapToGlobal(point), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
        QContextMenuEvent menu(QContextMenuEvent::Mouse, point, viewport->mapToGlobal(point));
        QApplication::sendEvent(viewport, &menu);
    }
};

} // namespace

TEST_F(SpyListTest, HostingPlayerRemovesTheSpectatorUnderThePointer) {
    auto game = launch({"Ann", "127.0.0.1", "true"});
    Tchat& chat = game->chat();
    Tspylist& spies = *game->forms().spylist;
    std::vector<std::unique_ptr<ProtocolClient>> seated;
    for (const char* name : {"Bob", "Cat", "Dan"})
        seated.push_back(player(name));
    auto eve = player("Eve");
    auto fay = player("Fay:the:spy");
    ASSERT_TRUE(waitForLine(chat, "Fay:the:spy is spying."));
    spies.show();
    ASSERT_EQ(spies.listbox_spys->count(), 2);
    EXPECT_EQ(spies.listbox_spys->item(1)->text(), "6: Fay:the:spy");

    rightClick(spies, blankPoint(spies));
    EXPECT_EQ(spies.listbox_spysTag, -1);
    EXPECT_TRUE(spies.popup_kickhim->isEnabled());
    spies.popup_kickhim->trigger(); // over no entry: nothing happens
    rightClick(spies, entryPoint(spies, 1));
    EXPECT_EQ(spies.listbox_spysTag, 1);
    spies.popup_kickhim->trigger();
    ASSERT_TRUE(waitForLine(chat, "Fay:the:spy has left."));
    EXPECT_TRUE(fay->socket().peerClosed());
    EXPECT_EQ(spies.listbox_spys->count(), 1) << "the blank-space click removed nobody";

    // The menu opened on Eve; she leaves and Gil takes her number before the click.
    rightClick(spies, entryPoint(spies, 0));
    eve->socket().close();
    ASSERT_TRUE(waitForLine(chat, "Eve has left."));
    auto gil = player("Gil");
    ASSERT_TRUE(waitForLine(chat, "Gil is spying."));
    EXPECT_EQ(spies.listbox_spys->item(0)->text(), "5: Gil");
    spies.popup_kickhim->trigger();
    gil->send("CMD_chat+5+still here|clBlack");
    ASSERT_TRUE(waitForText(chat, "still here"));
    EXPECT_EQ(spies.listbox_spys->count(), 1) << "Gil was not the one chosen";

    spies.button_done->click();
    EXPECT_FALSE(spies.isVisible());
    spies.show();
    EXPECT_EQ(spies.listbox_spys->item(0)->text(), "5: Gil");
}

TEST_F(SpyListTest, OtherWindowsCannotRemove) {
    RawSocket link;
    auto game = joinFakeHost(link);
    Tspylist& spies = *game->forms().spylist;
    ASSERT_TRUE(link.sendAll("CMD_sendlogininfo+2" + T + "CMD_newplayerinfo+6+Eve" + T));
    ASSERT_TRUE(waitFor([&] { return spies.listbox_spys->count() == 1; }));
    spies.show();
    rightClick(spies, entryPoint(spies, 0));
    EXPECT_EQ(spies.listbox_spysTag, 0);
    EXPECT_FALSE(spies.popup_kickhim->isEnabled());
}
