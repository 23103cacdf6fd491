#pragma once

#include <QHash>
#include <QObject>
#include <QString>

class QSoundEffect;

namespace platform {

// Plays the program's own sounds by name (case does not matter), without
// waiting; a newer sound cuts off the one playing. Sounds are loaded ahead
// so they start at once. Without an audio device it stays silent.
class SoundPlayer : public QObject {
    Q_OBJECT
public:
    // Sounds are the WAV files "<name>.wav" under the resource folder.
    explicit SoundPlayer(QString folder = QStringLiteral(":/sounds"), QObject* parent = nullptr);
    ~SoundPlayer() override;

    // Loads every sound of the folder (call once the program is up).
    void preload();
    // A name without a sound plays nothing.
    void play(const QString& name);
    bool hasSound(const QString& name) const;

signals:
    // A sound was asked for (whether or not the device could play it).
    void played(const QString& name);

private:
    QSoundEffect* effect(const QString& key);
    bool haveDevice();

    QString m_folder;
    QHash<QString, QSoundEffect*> m_effects;
    QSoundEffect* m_playing = nullptr;
    bool m_deviceChecked = false;
    bool m_haveDevice = false;
};

} // namespace platform
