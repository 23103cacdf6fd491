#pragma once

#include "net/HostAddress.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QObject;

namespace net {

// What a name lookup found: the host's addresses in the resolver's order, or
// the WinSock number of the failure (11001 when the host is unknown).
struct Resolution {
    std::vector<Endpoint> addresses;
    int error = 0;
};

using Resolver = std::function<Resolution(const QString& name)>;

// The system's resolver: every IPv4 and IPv6 address of the name.
Resolution systemResolve(const QString& name);

// The resolver every socket uses from now on; an empty one restores the
// system's. Tests put a scripted one here. A lookup already running keeps the
// resolver it started with.
void setResolver(Resolver resolver);
Resolver currentResolver();

// One name lookup on a thread of its own, so that a slow resolver stops
// nothing. The answer comes back through the event loop of the receiver's
// thread, unless the lookup was cancelled first. The thread is never waited
// for: a resolver that hangs only keeps its own thread, never the program.
class HostLookup {
public:
    using Answer = std::function<void(const Resolution&)>;

    // receiver must cancel the lookup before it is destroyed.
    static std::shared_ptr<HostLookup> start(const QString& name, QObject* receiver, Answer answer);
    // From the receiver's thread: the answer will not be delivered.
    void cancel();
    // Lookup threads that have not ended yet, cancelled ones included.
    static int running();

    struct Token;
    explicit HostLookup(std::shared_ptr<Token> token)
        : m_token(std::move(token)) {}

private:
    std::shared_ptr<Token> m_token;
};

} // namespace net
