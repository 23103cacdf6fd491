#pragma once

#include "game/OptimalStrategy.h"

#include <QObject>
#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

namespace game {

// The optimal strategy's tables for the process, one set for the regular and
// one for the bonus-dice game. They take a second or more to work out, so
// each set is computed once, when first asked for, on a worker thread of its
// own; until then `tables` answers null and the caller carries on. The tables
// never change once published, so any thread may read them.
class StrategyStore : public QObject {
    Q_OBJECT
public:
    // The process's store; first used on the GUI thread, where it signals.
    static StrategyStore& shared();
    ~StrategyStore() override;

    // The tables if ready, else null; the first call starts the work.
    const OptimalStrategy* tables(bool bonusGame);
    // The tables are ready or being worked out.
    bool started(bool bonusGame);
    // Blocks until the tables are ready (benchmarks and tests only).
    const OptimalStrategy& waitFor(bool bonusGame);
    // How long the last set took to compute, in seconds (0 until one is done).
    double secondsTaken(bool bonusGame) const { return m_seconds[bonusGame].load(); }

signals:
    // Delivered on the store's thread once a set of tables is published.
    void tablesReady(bool bonusGame);

private:
    StrategyStore() = default;
    void compute(bool bonusGame);

    std::mutex m_mutex;
    std::array<std::unique_ptr<OptimalStrategy>, 2> m_owned;
    std::array<std::atomic<const OptimalStrategy*>, 2> m_ready{};
    std::array<std::atomic<double>, 2> m_seconds{};
    std::array<std::thread, 2> m_workers;
    std::atomic<bool> m_stopping{false};
};

} // namespace game
