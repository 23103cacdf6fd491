#include "support/FifoWatchdog.h"

#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace testsupport {

FifoWatchdog::FifoWatchdog(QByteArray path, int graceMilliseconds)
    : m_path(std::move(path))
    , m_made(::mkfifo(m_path.constData(), 0600) == 0) {
    m_thread = std::thread([this, graceMilliseconds] {
        using namespace std::chrono;
        const auto releaseFrom = steady_clock::now() + milliseconds(graceMilliseconds);
        while (!m_done) {
            if (steady_clock::now() >= releaseFrom) {
                m_released = true;
                const int fd = ::open(m_path.constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0)
                    ::close(fd);
            }
            std::this_thread::sleep_for(milliseconds(100));
        }
    });
}

FifoWatchdog::~FifoWatchdog() {
    released();
}

bool FifoWatchdog::released() {
    m_done = true;
    if (m_thread.joinable())
        m_thread.join();
    return m_released;
}

} // namespace testsupport
