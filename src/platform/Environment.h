#pragma once

#include <QString>

namespace platform {

// Everything a test needs to run several games side by side on one machine.
// Each value is read from the process environment when asked for.

// The game's TCP port: DUNVEX_PORT, or "7772".
QString gamePortName();

// The lobby's presence port on 127.0.0.1: DUNVEX_LOBBY_PORT, or "9001".
QString lobbyPortName();

// A named kernel object's name, scoped by DUNVEX_INSTANCE and by the user, so
// that separate test runs and separate users never see each other's objects.
QString scopedObjectName(const QString& baseName);

// Where kelvlobby.ini and the tally live: DUNVEX_HOME; else the program's folder
// when it is writable; else the user's data folder (created on demand).
QString dataFolder();

// The full path of a file in dataFolder().
QString dataFilePath(const QString& fileName);

} // namespace platform
