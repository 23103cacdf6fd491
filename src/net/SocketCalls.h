#pragma once

#include <QString>
#include <netinet/in.h>

// Small helpers around the BSD socket calls that TGameSocket makes.
namespace net {

// The call would have to wait, or a signal broke it: try again later.
bool wouldBlock(int error);

// The system has no descriptor or memory left for a new connection
// (EMFILE, ENFILE, ENOBUFS, ENOMEM): accepting again at once fails again.
bool lacksResources(int error);

// Waits until the socket is ready for the poll() events asked for, for at most
// the given whole seconds: a negative value waits without limit, 0 only looks.
// True when the socket is ready, or has an error or hang-up to report, which
// the call that follows will find.
bool waitForSocket(int fd, short events, int seconds);

} // namespace net
