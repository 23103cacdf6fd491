#include "platform/SoundPlayer.h"

#include <QAudioDevice>
#include <QDir>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

namespace platform {

SoundPlayer::SoundPlayer(QString folder, QObject* parent)
    : QObject(parent)
    , m_folder(std::move(folder)) {}

SoundPlayer::~SoundPlayer() = default;

bool SoundPlayer::haveDevice() {
    // Asked once: without a device every sound would only complain.
    if (!m_deviceChecked) {
        m_haveDevice = !QMediaDevices::audioOutputs().isEmpty();
        m_deviceChecked = true;
    }
    return m_haveDevice;
}

void SoundPlayer::preload() {
    if (!haveDevice())
        return;
    const QStringList files = QDir(m_folder).entryList({QStringLiteral("*.wav")}, QDir::Files);
    for (const QString& file : files)
        effect(QFileInfo(file).completeBaseName().toLower());
}

bool SoundPlayer::hasSound(const QString& name) const {
    return QFileInfo::exists(m_folder + '/' + name.toLower() + ".wav");
}

QSoundEffect* SoundPlayer::effect(const QString& key) {
    if (QSoundEffect* loaded = m_effects.value(key))
        return loaded;
    auto* sound = new QSoundEffect(this);
    const QString path = m_folder + '/' + key + ".wav";
    sound->setSource(path.startsWith(':') ? QUrl(QStringLiteral("qrc") + path)
                                          : QUrl::fromLocalFile(path));
    m_effects.insert(key, sound);
    return sound;
}

void SoundPlayer::play(const QString& name) {
    const QString key = name.toLower();
    emit played(key);
    if (!hasSound(key) || !haveDevice())
        return;
    if (m_playing && m_playing->isPlaying())
        m_playing->stop();
    m_playing = effect(key);
    m_playing->play();
}

} // namespace platform
