#include "platform/EpollEventDispatcher.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimerEvent>

#if defined(__linux__)

#include <algorithm>
#include <array>
#include <cerrno>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace platform {

namespace {

// Events of one epoll_wait; more simply wait for the next turn.
constexpr int BatchSize = 512;

// Where epoll_event.data keeps the descriptor and its watch's generation.
std::uint64_t packWatch(int fd, std::uint32_t generation) {
    return (std::uint64_t(generation) << 32) | std::uint32_t(fd);
}

// The readiness that activates each kind of notifier, as Qt's own poll loop
// reads it: a hang-up or error wakes the reader, so it sees the end.
constexpr std::uint32_t ActivatingEvents[3] = {
    EPOLLIN | EPOLLHUP | EPOLLERR | EPOLLRDHUP, // QSocketNotifier::Read
    EPOLLOUT | EPOLLERR,                        // QSocketNotifier::Write
    EPOLLPRI | EPOLLHUP | EPOLLERR,             // QSocketNotifier::Exception
};
constexpr std::uint32_t WatchedEvents[3] = {EPOLLIN | EPOLLRDHUP, EPOLLOUT, EPOLLPRI};

} // namespace

TEpollEventDispatcher::TEpollEventDispatcher(QObject* parent)
    : QAbstractEventDispatcher(parent)
    , epollFd_(::epoll_create1(EPOLL_CLOEXEC))
    , wakeUpFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (epollFd_ < 0 || wakeUpFd_ < 0)
        qFatal("TEpollEventDispatcher: cannot create epoll or eventfd descriptors");
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = packWatch(wakeUpFd_, 0);
    if (::epoll_ctl(epollFd_, EPOLL_CTL_ADD, wakeUpFd_, &event) != 0)
        qFatal("TEpollEventDispatcher: cannot watch its eventfd");
}

TEpollEventDispatcher::~TEpollEventDispatcher() {
    ::close(wakeUpFd_);
    ::close(epollFd_);
}

// ---- socket notifiers ----

void TEpollEventDispatcher::registerSocketNotifier(QSocketNotifier* notifier) {
    const int fd = int(notifier->socket());
    const int type = int(notifier->type());
    if (fd < 0 || fd == wakeUpFd_ || type < 0 || type > 2)
        return;
    auto [it, added] = watches_.try_emplace(fd);
    if (added)
        it->second.generation = nextGeneration_++;
    if (it->second.notifiers[type] && it->second.notifiers[type] != notifier)
        qWarning("TEpollEventDispatcher: several socket notifiers of one type for socket %d", fd);
    it->second.notifiers[type] = notifier;
    // Told to the kernel even when the events are the same: the number may
    // belong to a new socket whose closed predecessor left epoll's list.
    updateWatch(fd, it->second, true);
}

void TEpollEventDispatcher::unregisterSocketNotifier(QSocketNotifier* notifier) {
    const int fd = int(notifier->socket());
    const int type = int(notifier->type());
    const auto it = watches_.find(fd);
    if (it == watches_.end() || type < 0 || type > 2 || it->second.notifiers[type] != notifier)
        return;
    it->second.notifiers[type] = nullptr;
    updateWatch(fd, it->second);
    if (it->second.events == 0)
        watches_.erase(it);
}

// Brings the kernel's interest list in line with the notifiers of fd. A
// descriptor closed before its notifier went away has already left epoll's
// list, and its number may be reused: hence ENOENT and EEXIST are retried
// the other way round, and a failed removal is no error.
void TEpollEventDispatcher::updateWatch(int fd, Watch& watch, bool renew) {
    std::uint32_t events = 0;
    for (int type = 0; type < 3; ++type)
        if (watch.notifiers[type])
            events |= WatchedEvents[type];
    if (events == watch.events && !renew)
        return;
    epoll_event event{};
    event.events = events;
    event.data.u64 = packWatch(fd, watch.generation);
    if (events == 0) {
        ::epoll_ctl(epollFd_, EPOLL_CTL_DEL, fd, &event);
    } else if (watch.events == 0) {
        if (::epoll_ctl(epollFd_, EPOLL_CTL_ADD, fd, &event) != 0 && errno == EEXIST)
            ::epoll_ctl(epollFd_, EPOLL_CTL_MOD, fd, &event);
    } else if (::epoll_ctl(epollFd_, EPOLL_CTL_MOD, fd, &event) != 0 && errno == ENOENT) {
        ::epoll_ctl(epollFd_, EPOLL_CTL_ADD, fd, &event);
    }
    watch.events = events;
}

// A handler may delete or disable any notifier, its own or another's in the
// same batch: each activation looks the notifier up again.
void TEpollEventDispatcher::activateNotifiers(int fd, std::uint32_t generation,
                                              std::uint32_t events) {
    for (int type = 0; type < 3; ++type) {
        if (!(events & ActivatingEvents[type]))
            continue;
        const auto it = watches_.find(fd);
        if (it == watches_.end() || it->second.generation != generation)
            return;
        QSocketNotifier* const notifier = it->second.notifiers[type];
        if (!notifier)
            continue;
        QEvent activation(QEvent::SockAct);
        QCoreApplication::sendEvent(notifier, &activation);
    }
}

int TEpollEventDispatcher::dispatchSocketEvents(int timeoutMs, bool sockets) {
    std::array<epoll_event, BatchSize> events;
    int count = 0;
    if (sockets) {
        count = ::epoll_wait(epollFd_, events.data(), BatchSize, timeoutMs);
    } else {
        // Only the wake-up counts while sockets are excluded; waiting on the
        // whole set would return at once for every readable socket.
        pollfd wake{wakeUpFd_, POLLIN, 0};
        count = ::poll(&wake, 1, timeoutMs);
        if (count > 0) {
            events[0].events = EPOLLIN;
            events[0].data.u64 = packWatch(wakeUpFd_, 0);
        }
    }
    if (count < 0)
        return 0; // EINTR: the caller's loop turns again
    int activated = 0;
    for (int i = 0; i < count; ++i) {
        const int fd = int(std::uint32_t(events[i].data.u64));
        if (fd == wakeUpFd_) {
            drainWakeUp();
            continue;
        }
        activateNotifiers(fd, std::uint32_t(events[i].data.u64 >> 32), events[i].events);
        ++activated;
    }
    return activated;
}

// ---- timers ----

void TEpollEventDispatcher::registerTimer(int timerId, qint64 interval, Qt::TimerType timerType,
                                          QObject* object) {
    if (timerId <= 0 || interval < 0 || !object)
        return;
    unregisterTimer(timerId);
    Timer timer;
    timer.object = object;
    timer.type = timerType;
    // A very coarse timer counts in whole seconds, as Qt's own loops do.
    timer.interval =
        timerType == Qt::VeryCoarseTimer ? ((interval / 500 + 1) >> 1) * 1000 : interval;
    const auto it = timers_.emplace(timerId, timer).first;
    timersByObject_[object].push_back(timerId);
    scheduleTimer(timerId, it->second, Clock::now());
}

void TEpollEventDispatcher::scheduleTimer(int timerId, Timer& timer, Clock::time_point from) {
    timer.deadline = from + std::chrono::milliseconds(timer.interval);
    timer.serial = nextSerial_++;
    deadlines_.emplace(timer.deadline, timerId);
}

void TEpollEventDispatcher::eraseTimer(std::map<int, Timer>::iterator it) {
    deadlines_.erase({it->second.deadline, it->first});
    const auto owner = timersByObject_.find(it->second.object);
    if (owner != timersByObject_.end()) {
        std::erase(owner->second, it->first);
        if (owner->second.empty())
            timersByObject_.erase(owner);
    }
    timers_.erase(it);
}

bool TEpollEventDispatcher::unregisterTimer(int timerId) {
    const auto it = timers_.find(timerId);
    if (it == timers_.end())
        return false;
    eraseTimer(it);
    return true;
}

bool TEpollEventDispatcher::unregisterTimers(QObject* object) {
    const auto owner = timersByObject_.find(object);
    if (owner == timersByObject_.end())
        return false;
    const std::vector<int> ids = owner->second;
    for (const int id : ids)
        unregisterTimer(id);
    return true;
}

QList<QAbstractEventDispatcher::TimerInfo>
TEpollEventDispatcher::registeredTimers(QObject* object) const {
    QList<TimerInfo> list;
    const auto owner = timersByObject_.find(object);
    if (owner == timersByObject_.end())
        return list;
    for (const int id : owner->second) {
        const Timer& timer = timers_.at(id);
        list.append(TimerInfo(id, int(timer.interval), timer.type));
    }
    return list;
}

int TEpollEventDispatcher::remainingTime(int timerId) {
    const auto it = timers_.find(timerId);
    if (it == timers_.end())
        return -1;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(it->second.deadline - Clock::now());
    return int(std::max<qint64>(0, left.count()));
}

int TEpollEventDispatcher::msUntilNextTimer() const {
    if (deadlines_.empty())
        return -1;
    // Rounded up, so the wait never ends before the deadline and spins.
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadlines_.begin()->first - Clock::now());
    return int(std::clamp<qint64>(left.count(), 0, 24 * 3600 * 1000));
}

// Fires the timers due now, each at most once a turn. Timers started or
// restarted by a handler wait for the next turn; a timer stopped by a
// handler is looked up again and does not fire; a timer whose handler runs
// a nested loop is not fired again inside it.
int TEpollEventDispatcher::fireTimers() {
    const Clock::time_point now = Clock::now();
    std::vector<std::pair<int, std::uint64_t>> due;
    for (auto it = deadlines_.begin(); it != deadlines_.end() && it->first <= now; ++it)
        due.emplace_back(it->second, timers_.at(it->second).serial);
    int fired = 0;
    for (const auto& [id, serial] : due) {
        auto it = timers_.find(id);
        if (it == timers_.end() || it->second.serial != serial || it->second.firing)
            continue;
        Timer& timer = it->second;
        deadlines_.erase({timer.deadline, id});
        // A repeating timer keeps its rhythm unless it fell a whole interval behind.
        const Clock::time_point next = timer.deadline + std::chrono::milliseconds(timer.interval);
        scheduleTimer(id, timer, next > now ? timer.deadline : now);
        const std::uint64_t rescheduled = timer.serial;
        QObject* const object = timer.object;
        timer.firing = true;
        QTimerEvent event(id);
        QCoreApplication::sendEvent(object, &event);
        ++fired;
        it = timers_.find(id);
        if (it != timers_.end() && it->second.serial == rescheduled)
            it->second.firing = false;
    }
    return fired;
}

// ---- the loop ----

void TEpollEventDispatcher::wakeUp() {
    if (wakeUpPending_.exchange(true))
        return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(wakeUpFd_, &one, sizeof one);
}

void TEpollEventDispatcher::drainWakeUp() {
    std::uint64_t count = 0;
    [[maybe_unused]] const auto read = ::read(wakeUpFd_, &count, sizeof count);
    // Cleared before the posted events are sent on the next turn, so an
    // event posted after this point writes the eventfd again.
    wakeUpPending_.store(false);
}

void TEpollEventDispatcher::interrupt() {
    interrupted_.store(true);
    wakeUp();
}

bool TEpollEventDispatcher::processEvents(QEventLoop::ProcessEventsFlags flags) {
    interrupted_.store(false);
    emit awake();
    QCoreApplication::sendPostedEvents();

    const bool timersIncluded = !(flags & QEventLoop::X11ExcludeTimers);
    const bool canWait = (flags & QEventLoop::WaitForMoreEvents) && !interrupted_.load();
    int timeoutMs = 0;
    if (canWait) {
        timeoutMs = timersIncluded ? msUntilNextTimer() : -1;
        emit aboutToBlock();
    }
    int handled = dispatchSocketEvents(timeoutMs, !(flags & QEventLoop::ExcludeSocketNotifiers));
    if (canWait)
        emit awake();
    if (timersIncluded)
        handled += fireTimers();
    return handled > 0;
}

} // namespace platform

#endif

namespace platform {

void installEpollEventDispatcher() {
#if defined(__linux__)
    QCoreApplication::setEventDispatcher(new TEpollEventDispatcher);
#endif
}

} // namespace platform
