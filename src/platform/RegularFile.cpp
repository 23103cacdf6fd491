#include "platform/RegularFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

int openRegularFile(const char* path) {
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat status {};
    const int error = ::fstat(fd, &status) != 0 ? errno
                      : S_ISREG(status.st_mode) ? 0
                                                : NotRegularFile;
    if (error != 0) {
        ::close(fd);
        errno = error;
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

std::string openProblem(int error) {
    if (error == NotRegularFile)
        return "not a regular file";
    return std::strerror(error);
}

bool readRegularFile(const char* path, std::size_t maxBytes, std::string& content,
                     std::string& problem) {
    content.clear();
    const int fd = openRegularFile(path);
    if (fd < 0) {
        problem = openProblem(errno);
        return false;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            problem = std::strerror(errno);
            break;
        }
        if (got == 0) {
            ::close(fd);
            return true;
        }
        if (content.size() + std::size_t(got) > maxBytes) {
            problem = "larger than " + std::to_string(maxBytes) + " bytes";
            break;
        }
        content.append(buffer, std::size_t(got));
    }
    ::close(fd);
    content.clear();
    return false;
}

} // namespace platform
