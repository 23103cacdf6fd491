// dunvex-server: the game's host without a player window, for a machine
// without a desktop. It runs the very host the game runs; slot 1 is simply
// the first connection.
#include "app/ServerTables.h"
#include "game/RandomGenerator.h"
#include "platform/Environment.h"
#include "platform/EpollEventDispatcher.h"
#include "platform/Logging.h"
#include "platform/StrToInt.h"
#include "platform/TerminationSignals.h"

#include <QCoreApplication>
#include <QDateTime>
#include <cstdio>
#include <cstring>
#include <optional>
#include <sys/resource.h>

namespace {

struct Options {
    QString port = platform::gamePortName();
    int tables = 1;
    int botSpeed = 1000;
    TServer::BotSkill botSkill = TServer::BotSkill::Classic;
    std::optional<std::uint32_t> seed;
    int loginTimeout = 30;
    int maxPerAddress = 0;
    int maxRate = 20;
    bool quiet = false;
};

const char* const Usage =
    "Usage: dunvex-server [--port N] [--tables N] [--bot-speed MS] [--bot-skill classic|expert]\n"
    "                     [--seed S] [--login-timeout S] [--max-per-address N] [--max-rate N]\n"
    "                     [--quiet]\n"
    "Hosts Dunvex games without a player window.\n"
    "\n"
    "  --port N             listen on TCP port N (default 7772, or DUNVEX_PORT)\n"
    "  --tables N           host N separate games (1 to 1000, default 1), on the port of\n"
    "                       --port and the N-1 ports after it\n"
    "  --bot-speed MS       the computer players' pace in milliseconds (default 1000)\n"
    "  --bot-skill S        the computer players: classic (default) or expert (optimal play)\n"
    "  --seed S             seed the dice with S instead of the clock (table i: S + i * "
    "2654435769)\n"
    "  --login-timeout S    drop a connection that has not logged in after S seconds\n"
    "                       (default 30; 0 waits for ever)\n"
    "  --max-per-address N  at most N connections from one IP address to a table, an IPv6 /64\n"
    "                       counting as one (default: no limit)\n"
    "  --max-rate N         after a burst of 256, at most N messages a second from one\n"
    "                       connection, or it is dropped (default 20; 0: no limit)\n"
    "  --quiet              log warnings only\n"
    "  --help               show this text\n";

bool quietLog = false;

// Every line dunvex-server logs, on either stream and at every level, is
// written here: UTC time, level, the table's tag when there are several,
// then the message as printableLogText shows it, so that peer text (names,
// the bad fields of abandoned messages) can neither start a line of its own
// nor fill a screen.
void writeLogLine(std::FILE* stream, const char* level, const QString& tag, const QString& text) {
    const QString tagged = tag.isEmpty() ? QString() : tag + QLatin1Char(' ');
    const QByteArray line =
        (QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs) + ' ' + QLatin1String(level) +
         ' ' + tagged + platform::printableLogText(text) + '\n')
            .toUtf8();
    std::fwrite(line.constData(), 1, std::size_t(line.size()), stream);
    std::fflush(stream);
}

// What happened in the game, on standard output.
void logLine(const QString& tag, bool warning, const QString& text) {
    if (quietLog && !warning)
        return;
    writeLogLine(stdout, warning ? "warning" : "info", tag, text);
}

// The host's and the socket's own traces, on standard error.
void logQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    const char* const level = type == QtDebugMsg      ? "debug"
                              : type == QtInfoMsg     ? "info"
                              : type == QtWarningMsg  ? "warning"
                              : type == QtCriticalMsg ? "critical"
                                                      : "fatal";
    const bool named = context.category && std::strcmp(context.category, "default") != 0;
    // The host puts its table's tag into its traces itself.
    writeLogLine(stderr, level, QString(),
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
        throw platform::EConvertError(
            ("must be from " + std::to_string(lowest) + " to " + std::to_string(highest)).c_str());
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
            } else if (argument == QLatin1String("--tables")) {
                options.tables = wholeNumber(value, 1, TServerTables::MaxTables);
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
        } catch (const platform::EConvertError& error) {
            std::fprintf(stderr, "dunvex-server: bad value '%s' for %s (%s)\n", qPrintable(value),
                         qPrintable(argument), error.what());
            return 2;
        }
    }
    return std::nullopt;
}

// Each connection takes a descriptor: a limit too low for every table full
// turns players away, so say so at the start rather than at the thousandth.
void checkDescriptorLimit(int tables) {
    struct rlimit limit {};
    const rlim_t needed = rlim_t(tables) * TServerTables::DescriptorsPerTable + 16;
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < needed)
        logLine(QString(), true,
                "the descriptor limit of " + QString::number(limit.rlim_cur) + " is below the " +
                    QString::number(needed) + " that " + QString::number(tables) +
                    " full tables may need");
}

// A lone table's port goes to the socket as given; several tables count up
// from a number.
std::optional<int> checkPortRange(const Options& options) {
    if (options.tables == 1)
        return std::nullopt;
    int first = 0;
    try {
        first = platform::StrToInt(options.port);
    } catch (const platform::EConvertError&) {
        std::fprintf(stderr, "dunvex-server: --tables needs a port number, not '%s'\n",
                     qPrintable(options.port));
        return 2;
    }
    if (first >= 1 && first + options.tables - 1 <= 65535)
        return std::nullopt;
    std::fprintf(stderr, "dunvex-server: %d tables from port %s would go past port 65535\n",
                 options.tables, qPrintable(options.port));
    return 2;
}

} // namespace

int main(int argc, char* argv[]) {
    raiseDescriptorLimit();
    qInstallMessageHandler(logQtMessage);
    // Neither glib's loop (with thousands of connections it kept the tables'
    // timers waiting behind the sockets for seconds) nor Qt's own poll loop
    // (each turn scans every socket): an epoll loop, where the system has
    // one. QT_NO_GLIB picks Qt's poll loop where it does not.
    qputenv("QT_NO_GLIB", "1");
    platform::installEpollEventDispatcher();
    QCoreApplication application(argc, argv);
    Options options;
    if (const auto exitCode = parse(QCoreApplication::arguments(), options))
        return *exitCode;

    // Ready for a stop request before anyone can learn that we listen.
    platform::TerminationSignals termination;
    QObject::connect(&termination, &platform::TerminationSignals::terminationRequested,
                     &application, [](int) { QCoreApplication::quit(); });

    quietLog = options.quiet;
    if (const auto exitCode = checkPortRange(options))
        return *exitCode;
    checkDescriptorLimit(options.tables);
    TServerTables::Settings settings;
    settings.portName = options.port;
    settings.firstPort = options.tables > 1 ? platform::StrToInt(options.port) : 0;
    settings.count = options.tables;
    settings.seed = options.seed ? *options.seed : TRandomGenerator::clockSeed();
    settings.botSpeed = options.botSpeed;
    settings.botSkill = options.botSkill;
    settings.policy.loginTimeoutMs = options.loginTimeout * 1000;
    settings.policy.maxPerAddress = options.maxPerAddress;
    settings.policy.maxRate = options.maxRate;
    TServerTables tables(settings, logLine);
    try {
        tables.listen();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "dunvex-server: %s\n", error.what());
        return 1;
    }
    if (tables.count() == 1) {
        logLine(QString(), false, "listening on port " + options.port);
    } else {
        for (int table = 0; table < tables.count(); ++table)
            logLine(tables.tag(table), false,
                    "listening, dice seed " +
                        QString::number(TServerTables::tableSeed(settings.seed, table)));
        logLine(QString(), false,
                "listening on ports " + options.port + " to " +
                    tables.portName(tables.count() - 1) + " (" + QString::number(tables.count()) +
                    " tables)");
    }

    const int result = QCoreApplication::exec();
    logLine(QString(), false, QStringLiteral("stopped"));
    return result;
}
