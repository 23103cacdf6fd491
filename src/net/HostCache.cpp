#include "net/HostCache.h"

#include <map>
#include <mutex>

namespace net {

namespace {

struct Entries {
    std::mutex lock;
    std::map<QString, std::uint32_t> addresses;
};

Entries& entries() {
    static Entries shared;
    return shared;
}

QString keyOf(const QString& name) {
    return name.toCaseFolded();
}

} // namespace

std::optional<std::uint32_t> HostCache::find(const QString& name) {
    std::lock_guard guard(entries().lock);
    const auto found = entries().addresses.find(keyOf(name));
    if (found == entries().addresses.end())
        return std::nullopt;
    return found->second;
}

void HostCache::add(const QString& name, std::uint32_t address) {
    std::lock_guard guard(entries().lock);
    entries().addresses.emplace(keyOf(name), address);
}

int HostCache::size() {
    std::lock_guard guard(entries().lock);
    return int(entries().addresses.size());
}

} // namespace net
