// The skinned controls as a player meets them: real widgets offscreen, driven
// by real mouse events.
#include "controls/HoverLabel.h"
#include "controls/SelButton.h"
#include "controls/SkinArt.h"
#include "controls/SkinCheckBox.h"
#include "controls/SkinSpeedButton.h"
#include "controls/TiledBackground.h"
#include "controls/URL.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QEnterEvent>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

using testsupport::waitFor;

namespace {

// A shown, active form for the controls to sit on.
class SkinnedControlsTest : public testing::Test {
protected:
    void SetUp() override {
        form.resize(400, 300);
        form.show();
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    }

    static void enter(QWidget* control) {
        QEnterEvent event(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
        QCoreApplication::sendEvent(control, &event);
    }

    QWidget form;
};

TEST_F(SkinnedControlsTest, HoverFollowsTheMouseInAndOut) {
    auto* button = new TSelButton(&form);
    button->move(10, 10);
    button->show();
    QTest::mouseMove(&form, QPoint(300, 200));
    EXPECT_FALSE(button->isHovered());
    QTest::mouseMove(button, QPoint(20, 10));
    EXPECT_TRUE(waitFor([&] { return button->isHovered(); }));
    QTest::mouseMove(&form, QPoint(300, 200));
    EXPECT_TRUE(waitFor([&] { return !button->isHovered(); }));
}

TEST_F(SkinnedControlsTest, PressThenReleaseOutsideDoesNotClick) {
    auto* plain = new TSelButton(&form);
    auto* speed = new TSkinSpeedButton(&form);
    speed->move(0, 50);
    int plainClicks = 0;
    int speedClicks = 0;
    plain->OnClick = [&] { ++plainClicks; };
    speed->OnClick = [&] { ++speedClicks; };
    for (QWidget* button : {static_cast<QWidget*>(plain), static_cast<QWidget*>(speed)}) {
        QTest::mousePress(button, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(200, 5));
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
    }
    EXPECT_EQ(plainClicks, 1);
    EXPECT_EQ(speedClicks, 1);
    EXPECT_FALSE(plain->isPressed());
    EXPECT_FALSE(speed->isPressed());
}

TEST_F(SkinnedControlsTest, ADisabledSelButtonDoesNotCallOnClick) {
    auto* button = new TSelButton(&form);
    int clicks = 0;
    button->OnClick = [&] { ++clicks; };
    button->setEnabled(false);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
    button->click();
    EXPECT_EQ(clicks, 0);
    button->setEnabled(true);
    button->click();
    EXPECT_EQ(clicks, 1);
}

TEST_F(SkinnedControlsTest, AGroupOfSpeedButtonsKeepsOneDown) {
    std::array<TSkinSpeedButton*, 3> group{};
    for (int index = 0; index < 3; ++index) {
        group[index] = new TSkinSpeedButton(&form);
        group[index]->move(index * 30, 0);
        group[index]->setGroupIndex(1);
    }
    // The same group number on another parent is another group.
    QWidget elsewhere(&form);
    auto* stranger = new TSkinSpeedButton(&elsewhere);
    stranger->setGroupIndex(1);
    stranger->setDown(true);

    QTest::mouseClick(group[0], Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseClick(group[2], Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(group[0]->Down());
    EXPECT_TRUE(group[2]->Down());
    QTest::mouseClick(group[2], Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(group[2]->Down()) << "without AllowAllUp one stays down";
    EXPECT_TRUE(stranger->Down());

    group[0]->setAllowAllUp(true);
    QTest::mouseClick(group[2], Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(group[0]->Down() || group[1]->Down() || group[2]->Down());
}

TEST_F(SkinnedControlsTest, TheCheckBoxTogglesOnReleaseOverIt) {
    auto* box = new TSkinCheckBox(&form);
    QTest::mousePress(box, Qt::LeftButton, {}, QPoint(5, 8));
    EXPECT_FALSE(box->Checked()) << "pressing alone does not toggle";
    QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(60, 8));
    EXPECT_TRUE(box->Checked());
    QTest::mousePress(box, Qt::LeftButton, {}, QPoint(5, 8));
    QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(60, 40));
    EXPECT_TRUE(box->Checked()) << "released below the box";
}

// While the game is in the background the check box and the speed buttons
// show no hover; the plain buttons still do. Back in front, all of them do.
TEST_F(SkinnedControlsTest, InTheBackgroundOnlyPlainButtonsShowHover) {
    auto* box = new TSkinCheckBox(&form);
    auto* speed = new TSkinSpeedButton(&form);
    auto* plain = new TSelButton(&form);
    QApplication::setActiveWindow(nullptr);
    ASSERT_EQ(QApplication::activeWindow(), nullptr);
    for (QWidget* control :
         {static_cast<QWidget*>(box), static_cast<QWidget*>(speed), static_cast<QWidget*>(plain)})
        enter(control);
    EXPECT_FALSE(box->isHovered());
    EXPECT_FALSE(speed->isHovered());
    EXPECT_TRUE(plain->isHovered());

    QApplication::setActiveWindow(&form);
    enter(box);
    enter(speed);
    EXPECT_TRUE(box->isHovered());
    EXPECT_TRUE(speed->isHovered());
}

TEST_F(SkinnedControlsTest, TheHoverLabelRestoresItsColourAndFontOnLeave) {
    auto* caption = new THoverLabel(QStringLiteral("Full House"), &form);
    caption->setGeometry(10, 100, 93, 19);
    QPalette maroon = caption->palette();
    maroon.setColor(QPalette::WindowText, QColor(128, 0, 0));
    caption->setPalette(maroon);
    QFont normal(QStringLiteral("Arial"));
    normal.setPixelSize(12);
    caption->setFont(normal);
    QFont bold = normal;
    bold.setBold(true);
    caption->setHoverFont(bold);
    caption->setHoverColor(Qt::white);
    caption->setHoverFontColor(QColor(0, 128, 0));
    caption->show();

    QTest::mouseMove(caption, QPoint(5, 5));
    EXPECT_FALSE(caption->isHovered()) << "not Active yet";
    QTest::mouseMove(&form, QPoint(300, 250));
    caption->setActive(true);
    QTest::mouseMove(caption, QPoint(5, 5));
    ASSERT_TRUE(waitFor([&] { return caption->isHovered(); }));
    EXPECT_EQ(caption->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    EXPECT_EQ(caption->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_TRUE(caption->font().bold());

    QTest::mouseMove(&form, QPoint(300, 250));
    ASSERT_TRUE(waitFor([&] { return !caption->isHovered(); }));
    EXPECT_EQ(caption->palette().color(QPalette::WindowText), QColor(128, 0, 0));
    EXPECT_EQ(caption->font(), normal);
    EXPECT_FALSE(caption->autoFillBackground());
}

TEST_F(SkinnedControlsTest, OnlyOneControlOfAClassShowsHover) {
    // A leave event can go missing (a popup took the mouse); entering the
    // next button must still take the hover away from the first.
    auto* first = new TSkinSpeedButton(&form);
    auto* second = new TSkinSpeedButton(&form);
    auto* box = new TSkinCheckBox(&form);
    second->move(30, 0);
    box->move(0, 40);
    enter(first);
    enter(box);
    enter(second);
    EXPECT_FALSE(first->isHovered());
    EXPECT_TRUE(second->isHovered());
    EXPECT_TRUE(box->isHovered()) << "another class keeps its own hover";
}

TEST(URLTest, AnEmptyAddressFailsAndUtnoneOpensTheAddressAsWritten) {
    QStringList opened;
    controls::setShellOpenHandler([&](const QString& target) {
        opened << target;
        return true;
    });
    TURL link;
    link.URLType = TURL::utnone;
    EXPECT_FALSE(link.open());
    link.URL = QStringLiteral("mailto:ann@example.org?subject=Dunvex");
    EXPECT_TRUE(link.open());
    controls::setShellOpenHandler(nullptr);
    EXPECT_EQ(opened, QStringList{"mailto:ann@example.org?subject=Dunvex"});
}

// A form with a painting of its own, which the tiles must not replace.
class PaintedForm : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(QRect(100, 100, 10, 10), Qt::yellow);
    }
};

TEST(TiledBackgroundTest, TheTilesCoverTheWholeFormFromItsTopLeft) {
    // Tile 16 x 16: left half red, right half blue.
    QPixmap tile(16, 16);
    tile.fill(Qt::blue);
    QPainter(&tile).fillRect(0, 0, 8, 16, Qt::red);

    PaintedForm form;
    form.resize(301, 203);
    auto* background = new TTiledBackground(&form);
    background->setImage(tile);
    form.show();
    const QImage picture = form.grab().toImage();
    ASSERT_EQ(picture.size(), QSize(301, 203));
    // Column 300 is 12 into its tile (blue), column 295 is 7 into it (red).
    EXPECT_EQ(picture.pixelColor(300, 202), QColor(Qt::blue));
    EXPECT_EQ(picture.pixelColor(295, 202), QColor(Qt::red));
    EXPECT_EQ(picture.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(picture.pixelColor(105, 105), QColor(Qt::yellow)) << "the form's own painting";

    background->setEnabled(false);
    EXPECT_NE(form.grab().toImage().pixelColor(300, 202), QColor(Qt::blue));
}

} // namespace

namespace {

TEST(SkinArtTest, PiecesAreDrawnAtTheAskedSizeForTheScreensPixelRatio) {
    using controls::SkinArt;
    const QPixmap sharp = SkinArt::pixmap(SkinArt::dieName(6, true), QSize(32, 32), 2.0);
    ASSERT_FALSE(sharp.isNull());
    EXPECT_EQ(sharp.size(), QSize(64, 64));
    EXPECT_EQ(sharp.deviceIndependentSize(), QSizeF(32, 32));
    // The middle of a die is its face, not the transparent corner around it.
    const QImage face = sharp.toImage();
    EXPECT_EQ(face.pixelColor(30, 30).alpha(), 255);
    EXPECT_EQ(face.pixelColor(0, 63).alpha(), 0);
    EXPECT_EQ(SkinArt::designSize(QStringLiteral("keep-tray")), QSize(58, 181));
    EXPECT_TRUE(SkinArt::pixmap(QStringLiteral("no-such-piece"), QSize(10, 10), 1.0).isNull());

    // A strip for an image button: its third picture is the pressed one.
    const QStringList states = {"button-roll", "button-roll", "button-roll-down", "button-roll"};
    const QImage strip = SkinArt::strip(states, QSize(99, 24), nullptr).toImage();
    ASSERT_EQ(strip.size(), QSize(4 * 99, 24));
    const QImage down = SkinArt::pixmap("button-roll-down", QSize(99, 24), 1.0).toImage();
    EXPECT_EQ(strip.copy(2 * 99, 0, 99, 24), down.convertToFormat(strip.format()));
    EXPECT_NE(strip.copy(0, 0, 99, 24), down.convertToFormat(strip.format()));
}

} // namespace
