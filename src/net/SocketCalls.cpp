#include "net/SocketCalls.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <poll.h>

namespace net {

namespace {

using Clock = std::chrono::steady_clock;

// What is left of the wait, in the form poll() takes it.
int pollTimeout(bool unlimited, Clock::time_point deadline) {
    if (unlimited)
        return -1;
    // Rounded up: a wait never ends short of its deadline.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return int(std::clamp<long long>(left, 0, INT_MAX));
}

} // namespace

bool wouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

bool lacksResources(int error) {
    return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

bool waitForSocket(int fd, short events, int seconds) {
    const bool unlimited = seconds < 0;
    // Measured against a deadline, so a signal that breaks the wait does not
    // stretch it, and a large number of seconds cannot overflow.
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(std::max(seconds, 0));
    for (;;) {
        pollfd entry{fd, events, 0};
        const int timeout = pollTimeout(unlimited, deadline);
        const int ready = ::poll(&entry, 1, timeout);
        if (ready > 0)
            return true;
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || timeout == 0 || pollTimeout(unlimited, deadline) == 0)
            return false;
    }
}

} // namespace net
