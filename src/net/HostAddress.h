#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <sys/socket.h>

namespace net {

// One socket address, IPv4 or IPv6, as the socket calls take it.
struct Endpoint {
    sockaddr_storage storage{};
    socklen_t length = 0;

    int family() const { return storage.ss_family; }
    const sockaddr* address() const { return reinterpret_cast<const sockaddr*>(&storage); }
    sockaddr* address() { return reinterpret_cast<sockaddr*>(&storage); }
    // Network byte order, as the platform keeps it.
    std::uint16_t port() const;
    void setPort(std::uint16_t networkPort);

    // An IPv4 address in network byte order.
    static Endpoint ipv4(std::uint32_t networkAddress, std::uint16_t networkPort = 0);
    // The IPv6 any-address, which also takes IPv4 peers on a dual-stack socket.
    static Endpoint ipv6Any(std::uint16_t networkPort);
};

// The address a host text is written as: four dotted decimal parts of 0 to 255,
// or an IPv6 address, bare or in brackets. Nothing when the text is anything
// else; such a text is a name to look up.
std::optional<Endpoint> parseAddress(const QString& text);

// How a peer is shown and logged: an IPv4 peer, including one that reaches an
// IPv6 socket as a v4-mapped address, in dotted form; any other IPv6 peer in
// its standard text form, without brackets.
QString addressText(const sockaddr* address);

// What one connection limit counts as one address: an IPv4 address (plain or
// v4-mapped) itself, an IPv6 address its /64 network, the size one household
// or one host is normally given. A text that is no address is its own key.
QString addressKey(const QString& address);

} // namespace net
