#pragma once

#include <QByteArray>
#include <atomic>
#include <thread>

namespace testsupport {

// Makes a FIFO at `path` for code that must never wait on one. After a grace
// period a thread opens it for writing every 100 ms, which releases a reader
// blocked in open or read: a regression then fails its test instead of
// hanging it.
class FifoWatchdog {
public:
    explicit FifoWatchdog(QByteArray path, int graceMilliseconds = 5000);
    ~FifoWatchdog();
    FifoWatchdog(const FifoWatchdog&) = delete;
    FifoWatchdog& operator=(const FifoWatchdog&) = delete;

    bool made() const { return m_made; }
    // Stops the thread; true when it had to release a reader.
    bool released();

private:
    QByteArray m_path;
    bool m_made = false;
    std::atomic<bool> m_done = false;
    std::atomic<bool> m_released = false;
    std::thread m_thread;
};

} // namespace testsupport
