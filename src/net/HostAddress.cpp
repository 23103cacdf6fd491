#include "net/HostAddress.h"

#include <QStringList>
#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>

namespace net {

namespace {

// Four parts of one to three decimal digits, each at most 255: "1.2.3" or
// "3com.example" are names, not shorthand the C library would accept.
std::optional<std::uint32_t> dottedQuad(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return std::nullopt;
    std::uint32_t value = 0;
    for (const QString& part : parts) {
        if (part.isEmpty() || part.size() > 3)
            return std::nullopt;
        for (const QChar c : part)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return std::nullopt;
        const int number = part.toInt();
        if (number > 255)
            return std::nullopt;
        value = value << 8 | std::uint32_t(number);
    }
    return htonl(value);
}

std::optional<in6_addr> ipv6Address(QString text) {
    if (text.startsWith(QLatin1Char('[')) && text.endsWith(QLatin1Char(']')))
        text = text.mid(1, text.size() - 2);
    if (!text.contains(QLatin1Char(':')))
        return std::nullopt;
    in6_addr address{};
    if (::inet_pton(AF_INET6, text.toLatin1().constData(), &address) != 1)
        return std::nullopt;
    return address;
}

QString ipv4Text(const in_addr& address) {
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address, text, sizeof text);
    return QString::fromLatin1(text);
}

QString ipv6Text(const in6_addr& address) {
    char text[INET6_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET6, &address, text, sizeof text);
    return QString::fromLatin1(text);
}

} // namespace

std::uint16_t Endpoint::port() const {
    if (family() == AF_INET6)
        return reinterpret_cast<const sockaddr_in6*>(&storage)->sin6_port;
    return reinterpret_cast<const sockaddr_in*>(&storage)->sin_port;
}

void Endpoint::setPort(std::uint16_t networkPort) {
    if (family() == AF_INET6)
        reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port = networkPort;
    else
        reinterpret_cast<sockaddr_in*>(&storage)->sin_port = networkPort;
}

Endpoint Endpoint::ipv4(std::uint32_t networkAddress, std::uint16_t networkPort) {
    Endpoint endpoint;
    auto* address = reinterpret_cast<sockaddr_in*>(&endpoint.storage);
    address->sin_family = AF_INET;
    address->sin_port = networkPort;
    address->sin_addr.s_addr = networkAddress;
    endpoint.length = sizeof(sockaddr_in);
    return endpoint;
}

Endpoint Endpoint::ipv6Any(std::uint16_t networkPort) {
    Endpoint endpoint;
    auto* address = reinterpret_cast<sockaddr_in6*>(&endpoint.storage);
    address->sin6_family = AF_INET6;
    address->sin6_port = networkPort;
    address->sin6_addr = in6addr_any;
    endpoint.length = sizeof(sockaddr_in6);
    return endpoint;
}

std::optional<Endpoint> parseAddress(const QString& text) {
    if (const auto v4 = dottedQuad(text))
        return Endpoint::ipv4(*v4);
    const auto v6 = ipv6Address(text);
    if (!v6)
        return std::nullopt;
    Endpoint endpoint;
    auto* address = reinterpret_cast<sockaddr_in6*>(&endpoint.storage);
    address->sin6_family = AF_INET6;
    address->sin6_addr = *v6;
    endpoint.length = sizeof(sockaddr_in6);
    return endpoint;
}

QString addressText(const sockaddr* address) {
    if (address->sa_family == AF_INET)
        return ipv4Text(reinterpret_cast<const sockaddr_in*>(address)->sin_addr);
    if (address->sa_family != AF_INET6)
        return QString();
    const in6_addr& v6 = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr;
    if (IN6_IS_ADDR_V4MAPPED(&v6)) {
        in_addr v4{};
        std::memcpy(&v4, v6.s6_addr + 12, sizeof v4);
        return ipv4Text(v4);
    }
    return ipv6Text(v6);
}

QString addressKey(const QString& address) {
    const auto endpoint = parseAddress(address);
    if (!endpoint)
        return address;
    if (endpoint->family() == AF_INET)
        return addressText(endpoint->address());
    in6_addr v6 = reinterpret_cast<const sockaddr_in6*>(&endpoint->storage)->sin6_addr;
    if (IN6_IS_ADDR_V4MAPPED(&v6))
        return addressText(endpoint->address());
    std::memset(v6.s6_addr + 8, 0, 8);
    return ipv6Text(v6) + QStringLiteral("/64");
}

} // namespace net
