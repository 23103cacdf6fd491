#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace net {

// Host names resolved so far in this process, each with the first IPv4 address
// found for it (network byte order). Names match without regard to letter case.
// Shared by every socket of the process; it only ever grows.
class HostCache {
public:
    static std::optional<std::uint32_t> find(const QString& name);
    static void add(const QString& name, std::uint32_t address);
    static int size();
};

} // namespace net
