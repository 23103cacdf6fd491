#include "platform/TerminationSignals.h"

#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

int wakePipe[2] = {-1, -1};

void onSignal(int signalNumber) {
    const unsigned char number = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const auto written = ::write(wakePipe[1], &number, 1);
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent)
    : QObject(parent) {
    // A signal handler may only write to a pipe; the notifier does the rest.
    if (wakePipe[0] < 0 && ::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(wakePipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        unsigned char number = 0;
        while (::read(wakePipe[0], &number, 1) == 1)
            emit terminationRequested(number);
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

TerminationSignals::~TerminationSignals() {
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
}

} // namespace platform
