#pragma once

// An event dispatcher for the headless host on Linux. Qt's own poll loop
// builds and scans a list of every socket notifier on each turn, which at
// thousands of connections costs more than the work the turn does; epoll
// hands back only the sockets that are ready. Timers are kept sorted by
// deadline, so a turn costs in proportion to what fires, not to what exists.
//
// It lives on the thread that creates it; wakeUp() and interrupt() may be
// called from any thread.

#include <QAbstractEventDispatcher>
#include <atomic>
#include <chrono>
#include <map>
#include <set>
#include <unordered_map>
#include <vector>

namespace platform {

class TEpollEventDispatcher final : public QAbstractEventDispatcher {
public:
    explicit TEpollEventDispatcher(QObject* parent = nullptr);
    ~TEpollEventDispatcher() override;

    bool processEvents(QEventLoop::ProcessEventsFlags flags) override;

    void registerSocketNotifier(QSocketNotifier* notifier) override;
    void unregisterSocketNotifier(QSocketNotifier* notifier) override;

    void registerTimer(int timerId, qint64 interval, Qt::TimerType timerType,
                       QObject* object) override;
    bool unregisterTimer(int timerId) override;
    bool unregisterTimers(QObject* object) override;
    QList<TimerInfo> registeredTimers(QObject* object) const override;
    int remainingTime(int timerId) override;

    void wakeUp() override;
    void interrupt() override;

private:
    using Clock = std::chrono::steady_clock;

    // The notifiers of one descriptor. The generation tells a stale epoll
    // event (for a descriptor unregistered and registered again in the same
    // batch) from a current one.
    struct Watch {
        QSocketNotifier* notifiers[3] = {};
        std::uint32_t generation = 0;
        std::uint32_t events = 0;
    };

    struct Timer {
        QObject* object = nullptr;
        qint64 interval = 0;
        Qt::TimerType type = Qt::CoarseTimer;
        Clock::time_point deadline;
        std::uint64_t serial = 0;
        bool firing = false;
    };

    void updateWatch(int fd, Watch& watch, bool renew = false);
    int dispatchSocketEvents(int timeoutMs, bool sockets);
    void activateNotifiers(int fd, std::uint32_t generation, std::uint32_t events);
    int fireTimers();
    int msUntilNextTimer() const;
    void scheduleTimer(int timerId, Timer& timer, Clock::time_point from);
    void eraseTimer(std::map<int, Timer>::iterator it);
    void drainWakeUp();

    int epollFd_ = -1;
    int wakeUpFd_ = -1;
    std::atomic<bool> wakeUpPending_{false};
    std::atomic<bool> interrupted_{false};
    std::uint32_t nextGeneration_ = 1;
    std::uint64_t nextSerial_ = 1;
    std::unordered_map<int, Watch> watches_;
    std::map<int, Timer> timers_;
    std::set<std::pair<Clock::time_point, int>> deadlines_;
    std::unordered_map<QObject*, std::vector<int>> timersByObject_;
};

// Installs TEpollEventDispatcher as the dispatcher of the next
// QCoreApplication where the system has epoll; elsewhere Qt keeps its own.
void installEpollEventDispatcher();

} // namespace platform
