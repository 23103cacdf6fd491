#pragma once

#include <QString>

namespace game {

// Who plays seats 2..4 while nobody holds them; seat 1 is always a person's.
inline QString computerName(int seat) {
    static const char* const Names[] = {"", "", "Klot", "Kling", "Klick"};
    return seat >= 2 && seat <= 4 ? QString::fromLatin1(Names[seat]) : QString();
}

} // namespace game
