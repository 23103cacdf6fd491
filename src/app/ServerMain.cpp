// dunvex-server: the game's host without a player window, for a machine
// without a desktop. It runs the very host the game runs; slot 1 is simply
// the first connection.
#include "game/RandomGenerator.h"
#include "host/ServerForm.h"
#include "platform/Environment.h"
#include "platform/Logging.h"
#include "platform/StrToInt.h"
#include "platform/TerminationSignals.h"

#include <QCoreApplication>
#include <QDateTime>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <sys/resource.h>

namespace {

struct Options {
    QString port = platform::gamePortName();
    int botSpeed = 1000;
    TServer::BotSkill botSkill = TServer::BotSkill::Classic;
    std::optional<std::uint32_t> seed;
    int loginTimeout = 30;
    int maxPerAddress = 0;
    int maxRate = 20;
    bool quiet = false;
};

const char* const Usage =
    "Usage: dunvex-server [--port N] [--bot-speed MS] [--bot-skill classic|expert] [--seed S]\n"
    "                     [--login-timeout S] [--max-per-address N] [--max-rate N] [--quiet]\n"
    "Hosts a Dunvex game without a player window.\n"
    "\n"
    "  --port N             listen on TCP port N (default 7772, or DUNVEX_PORT)\n"
    "  --bot-speed MS       the computer players' pace in milliseconds (default 1000)\n"
    "  --bot-skill S        the computer players: classic (default) or expert (optimal play)\n"
    "  --seed S             seed the dice with S instead of the clock\n"
    "  --login-timeout S    drop a connection that has not logged in after S seconds\n"
    "                       (default 30; 0 waits for ever)\n"
    "  --max-per-address N  at most N connections from one IP address, an IPv6 /64 counting\n"
    "                       as one (default: no limit)\n"
    "  --max-rate N         after a burst of 256, at most N messages a second from one\n"
    "                       connection, or it is dropped (default 20; 0: no limit)\n"
    "  --quiet              log warnings only\n"
    "  --help               show this text\n";

bool quietLog = false;

// Every line dunvex-server logs, on either stream and at every level, is
// written here: UTC time, level, then the message as printableLogText shows
// it, so that peer text (names, the bad fields of abandoned messages) can
// neither start a line of its own nor fill a screen.
void writeLogLine(std::FILE* stream, const char* level, const QString& text) {
    const QByteArray line = (QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs) + ' ' +
                             QLatin1String(level) + ' ' + platform::printableLogText(text) + '\n')
                                .toUtf8();
    std::fwrite(line.constData(), 1, std::size_t(line.size()), stream);
    std::fflush(stream);
}

// What happened in the game, on standard output.
void log(bool warning, const QString& text) {
    if (quietLog && !warning)
        return;
    writeLogLine(stdout, warning ? "warning" : "info", text);
}

// The host's and the socket's own traces, on standard error.
void logQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const char* const level = type == QtDebugMsg      ? "debug"
                              : type == QtInfoMsg     ? "info"
                              : type == QtWarningMsg  ? "warning"
                              : type == QtCriticalMsg ? "critical"
                                                      : "fatal";
    const bool named = context.category && std::strcmp(context.category, "default") != 0;
    writeLogLine(stderr, level,
                 named ? QLatin1String(context.category) + QLatin1String(": ") + message : message);
}

// Each connection takes a descriptor: a soft limit below the hard one would
// turn players away for nothing.
void raiseDescriptorLimit() {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max)
        return;
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
}

int wholeNumber(const QString& value, int lowest, int highest = 1000000) {
    const int number = platform::StrToInt(value);
    if (number < lowest || number > highest)
        throw platform::EConvertError("out of range");
    return number;
}

// Parses the command line; nothing on success, else the exit code.
std::optional<int> parse(const QStringList& arguments, Options& options) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--help")) {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (argument == QLatin1String("--quiet")) {
            options.quiet = true;
            continue;
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
            } else if (argument == QLatin1String("--login-timeout")) {
                options.loginTimeout = wholeNumber(value, 0, 86400);
            } else if (argument == QLatin1String("--max-per-address")) {
                options.maxPerAddress = wholeNumber(value, 1);
            } else if (argument == QLatin1String("--max-rate")) {
                options.maxRate = wholeNumber(value, 0);
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
    // The address of each slot, for the lines that follow its arrival.
    auto addresses = std::make_shared<std::map<int, QString>>();
    const auto who = [addresses](int slot) {
        return (*addresses)[slot] + " slot " + QString::number(slot) + ": ";
    };
    QObject::connect(&server, &TServer::slotTaken,
                     [addresses, who](int slot, const QString& address) {
                         (*addresses)[slot] = address;
                         log(false, who(slot) + "arrived");
                     });
    QObject::connect(&server, &TServer::loggedIn, [who](int slot, const QString& name) {
        log(false, who(slot) + "login as " + name);
    });
    QObject::connect(&server, &TServer::slotFreed, [who](int slot, const QString& name) {
        log(false, who(slot) + "departed" + (name.isEmpty() ? QString() : " (" + name + ")"));
    });
    QObject::connect(&server, &TServer::connectionDropped, [who](int slot, const QString& reason) {
        log(true, who(slot) + "dropped: " + reason);
    });
    QObject::connect(&server, &TServer::connectionRefused,
                     [](const QString& address, const QString& reason) {
                         log(true, address + ": refused: " + reason);
                     });
    QObject::connect(&server, &TServer::acceptPaused, [](const QString& reason, int milliseconds) {
        log(true, "cannot accept a connection (" + reason + "); trying again in " +
                      QString::number(milliseconds) + " ms");
    });
}

} // namespace

int main(int argc, char* argv[]) {
    raiseDescriptorLimit();
    qInstallMessageHandler(logQtMessage);
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

    quietLog = options.quiet;
    TServer server;
    server.setBotSpeedSource([speed = options.botSpeed] { return speed; });
    THostPolicy policy;
    policy.loginTimeoutMs = options.loginTimeout * 1000;
    policy.maxPerAddress = options.maxPerAddress;
    policy.maxRate = options.maxRate;
    server.setPolicy(policy);
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
    log(false, "listening on port " + options.port);

    const int result = QCoreApplication::exec();
    log(false, QStringLiteral("stopped"));
    return result;
}
