// The epoll event dispatcher of dunvex-server, installed for this whole
// program as the server installs it: timers, socket notifiers on real
// socketpairs, and wake-ups from another thread.
#include "platform/EpollEventDispatcher.h"
#include "support/TestSupport.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using testsupport::waitFor;

struct SocketPair {
    int fds[2] = {-1, -1};
    SocketPair() { ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fds); }
    ~SocketPair() {
        ::close(fds[0]);
        ::close(fds[1]);
    }
    void send() const { ASSERT_EQ(::write(fds[1], "x", 1), 1); }
    void drain() const {
        char buffer[64];
        while (::read(fds[0], buffer, sizeof buffer) > 0) {
        }
    }
};

// Records, for each timer id, when it fired, measured from the start.
class TimerLog : public QObject {
public:
    QElapsedTimer clock;
    std::vector<std::pair<int, qint64>> fired;
    std::function<void(int)> onFire;

protected:
    void timerEvent(QTimerEvent* event) override {
        fired.emplace_back(event->timerId(), clock.elapsed());
        if (onFire)
            onFire(event->timerId());
    }
};

TEST(EpollEventDispatcher, IsTheDispatcherOfThisProgram) {
    ASSERT_NE(dynamic_cast<platform::TEpollEventDispatcher*>(QAbstractEventDispatcher::instance()),
              nullptr);
}

// Timers started out of order fire in the order of their deadlines, never
// early: one repeating every 40 ms, a single shot at 77 ms (whose turn comes
// just before the second repeat is due), one at 100 ms that stops the
// repeating one. Expected: 40, 77, 80, 100.
TEST(EpollEventDispatcher, TimersFireInOrderAndOnTime) {
    TimerLog log;
    log.clock.start();
    const int late = log.startTimer(100, Qt::PreciseTimer);
    const int repeating = log.startTimer(40, Qt::PreciseTimer);
    const int singleShot = -1;
    QTimer::singleShot(77, Qt::PreciseTimer,
                       [&] { log.fired.emplace_back(singleShot, log.clock.elapsed()); });
    // A loop that blocks until the next deadline, as the server's does
    // (waitFor polls in steps of its own).
    QEventLoop loop;
    log.onFire = [&](int id) {
        if (id == late) {
            log.killTimer(late);
            log.killTimer(repeating);
            loop.quit();
        }
    };
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    ASSERT_TRUE(!log.fired.empty() && log.fired.back().first == late);
    const std::vector<std::pair<int, qint64>> expected{
        {repeating, 40}, {singleShot, 77}, {repeating, 80}, {late, 100}};
    ASSERT_EQ(log.fired.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(log.fired[i].first, expected[i].first) << "fire " << i;
        EXPECT_GE(log.fired[i].second, expected[i].second) << "fire " << i << " came early";
        EXPECT_LT(log.fired[i].second, expected[i].second + 1000) << "fire " << i;
    }
}

// Both timers are overdue when the loop next turns, so they fall in one
// batch: the first stops the second, which must not fire, and a third one
// later proves the loop went on.
TEST(EpollEventDispatcher, TimerStoppedByAnotherInTheSameTurnNeverFires) {
    TimerLog log;
    log.clock.start();
    const int first = log.startTimer(5, Qt::PreciseTimer);
    const int second = log.startTimer(10, Qt::PreciseTimer);
    const int barrier = log.startTimer(60, Qt::PreciseTimer);
    log.onFire = [&](int id) {
        log.killTimer(id);
        if (id == first)
            log.killTimer(second);
    };
    auto* dispatcher = QAbstractEventDispatcher::instance();
    EXPECT_EQ(dispatcher->registeredTimers(&log).size(), 3);
    // Setup, not a wait: both become due before the loop looks.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(waitFor([&] { return log.fired.size() >= 2; }, 5000));
    ASSERT_EQ(log.fired.size(), 2u);
    EXPECT_EQ(log.fired[0].first, first);
    EXPECT_EQ(log.fired[1].first, barrier);
    EXPECT_TRUE(dispatcher->registeredTimers(&log).isEmpty());
    EXPECT_EQ(dispatcher->remainingTime(second), -1);
}

// Read and write activations on a socketpair; a disabled read notifier is
// not called although its socket is readable, which an enabled twin's call
// in the same turn proves.
TEST(EpollEventDispatcher, NotifiersActivateOnlyWhenEnabled) {
    SocketPair pair, twin;
    QSocketNotifier reader(pair.fds[0], QSocketNotifier::Read);
    QSocketNotifier writer(pair.fds[0], QSocketNotifier::Write);
    QSocketNotifier twinReader(twin.fds[0], QSocketNotifier::Read);
    int reads = 0, writes = 0, twinReads = 0;
    QObject::connect(&reader, &QSocketNotifier::activated, [&] {
        ++reads;
        pair.drain();
    });
    QObject::connect(&writer, &QSocketNotifier::activated, [&] {
        ++writes;
        writer.setEnabled(false);
    });
    QObject::connect(&twinReader, &QSocketNotifier::activated, [&] {
        ++twinReads;
        twin.drain();
    });

    ASSERT_TRUE(waitFor([&] { return writes == 1; }, 5000));
    EXPECT_EQ(reads, 0) << "nothing was sent yet";
    pair.send();
    ASSERT_TRUE(waitFor([&] { return reads == 1; }, 5000));

    reader.setEnabled(false);
    pair.send();
    twin.send();
    ASSERT_TRUE(waitFor([&] { return twinReads == 1; }, 5000));
    QCoreApplication::processEvents();
    EXPECT_EQ(reads, 1) << "a disabled notifier was called";
    EXPECT_EQ(writes, 1);

    reader.setEnabled(true);
    ASSERT_TRUE(waitFor([&] { return reads == 2; }, 5000)) << "enabled again, still readable";
}

// A socket closed while its notifier listens leaves epoll's list; a new
// socket given the same number must still be watched.
TEST(EpollEventDispatcher, NotifierOnAReusedDescriptorNumberActivates) {
    auto first = std::make_unique<SocketPair>();
    const int number = first->fds[0];
    auto stale = std::make_unique<QSocketNotifier>(number, QSocketNotifier::Read);
    first.reset();
    SocketPair second;
    ASSERT_EQ(second.fds[0], number) << "the system did not reuse the number";
    QSocketNotifier fresh(number, QSocketNotifier::Read);
    int reads = 0;
    QObject::connect(&fresh, &QSocketNotifier::activated, [&] {
        ++reads;
        second.drain();
    });
    second.send();
    EXPECT_TRUE(waitFor([&] { return reads == 1; }, 5000));
    stale.reset();
}

// Two sockets readable in the same turn; whichever notifier is called first
// deletes the other, which must then never be called.
TEST(EpollEventDispatcher, NotifierDeletedDuringTheSameBatchIsNeverCalled) {
    SocketPair one, two, barrier;
    auto* first = new QSocketNotifier(one.fds[0], QSocketNotifier::Read);
    auto* second = new QSocketNotifier(two.fds[0], QSocketNotifier::Read);
    QSocketNotifier barrierReader(barrier.fds[0], QSocketNotifier::Read);
    QPointer<QSocketNotifier> firstAlive(first), secondAlive(second);
    int calls = 0, barrierCalls = 0;
    const auto callAndDeleteOther = [&](QSocketNotifier* self, const SocketPair& pair) {
        ++calls;
        pair.drain();
        delete (self == first ? second : first);
        (self == first ? second : first) = nullptr;
    };
    QObject::connect(first, &QSocketNotifier::activated,
                     [&, n = first] { callAndDeleteOther(n, one); });
    QObject::connect(second, &QSocketNotifier::activated,
                     [&, n = second] { callAndDeleteOther(n, two); });
    QObject::connect(&barrierReader, &QSocketNotifier::activated, [&] {
        ++barrierCalls;
        barrier.drain();
    });
    one.send();
    two.send();
    ASSERT_TRUE(waitFor([&] { return calls >= 1; }, 5000));
    barrier.send();
    ASSERT_TRUE(waitFor([&] { return barrierCalls == 1; }, 5000));
    EXPECT_EQ(calls, 1);
    EXPECT_NE(bool(firstAlive), bool(secondAlive));
    delete first;
    delete second;
}

// Runs an action on another thread once the loop is about to block, and
// writes the watchdog socket if the loop has not come back within 5 s.
class BlockedLoopWaker {
public:
    BlockedLoopWaker(std::function<void()> action, const SocketPair& watchdog) {
        m_connection =
            QObject::connect(QAbstractEventDispatcher::instance(),
                             &QAbstractEventDispatcher::aboutToBlock, [this] { m_blocked = true; });
        m_thread = std::thread([this, action, &watchdog] {
            while (!m_blocked)
                std::this_thread::yield();
            action();
            for (int i = 0; i < 500 && !m_done; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (!m_done)
                watchdog.send();
        });
    }
    ~BlockedLoopWaker() {
        m_done = true;
        m_thread.join();
        QObject::disconnect(m_connection);
    }

private:
    std::atomic<bool> m_blocked{false};
    std::atomic<bool> m_done{false};
    QMetaObject::Connection m_connection;
    std::thread m_thread;
};

// A loop blocked with nothing else to wait for is woken from another thread:
// by wakeUp() itself, and by an event posted to this thread.
TEST(EpollEventDispatcher, AnotherThreadWakesABlockedLoop) {
    auto* dispatcher = QAbstractEventDispatcher::instance();
    SocketPair watchdogPair;
    bool watchdogFired = false;
    QSocketNotifier watchdog(watchdogPair.fds[0], QSocketNotifier::Read);
    QObject::connect(&watchdog, &QSocketNotifier::activated, [&] {
        watchdogFired = true;
        watchdogPair.drain();
    });
    {
        BlockedLoopWaker waker([dispatcher] { dispatcher->wakeUp(); }, watchdogPair);
        dispatcher->processEvents(QEventLoop::WaitForMoreEvents);
    }
    EXPECT_FALSE(watchdogFired) << "wakeUp() did not end the wait";

    // The posted call quits the loop, which interrupts the wait it is in.
    QEventLoop loop;
    bool delivered = false;
    {
        BlockedLoopWaker waker(
            [&] {
                QMetaObject::invokeMethod(
                    &loop,
                    [&] {
                        delivered = true;
                        loop.quit();
                    },
                    Qt::QueuedConnection);
            },
            watchdogPair);
        QObject::connect(&watchdog, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
        loop.exec();
    }
    EXPECT_TRUE(delivered);
    EXPECT_FALSE(watchdogFired) << "a posted event did not end the wait";
}

} // namespace

int main(int argc, char** argv) {
    platform::installEpollEventDispatcher();
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
