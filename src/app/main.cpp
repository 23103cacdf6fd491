#include "app/GameApplication.h"
#include "client/ChatForm.h"
#include "client/WindowBounds.h"
#include "controls/SkinFont.h"
#include "platform/Environment.h"
#include "platform/ExceptionHandler.h"
#include "platform/Logging.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationSignals.h"

#include <QApplication>
#include <QMessageBox>

namespace {

// The framework's default error box: non-modal, so the game keeps running.
void showErrorBox(const std::exception& error) {
    const QString text = QString::fromLocal8Bit(error.what());
    qWarning("error box: %s", qPrintable(text));
    auto* box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Dunvex"), text,
                                QMessageBox::Ok, QApplication::activeWindow());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace

int main(int argc, char* argv[]) {
    // Before anything else: a second copy only wakes the first and leaves.
    platform::SingleInstance instance(platform::scopedObjectName(QStringLiteral("rovlek")));
    if (instance.anotherInstanceRuns(true))
        return 0;

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dunvex"));
    QApplication::setQuitOnLastWindowClosed(false);
    platform::setExceptionHandler(showErrorBox);
    controls::SkinFont::install();

    // A logout or kill asks politely first: leave through the event loop, so the
    // windows are destroyed and the tally is saved.
    platform::TerminationSignals termination;
    QObject::connect(&termination, &platform::TerminationSignals::terminationRequested,
                     &application, [](int) { QApplication::quit(); });

    GameApplication game(QApplication::arguments().mid(1));
    QObject::connect(&game.chat(), &Tchat::closed, &application, &QApplication::quit,
                     Qt::QueuedConnection);
    instance.setActivationHandler([&game] {
        qCInfo(lcLaunch) << "activated by a second start";
        client::bringToFront(game.chat());
    });
    game.start();
    return QApplication::exec();
}
