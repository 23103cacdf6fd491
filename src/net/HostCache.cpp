#include "net/HostCache.h"

#include <map>
#include <mutex>

namespace net {

namespace {

struct Entries {
    std::mutex lock;
    std::map<QString, std::vector<Endpoint>> addresses;
};

Entries& entries() {
    static Entries shared;
    return shared;
}

QString keyOf(const QString& name) {
    return name.toCaseFolded();
}

} // namespace

std::optional<std::vector<Endpoint>> HostCache::find(const QString& name) {
    std::lock_guard guard(entries().lock);
    const auto found = entries().addresses.find(keyOf(name));
    if (found == entries().addresses.end())
        return std::nullopt;
    return found->second;
}

void HostCache::add(const QString& name, const std::vector<Endpoint>& addresses) {
    if (addresses.empty())
        return;
    std::lock_guard guard(entries().lock);
    entries().addresses.emplace(keyOf(name), addresses);
}

void HostCache::add(const QString& name, std::uint32_t address) {
    add(name, std::vector<Endpoint>{Endpoint::ipv4(address)});
}

int HostCache::size() {
    std::lock_guard guard(entries().lock);
    return int(entries().addresses.size());
}

} // namespace net
