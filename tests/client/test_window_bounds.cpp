// What the main window stores of its place and size when it closes.
#include "client/WindowBounds.h"

#include <QWidget>
#include <gtest/gtest.h>

using client::boundsToSave;

namespace {
const QRect WorkArea(0, 0, 1280, 984);
}

TEST(WindowBounds, UnchangedBoundsAreNotSaved) {
    const QRect bounds(3, 3, 783, 512);
    EXPECT_FALSE(boundsToSave(bounds, bounds, WorkArea).has_value());
}

TEST(WindowBounds, MovedWindowIsSavedAsItIs) {
    const auto saved = boundsToSave(QRect(40, 50, 783, 512), QRect(3, 3, 783, 512), WorkArea);
    ASSERT_TRUE(saved);
    EXPECT_EQ(*saved, QRect(40, 50, 783, 512));
}

TEST(WindowBounds, OversizeWindowIsTakenInOnceNotUntilItFits) {
    const QRect wide(0, 0, WorkArea.width() + 20, 500);
    const auto saved = boundsToSave(wide, QRect(), WorkArea);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->width(), WorkArea.width() + 5);
    EXPECT_EQ(saved->height(), 500);

    const QRect tall(0, 0, 700, WorkArea.height() + 1);
    EXPECT_EQ(boundsToSave(tall, QRect(), WorkArea)->height(), WorkArea.height() - 14);
    const QRect exact(0, 0, WorkArea.width(), WorkArea.height());
    EXPECT_EQ(boundsToSave(exact, QRect(), WorkArea)->size(), WorkArea.size());
}

// A second start of the game wakes the first: a minimized window comes back,
// a maximized one keeps filling the screen.
TEST(WindowBounds, BringingToFrontRestoresOnlyAMinimizedWindow) {
    QWidget minimized;
    minimized.showMinimized();
    ASSERT_TRUE(minimized.isMinimized());
    client::bringToFront(minimized);
    EXPECT_FALSE(minimized.isMinimized());
    EXPECT_TRUE(minimized.isVisible());

    QWidget maximized;
    maximized.showMaximized();
    client::bringToFront(maximized);
    EXPECT_TRUE(maximized.isMaximized());
}
