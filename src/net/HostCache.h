#pragma once

#include "net/HostAddress.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace net {

// Host names resolved so far in this process, each with the addresses found
// for it in the resolver's order. Names match without regard to letter case.
// Shared by every socket of the process; it only ever grows.
class HostCache {
public:
    static std::optional<std::vector<Endpoint>> find(const QString& name);
    static void add(const QString& name, const std::vector<Endpoint>& addresses);
    // One IPv4 address in network byte order.
    static void add(const QString& name, std::uint32_t address);
    static int size();
};

} // namespace net
