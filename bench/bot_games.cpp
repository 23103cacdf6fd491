// bot_games: plays computer-only games through the real host engine, as fast
// as the engine goes, and reports how the computer player scores.
//
//   bot_games [N]   # N games (default 10000), seeded 1..N
//
// The engine is stepped by calling its timer handlers directly whenever the
// timer is armed, so no game waits for a bot-speed interval.
#include "game/RandomGenerator.h"
#include "game/ScoringRules.h"
#include "host/ServerForm.h"
#include "platform/StrToInt.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace {

// Klot's final score, or -1 when the engine stopped without ending the game.
int playgame(TServer& server, std::uint32_t seed) {
    TRandomGenerator::shared().seed(seed);
    server.startgame(QStringLiteral("1+f+false"));
    while (server.gameinprogress) {
        if (server.Timer1.isActive())
            server.Timer1Timer();
        else if (server.timer_pauser.isActive())
            server.timer_pauserTimer();
        else
            return -1;
    }
    return server.players[2].total;
}

} // namespace

int main(int argc, char* argv[]) {
    // Timers need an event dispatcher even though no event loop runs.
    QCoreApplication application(argc, argv);
    int games = 10000;
    const QStringList arguments = QCoreApplication::arguments();
    try {
        if (arguments.size() > 2)
            throw platform::EConvertError("too many arguments");
        if (arguments.size() == 2)
            games = platform::StrToInt(arguments[1]);
        if (games < 1)
            throw platform::EConvertError("N must be positive");
    } catch (const platform::EConvertError&) {
        std::fputs("Usage: bot_games [N]   (N games, default 10000)\n", stderr);
        return 2;
    }

    // Nobody connected: seat 1 is skipped and the computer plays seat 2 alone.
    TServer server;
    double sum = 0;
    double squares = 0;
    int best = 0;
    int unposted = 0; // categories left empty: turns the computer lost
    const auto begin = std::chrono::steady_clock::now();
    for (int game = 1; game <= games; ++game) {
        const int score = playgame(server, std::uint32_t(game));
        if (score < 0) {
            std::fprintf(stderr, "bot_games: game %d stalled in round %d\n", game,
                         server.players[1].turns);
            return 1;
        }
        sum += score;
        squares += double(score) * score;
        best = std::max(best, score);
        for (int row = 1; row <= scoring::CategoryCount; ++row)
            unposted += server.players[2].card[row] == scoring::Unscored ? 1 : 0;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();

    const double mean = sum / games;
    const double deviation = std::sqrt(std::max(0.0, squares / games - mean * mean));
    std::printf("bot_games: %d games, Klot's final score: mean %.2f, standard deviation %.2f, "
                "maximum %d; %d categories left empty; %.0f games per second\n",
                games, mean, deviation, best, unposted, games / seconds);
    return 0;
}
