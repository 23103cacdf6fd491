// dunvex-server: the game's host without a player window, for a machine
// without a desktop. It runs the very host the game runs; slot 1 is simply
// the first connection.
#include "game/RandomGenerator.h"
#include "host/ServerForm.h"
#include "platform/Environment.h"
#include "platform/StrToInt.h"
#include "platform/TerminationSignals.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>
#include <optional>

namespace {

struct Options {
    QString port = platform::gamePortName();
    int botSpeed = 1000;
    TServer::BotSkill botSkill = TServer::BotSkill::Classic;
    std::optional<std::uint32_t> seed;
};

const char* const Usage =
    "Usage: dunvex-server [--port N] [--bot-speed MS] [--bot-skill classic|expert] [--seed S]\n"
    "Hosts a Dunvex game without a player window.\n"
    "\n"
    "  --port N        listen on TCP port N (default 7772, or DUNVEX_PORT)\n"
    "  --bot-speed MS  the computer players' pace in milliseconds (default 1000)\n"
    "  --bot-skill S   the computer players: classic (default) or expert (optimal play)\n"
    "  --seed S        seed the dice with S instead of the clock\n"
    "  --help          show this text\n";

QTextStream& out() {
    static QTextStream stream(stdout);
    return stream;
}

// Parses the command line; nothing on success, else the exit code.
std::optional<int> parse(const QStringList& arguments, Options& options) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--help")) {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (i + 1 >= arguments.size()) {
            std::fprintf(stderr, "dunvex-server: unknown or incomplete option %s\n%s",
                         qPrintable(argument), Usage);
            return 2;
        }
        const QString value = arguments[++i];
        try {
            if (argument == QLatin1String("--port")) {
                const int port = platform::StrToInt(value);
                if (port < 1 || port > 65535)
                    throw platform::EConvertError("port out of range");
                options.port = value;
            } else if (argument == QLatin1String("--bot-speed")) {
                options.botSpeed = platform::StrToInt(value);
                if (options.botSpeed < 1)
                    throw platform::EConvertError("bot speed must be positive");
            } else if (argument == QLatin1String("--bot-skill")) {
                if (value != QLatin1String("classic") && value != QLatin1String("expert"))
                    throw platform::EConvertError("bot skill must be classic or expert");
                options.botSkill = value == QLatin1String("expert") ? TServer::BotSkill::Expert
                                                                    : TServer::BotSkill::Classic;
            } else if (argument == QLatin1String("--seed")) {
                bool ok = false;
                const qulonglong seed = value.toULongLong(&ok, 10);
                if (!ok || seed > 0xFFFFFFFFull || !value.front().isDigit())
                    throw platform::EConvertError("seed must be a whole number");
                options.seed = std::uint32_t(seed);
            } else {
                std::fprintf(stderr, "dunvex-server: unknown option %s\n%s", qPrintable(argument),
                             Usage);
                return 2;
            }
        } catch (const platform::EConvertError&) {
            std::fprintf(stderr, "dunvex-server: bad value '%s' for %s\n", qPrintable(value),
                         qPrintable(argument));
            return 2;
        }
    }
    return std::nullopt;
}

void logRoster(TServer& server) {
    QObject::connect(&server, &TServer::slotTaken, [](int slot, const QString& address) {
        out() << "arrived: slot " << slot << " from " << address << Qt::endl;
    });
    QObject::connect(&server, &TServer::loggedIn, [](int slot, const QString& name) {
        out() << "login: slot " << slot << " as " << name << Qt::endl;
    });
    QObject::connect(&server, &TServer::slotFreed, [](int slot, const QString& name) {
        out() << "departed: slot " << slot << (name.isEmpty() ? QString() : " (" + name + ")")
              << Qt::endl;
    });
    QObject::connect(&server, &TServer::connectionDropped, [](int slot, const QString& reason) {
        out() << "dropped: slot " << slot << ": " << reason << Qt::endl;
    });
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    Options options;
    if (const auto exitCode = parse(QCoreApplication::arguments(), options))
        return *exitCode;
    if (options.seed)
        TRandomGenerator::shared().seed(*options.seed);

    // Ready for a stop request before anyone can learn that we listen.
    platform::TerminationSignals termination;
    QObject::connect(&termination, &platform::TerminationSignals::terminationRequested,
                     &application, [](int) { QCoreApplication::quit(); });

    TServer server;
    server.setBotSpeedSource([speed = options.botSpeed] { return speed; });
    server.setBotSkillSource([skill = options.botSkill] { return skill; });
    server.Sock1.setPortName(options.port);
    logRoster(server);
    try {
        server.Sock1.setListen(true);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "dunvex-server: %s (port %s)\n", error.what(),
                     qPrintable(options.port));
        return 1;
    }
    out() << "listening on port " << options.port << Qt::endl;

    const int result = QCoreApplication::exec();
    out() << "stopped" << Qt::endl;
    return result;
}
