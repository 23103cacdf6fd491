#include "client/PlayerSettings.h"

#include "platform/Environment.h"
#include "platform/IniFile.h"

namespace client {

const QString TPlayerSettings::FileName = QStringLiteral("kelvlobby.ini");
const QString TPlayerSettings::Section = QStringLiteral("Dunvex");

namespace {

using Settings = TPlayerSettings;

// Only the exact text "false" is false.
bool readSwitch(const platform::IniFile& ini, const char* key) {
    return ini.readString(Settings::Section, QLatin1String(key), QStringLiteral("true")) !=
           QLatin1String("false");
}

TColor readColor(const platform::IniFile& ini, const char* key) {
    return net::StringToColor(
               ini.readString(Settings::Section, QLatin1String(key), QStringLiteral("clblack")))
        .value_or(clBlack);
}

QString switchText(bool on) {
    return on ? QStringLiteral("true") : QStringLiteral("false");
}

int readInteger(const platform::IniFile& ini, const char* key, int fallback) {
    return ini.readInteger(Settings::Section, QLatin1String(key), fallback);
}

} // namespace

QString TPlayerSettings::defaultPath() {
    return platform::dataFilePath(FileName);
}

void TPlayerSettings::load(const QString& path) {
    const platform::IniFile ini(path);
    bounds = QRect(readInteger(ini, "Left", 3), readInteger(ini, "Top", 3),
                   readInteger(ini, "Width", 783), readInteger(ini, "Height", 512));
    zoomPercent = readInteger(ini, "Zoom", 0);
    textSize = readInteger(ini, "Textsize", 8);
    textColor = readColor(ini, "Textcolor");
    actionColor = readColor(ini, "Actioncolor");
    for (int button = 1; button <= 9; ++button)
        phrases[std::size_t(button)] =
            ini.readString(Section, QStringLiteral("Phrase%1").arg(button), QString());
    const int speed = readInteger(ini, "Botspeed", 1000);
    botSpeed = speed == 500 || speed == 1500 ? speed : 1000;
    botSkill = ini.readString(Section, QStringLiteral("BotSkill"), QStringLiteral("Classic"))
                           .compare(QLatin1String("Expert"), Qt::CaseInsensitive) == 0
                   ? BotSkill::Expert
                   : BotSkill::Classic;
    playSounds = readSwitch(ini, "Playsounds");
    doubleCheck = readSwitch(ini, "Doublecheck");
    turnSound = ini.readString(Section, QStringLiteral("Turnsound"), QStringLiteral("0")) ==
                        QLatin1String("1")
                    ? TurnSound::New
                    : TurnSound::Classic;
    chatterSounds = readSwitch(ini, "ChatterSounds");
}

bool TPlayerSettings::save(const QString& path) const {
    platform::IniFile ini(path);
    const auto integer = [&](const char* key, int value) {
        ini.writeInteger(Section, QLatin1String(key), value);
    };
    const auto text = [&](const char* key, const QString& value) {
        ini.writeString(Section, QLatin1String(key), value);
    };
    integer("Textsize", textSize);
    text("Textcolor", net::ColorToString(textColor));
    text("Actioncolor", net::ColorToString(actionColor));
    integer("Botspeed", botSpeed);
    integer("Top", bounds.top());
    integer("Left", bounds.left());
    integer("Width", bounds.width());
    integer("Height", bounds.height());
    text("Playsounds", switchText(playSounds));
    text("Doublecheck", switchText(doubleCheck));
    integer("Turnsound", turnSound == TurnSound::New ? 1 : 0);
    text("ChatterSounds", switchText(chatterSounds));
    text("BotSkill",
         botSkill == BotSkill::Expert ? QStringLiteral("Expert") : QStringLiteral("Classic"));
    integer("Zoom", zoomPercent);
    return ini.save();
}

} // namespace client
