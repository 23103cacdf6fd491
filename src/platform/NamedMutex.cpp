#include "platform/NamedMutex.h"

#include "platform/LocalName.h"

#include <unistd.h>

namespace platform {

NamedMutex::NamedMutex(const QString& name)
    : m_fd(holdLocalName(name)) {}

NamedMutex::~NamedMutex() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool NamedMutex::exists(const QString& name) {
    const int fd = connectLocalName(name);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

} // namespace platform
