#pragma once

#include <QString>

namespace platform {

// A named marker that other programs can test for while this process runs
// (the lobby looks for "dunvex" to learn that the game is open). Created, never
// owned or tested by the game itself; released only when the process ends.
class NamedMutex {
public:
    explicit NamedMutex(const QString& name);
    ~NamedMutex();
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    // True when another process already held the name at creation.
    bool alreadyExisted() const { return m_fd < 0; }

    // True while some process holds the name.
    static bool exists(const QString& name);

private:
    int m_fd = -1;
};

} // namespace platform
