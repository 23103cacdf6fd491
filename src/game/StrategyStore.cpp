#include "game/StrategyStore.h"

#include <chrono>

namespace game {

StrategyStore& StrategyStore::shared() {
    // Statics die in the reverse order of their making: the shared tables,
    // made first, outlive the store, whose destructor stops the workers that
    // still use them.
    static const bool prepared = (OptimalStrategy::prepareSharedTables(), true);
    (void)prepared;
    static StrategyStore store;
    return store;
}

StrategyStore::~StrategyStore() {
    m_stopping = true;
    for (std::thread& worker : m_workers)
        if (worker.joinable())
            worker.join();
}

const OptimalStrategy* StrategyStore::tables(bool bonusGame) {
    if (const OptimalStrategy* ready = m_ready[bonusGame].load(std::memory_order_acquire))
        return ready;
    std::lock_guard lock(m_mutex);
    if (!m_workers[bonusGame].joinable())
        m_workers[bonusGame] = std::thread([this, bonusGame] { compute(bonusGame); });
    return nullptr;
}

bool StrategyStore::started(bool bonusGame) {
    if (m_ready[bonusGame].load(std::memory_order_acquire))
        return true;
    std::lock_guard lock(m_mutex);
    return m_workers[bonusGame].joinable();
}

const OptimalStrategy& StrategyStore::waitFor(bool bonusGame) {
    if (!tables(bonusGame)) {
        std::lock_guard lock(m_mutex);
        if (m_workers[bonusGame].joinable())
            m_workers[bonusGame].join();
    }
    return *m_ready[bonusGame].load(std::memory_order_acquire);
}

void StrategyStore::compute(bool bonusGame) {
    const auto begin = std::chrono::steady_clock::now();
    auto strategy = std::make_unique<OptimalStrategy>(bonusGame, &m_stopping);
    if (m_stopping)
        return;
    m_seconds[bonusGame] =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    m_owned[bonusGame] = std::move(strategy);
    m_ready[bonusGame].store(m_owned[bonusGame].get(), std::memory_order_release);
    QMetaObject::invokeMethod(
        this, [this, bonusGame] { emit tablesReady(bonusGame); }, Qt::QueuedConnection);
}

} // namespace game
