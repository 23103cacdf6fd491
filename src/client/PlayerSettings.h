#pragma once

#include "net/ColorText.h"

#include <QRect>
#include <QString>
#include <array>

namespace client {

// The player's preferences as the `Dunvex` section of the settings file
// (shared with the lobby) holds them. Until `load` the members hold what the
// window starts with; `load` fills in the file's values or its defaults.
struct TPlayerSettings {
    static const QString FileName; // "kelvlobby.ini", in the data folder
    static const QString Section;  // "Dunvex"

    enum class TurnSound { Classic, New };
    enum class BotSkill { Classic, Expert };

    QRect bounds{3, 5, 775, 466}; // the window's outer bounds
    int zoomPercent = 0;          // 0: the file names none
    int textSize = 8;             // as written; a size below 1 shows as 8
    TColor textColor = clBlack;
    TColor actionColor = clBlack;
    std::array<QString, 10> phrases; // 1..9; empty keeps the button's own
    int botSpeed = 750;              // 500, 1000 or 1500 once loaded
    BotSkill botSkill = BotSkill::Classic;
    bool playSounds = true;
    bool doubleCheck = false;
    TurnSound turnSound = TurnSound::Classic;
    bool chatterSounds = false;

    // Reads every key; a missing one takes its default.
    void load(const QString& path);
    // Writes every key but the phrases (the phrase editor writes those). False
    // when the file could not be written; it is left as it was then.
    bool save(const QString& path) const;

    static QString defaultPath();
};

} // namespace client
