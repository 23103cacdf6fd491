#include <cstdio>
#include <gtest/gtest.h>

#ifdef DUNVEX_TEST_GUI
#include "controls/SkinFont.h"

#include <QApplication>
using TestApplication = QApplication;
#else
#include "platform/EpollEventDispatcher.h"

#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
#ifndef DUNVEX_TEST_GUI
    // The host's tests can run on dunvex-server's own event loop.
    if (qEnvironmentVariableIsSet("DUNVEX_TEST_EPOLL_DISPATCHER"))
        platform::installEpollEventDispatcher();
#endif
    TestApplication application(argc, argv);
#ifdef DUNVEX_TEST_GUI
    // The windows draw their captions with the built-in typeface, as the game
    // does; without it every measured layout would depend on the machine's fonts.
    if (!controls::SkinFont::install()) {
        std::fputs("the built-in typeface could not be installed\n", stderr);
        return 1;
    }
#endif
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
