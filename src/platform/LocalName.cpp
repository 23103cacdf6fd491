#include "platform/LocalName.h"

#include <QDir>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

namespace {

socklen_t makeAddress(const QString& name, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
#ifdef __linux__
    // Abstract namespace: the first byte of the path is zero.
    const QByteArray path = name.toUtf8().left(sizeof address.sun_path - 2);
    std::memcpy(address.sun_path + 1, path.constData(), path.size());
    return socklen_t(offsetof(sockaddr_un, sun_path) + 1 + path.size());
#else
    const QByteArray path =
        QDir(QDir::tempPath()).filePath(name).toLocal8Bit().left(sizeof address.sun_path - 1);
    std::memcpy(address.sun_path, path.constData(), path.size());
    return socklen_t(sizeof address);
#endif
}

int newLocalSocket() {
    return ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
}

} // namespace

int holdLocalName(const QString& name) {
    sockaddr_un address;
    const socklen_t length = makeAddress(name, address);
    const int fd = newLocalSocket();
    if (fd < 0)
        return -1;
#ifndef __linux__
    // A socket file left by a crashed holder answers no connection: take it over.
    const int probe = connectLocalName(name);
    if (probe >= 0) {
        ::close(probe);
        ::close(fd);
        return -1;
    }
    ::unlink(address.sun_path);
#endif
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd, 4) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int connectLocalName(const QString& name) {
    sockaddr_un address;
    const socklen_t length = makeAddress(name, address);
    const int fd = newLocalSocket();
    if (fd < 0)
        return -1;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace platform
