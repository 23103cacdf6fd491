#include "net/HostResolver.h"

#include "net/SocketErrors.h"

#include <QMetaObject>
#include <QObject>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <netdb.h>
#include <thread>

namespace net {

// Shared by the lookup's thread and its owner. The thread posts the answer
// only while it holds the lock and finds the lookup not cancelled; the owner
// cancels under the same lock before it goes, so a post never reaches a
// receiver that is being destroyed.
struct HostLookup::Token {
    std::mutex lock;
    bool cancelled = false;
    QObject* receiver = nullptr;
    Answer answer;

    bool isCancelled() {
        std::lock_guard guard(lock);
        return cancelled;
    }
};

namespace {

std::mutex resolverLock;
Resolver installedResolver;
std::atomic<int> runningLookups{0};

bool sameAddress(const Endpoint& a, const Endpoint& b) {
    return a.length == b.length && std::memcmp(&a.storage, &b.storage, a.length) == 0;
}

void deliver(const std::shared_ptr<HostLookup::Token>& token, const Resolution& answer) {
    std::lock_guard guard(token->lock);
    if (token->cancelled)
        return;
    QMetaObject::invokeMethod(
        token->receiver,
        [token, answer] {
            if (!token->isCancelled())
                token->answer(answer);
        },
        Qt::QueuedConnection);
}

} // namespace

Resolution systemResolve(const QString& name) {
    // The C library would take "1.2.3" or "127.1" as shorthand for an address
    // instead of looking it up; no host is named like that.
    in_addr shorthand{};
    if (::inet_aton(name.toLatin1().constData(), &shorthand) != 0)
        return Resolution{{}, 11001};
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    Resolution resolution;
    const int result = ::getaddrinfo(name.toUtf8().constData(), nullptr, &hints, &found);
    if (result != 0) {
        resolution.error = lookupErrorCode(result);
        return resolution;
    }
    for (const addrinfo* entry = found; entry; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET && entry->ai_family != AF_INET6)
            continue;
        Endpoint endpoint;
        std::memcpy(&endpoint.storage, entry->ai_addr, entry->ai_addrlen);
        endpoint.length = entry->ai_addrlen;
        bool seen = false;
        for (const Endpoint& known : resolution.addresses)
            seen = seen || sameAddress(known, endpoint);
        if (!seen)
            resolution.addresses.push_back(endpoint);
    }
    ::freeaddrinfo(found);
    if (resolution.addresses.empty())
        resolution.error = 11004;
    return resolution;
}

void setResolver(Resolver resolver) {
    std::lock_guard guard(resolverLock);
    installedResolver = std::move(resolver);
}

Resolver currentResolver() {
    std::lock_guard guard(resolverLock);
    return installedResolver ? installedResolver : Resolver(systemResolve);
}

std::shared_ptr<HostLookup> HostLookup::start(const QString& name, QObject* receiver,
                                              Answer answer) {
    auto token = std::make_shared<Token>();
    token->receiver = receiver;
    token->answer = std::move(answer);
    ++runningLookups;
    std::thread([token, name, resolve = currentResolver()]() mutable {
        Resolution answer;
        try {
            answer = resolve(name);
        } catch (...) {
            answer = Resolution{{}, 11003};
        }
        deliver(token, answer);
        // Counted as ended only once it holds nothing more.
        token.reset();
        resolve = nullptr;
        --runningLookups;
    }).detach();
    return std::make_shared<HostLookup>(token);
}

void HostLookup::cancel() {
    std::lock_guard guard(m_token->lock);
    m_token->cancelled = true;
}

int HostLookup::running() {
    return runningLookups;
}

} // namespace net
