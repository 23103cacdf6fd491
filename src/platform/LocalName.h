#pragma once

#include <QString>

namespace platform {

// A machine-wide name held by a listening local (AF_UNIX) socket: the stand-in
// for a named kernel object. On Linux the name lives in the abstract namespace,
// so it vanishes with the process that holds it and never leaves a stale file.

// Binds and listens on the name. Returns the socket, or -1 when the name is
// already held by a live process (or on any other failure).
int holdLocalName(const QString& name);

// Connects to the holder of the name. Returns the connected socket, or -1.
int connectLocalName(const QString& name);

} // namespace platform
