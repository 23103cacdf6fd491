#include "platform/SingleInstance.h"

#include "platform/LocalName.h"

#include <QSocketNotifier>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace platform {

SingleInstance::SingleInstance(const QString& name, QObject* parent)
    : QObject(parent)
    , m_name(name) {}

SingleInstance::~SingleInstance() {
    delete m_notifier;
    if (m_fd >= 0)
        ::close(m_fd);
}

bool SingleInstance::anotherInstanceRuns(bool activate) {
    if (m_fd >= 0)
        return false;
    // Two tries: the holder may vanish between our failed hold and the knock.
    for (int attempt = 0; attempt < 2; ++attempt) {
        m_fd = holdLocalName(m_name);
        if (m_fd >= 0)
            return false;
        const int knock = connectLocalName(m_name);
        if (knock >= 0) {
            const char request = activate ? 'A' : 'Q';
            [[maybe_unused]] const auto sent = ::send(knock, &request, 1, MSG_NOSIGNAL);
            ::close(knock);
            return true;
        }
    }
    // The name can be neither held nor reached: run rather than refuse to start.
    return false;
}

void SingleInstance::setActivationHandler(std::function<void()> handler) {
    m_onActivate = std::move(handler);
    if (m_fd >= 0 && !m_notifier) {
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &SingleInstance::acceptKnock);
    }
}

void SingleInstance::acceptKnock() {
    const int peer = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (peer < 0)
        return;
    // The knocker writes its byte right after connecting; a local peer that
    // writes nothing may hold the GUI thread for a quarter second at most.
    const timeval limit{0, 250000};
    ::setsockopt(peer, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    char request = 0;
    const auto received = ::recv(peer, &request, 1, 0);
    ::close(peer);
    if (received == 1 && request == 'A' && m_onActivate)
        m_onActivate();
}

} // namespace platform
