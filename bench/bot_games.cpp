// bot_games: plays computer-only games through the real host engine, as fast
// as the engine goes, and reports how each computer player scores.
//
//   bot_games [N] [--skill classic|expert] [--bonus]
//
// N games (default 10000), seeded 1..N, for both skills side by side unless
// one is named; --bonus plays bonus-dice games. The engine is stepped by
// calling its timer handlers directly whenever the timer is armed, so no game
// waits for a bot-speed interval.
#include "game/RandomGenerator.h"
#include "game/ScoringRules.h"
#include "game/StrategyStore.h"
#include "host/ServerForm.h"
#include "platform/StrToInt.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

using Skill = TServer::BotSkill;

struct Options {
    int games = 10000;
    std::vector<Skill> skills{Skill::Classic, Skill::Expert};
    bool bonus = false;
};

struct Figures {
    double mean = 0;
    double deviation = 0;
    int best = 0;
    int unposted = 0; // categories left empty: turns the computer lost
    double gamesPerSecond = 0;
};

double secondsSince(std::chrono::steady_clock::time_point begin) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

// Klot's final score, or -1 when the engine stopped without ending the game.
int playgame(TServer& server, std::uint32_t seed, bool bonus) {
    TRandomGenerator::shared().seed(seed);
    server.startgame(bonus ? QStringLiteral("1+t+false") : QStringLiteral("1+f+false"));
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

// Nobody connected: seat 1 is skipped and the computer plays seat 2 alone.
bool play(const Options& options, Skill skill, Figures& figures) {
    TServer server;
    server.setBotSkillSource([skill] { return skill; });
    double sum = 0;
    double squares = 0;
    const auto begin = std::chrono::steady_clock::now();
    for (int game = 1; game <= options.games; ++game) {
        const int score = playgame(server, std::uint32_t(game), options.bonus);
        if (score < 0) {
            std::fprintf(stderr, "bot_games: game %d stalled in round %d\n", game,
                         server.players[1].turns);
            return false;
        }
        sum += score;
        squares += double(score) * score;
        figures.best = std::max(figures.best, score);
        for (int row = 1; row <= scoring::CategoryCount; ++row)
            figures.unposted += server.players[2].card[row] == scoring::Unscored ? 1 : 0;
    }
    figures.gamesPerSecond = options.games / secondsSince(begin);
    figures.mean = sum / options.games;
    figures.deviation =
        std::sqrt(std::max(0.0, squares / options.games - figures.mean * figures.mean));
    return true;
}

// Nothing on success, else the exit code.
std::optional<int> parse(const QStringList& arguments, Options& options) {
    try {
        for (qsizetype i = 1; i < arguments.size(); ++i) {
            const QString& argument = arguments[i];
            if (argument == QLatin1String("--bonus")) {
                options.bonus = true;
            } else if (argument == QLatin1String("--skill") && i + 1 < arguments.size()) {
                const QString skill = arguments[++i];
                if (skill != QLatin1String("classic") && skill != QLatin1String("expert"))
                    throw platform::EConvertError("unknown skill");
                options.skills = {skill == QLatin1String("expert") ? Skill::Expert
                                                                   : Skill::Classic};
            } else {
                options.games = platform::StrToInt(argument);
                if (options.games < 1)
                    throw platform::EConvertError("N must be positive");
            }
        }
    } catch (const platform::EConvertError&) {
        std::fputs("Usage: bot_games [N] [--skill classic|expert] [--bonus]\n"
                   "  (N games seeded 1..N, default 10000; both skills unless one is named)\n",
                   stderr);
        return 2;
    }
    return std::nullopt;
}

// The strategy's own figures: table time and size, and the cost of one advice.
const game::OptimalStrategy& strategyFigures(bool bonus) {
    const auto begin = std::chrono::steady_clock::now();
    const game::OptimalStrategy& strategy = game::StrategyStore::shared().waitFor(bonus);
    const double waited = secondsSince(begin);
    game::TurnPosition position;
    position.rollsMade = 1;
    position.bonusFace = bonus ? 6 : 0;
    constexpr int Advices = 2000;
    const auto adviceBegin = std::chrono::steady_clock::now();
    double sink = 0;
    for (int i = 0; i < Advices; ++i) {
        position.dice = {1 + i % 6, 1 + i / 6 % 6, 1 + i / 36 % 6, 3, 5};
        sink += strategy.advise(position).best;
    }
    const double perAdvice = secondsSince(adviceBegin) / Advices;
    std::printf("strategy tables (%s): computed in %.2f s on a worker thread (waited %.2f s), "
                "%.1f MB; one advice at roll 1 of the empty card: %.1f us%s\n",
                bonus ? "bonus dice" : "regular", game::StrategyStore::shared().secondsTaken(bonus),
                waited, strategy.memoryBytes() / 1048576.0, perAdvice * 1e6, sink < 0 ? "!" : "");
    return strategy;
}

} // namespace

int main(int argc, char* argv[]) {
    // Timers need an event dispatcher even though no event loop runs.
    QCoreApplication application(argc, argv);
    Options options;
    if (const auto exitCode = parse(QCoreApplication::arguments(), options))
        return *exitCode;

    const bool expert = std::count(options.skills.begin(), options.skills.end(), Skill::Expert);
    const double expected = expert ? strategyFigures(options.bonus).expected(0, 0) : 0;

    std::printf("bot_games: %d %sgames, Klot's final score\n", options.games,
                options.bonus ? "bonus-dice " : "");
    std::printf("  %-8s %9s %9s %8s %7s %12s\n", "skill", "mean", "std dev", "maximum", "empty",
                "games/s");
    bool agrees = true;
    for (Skill skill : options.skills) {
        Figures figures;
        if (!play(options, skill, figures))
            return 1;
        std::printf("  %-8s %9.2f %9.2f %8d %7d %12.0f\n",
                    skill == Skill::Expert ? "expert" : "classic", figures.mean, figures.deviation,
                    figures.best, figures.unposted, figures.gamesPerSecond);
        if (skill != Skill::Expert)
            continue;
        const double standardError = figures.deviation / std::sqrt(double(options.games));
        const double gap = std::abs(figures.mean - expected);
        agrees = gap <= 3 * standardError;
        std::printf("  expected score of the empty card %.4f; simulated %.2f, off by %.2f "
                    "standard errors: %s\n",
                    expected, figures.mean, gap / standardError, agrees ? "agrees" : "DISAGREES");
    }
    return agrees ? 0 : 1;
}
