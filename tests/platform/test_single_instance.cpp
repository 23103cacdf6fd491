// One copy at a time, and the running marker other programs look for.
#include "platform/NamedMutex.h"
#include "platform/SingleInstance.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QUuid>
#include <gtest/gtest.h>

using namespace platform;

namespace {

QString uniqueName() {
    return "dunvex-test-" + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

} // namespace

TEST(SingleInstance, SecondInstanceFindsTheFirstAndAsksItToActivate) {
    const QString name = uniqueName();
    SingleInstance first(name);
    ASSERT_FALSE(first.anotherInstanceRuns(true));
    int activations = 0;
    first.setActivationHandler([&] { ++activations; });

    SingleInstance second(name);
    EXPECT_TRUE(second.anotherInstanceRuns(true));
    EXPECT_TRUE(testsupport::waitFor([&] { return activations == 1; }));

    SingleInstance quiet(name);
    EXPECT_TRUE(quiet.anotherInstanceRuns(false));
    SingleInstance loud(name);
    EXPECT_TRUE(loud.anotherInstanceRuns(true));
    EXPECT_TRUE(testsupport::waitFor([&] { return activations >= 2; }));
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(activations, 2) << "a knock without activation must not raise the window";
}

TEST(SingleInstance, NameIsFreeAgainWhenTheFirstEnds) {
    const QString name = uniqueName();
    {
        SingleInstance first(name);
        ASSERT_FALSE(first.anotherInstanceRuns(true));
    }
    SingleInstance next(name);
    EXPECT_FALSE(next.anotherInstanceRuns(true));
}

TEST(NamedMutex, ExistsWhileHeld) {
    const QString name = uniqueName();
    EXPECT_FALSE(NamedMutex::exists(name));
    {
        NamedMutex marker(name);
        EXPECT_FALSE(marker.alreadyExisted());
        EXPECT_TRUE(NamedMutex::exists(name));
        NamedMutex again(name);
        EXPECT_TRUE(again.alreadyExisted());
    }
    EXPECT_FALSE(NamedMutex::exists(name));
}
