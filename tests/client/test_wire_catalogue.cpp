// Host and player window speak one catalogue of commands: every command one
// side sends is one the other side handles, or is listed as unhandled on purpose.
#include "client/GameSession.h"
#include "host/ServerForm.h"
#include "net/WireCommands.h"

#include <QSet>
#include <gtest/gtest.h>

namespace cmd = net::commands;

TEST(WireCatalogue, EveryCommandSentHasAHandlerOnTheOtherSide) {
    const QStringList hostHandles = TServer::handledCommands();
    const QStringList windowHandles = client::TGameSession::handledCommands();
    QSet<QString> unhandled;
    for (const char* name : cmd::DeliberatelyUnhandled)
        unhandled << QLatin1String(name);

    QSet<QString> names;
    for (const cmd::Command& command : cmd::Catalogue) {
        const QString name = QLatin1String(command.name);
        EXPECT_TRUE(name.startsWith(QLatin1String("CMD_"))) << name.toStdString();
        names << name;
        const QStringList& receiver =
            command.sender == cmd::Sender::Window ? hostHandles : windowHandles;
        EXPECT_TRUE(receiver.contains(name) != unhandled.contains(name))
            << name.toStdString() << ": handled by the receiver, or listed as unhandled";
    }
    // Nothing handled that nobody sends.
    for (const QString& name : hostHandles + windowHandles)
        EXPECT_TRUE(names.contains(name)) << name.toStdString() << " is not in the catalogue";
    EXPECT_TRUE(unhandled.contains(QLatin1String(cmd::BotSpeed)));
}
