// Sounds of the player window: game events, and the chatter sounds that
// seated players send to the table.
#include "client/ChatForm.h"
#include "controls/SkinSpeedButton.h"
#include "platform/Logging.h"
#include "platform/SoundPlayer.h"

#include <QAction>
#include <QLabel>
#include <QMenu>

namespace {

const std::array<const char*, 21> ChatterCaptions = {
    "<Cancel>",       "Doh",          "Cough", "Hello",   "Thank You", "Where have you been?",
    "Snoring",        "Sneezing",     "Sorry", "Welcome", "Yeehaa",    "Yippee",
    "Oh No",          "Applause",     "Honk",  "Oooh",    "Razzberry", "Cheer",
    "Woman Laughing", "Man Laughing", "Crying"};

// The caption of a chatter sound by its name on the wire, "wave1".."wave20";
// empty for any other name.
QString chatterCaption(const QString& wave) {
    for (int tag = 1; tag <= 20; ++tag)
        if (wave == QStringLiteral("wave%1").arg(tag))
            return QString::fromLatin1(ChatterCaptions[std::size_t(tag)]);
    return QString();
}

} // namespace

void Tchat::buildSounds() {
    sounds = new platform::SoundPlayer(QStringLiteral(":/sounds"), this);
    popup_sounds = new QMenu(this);
    popup_sounds->setObjectName(QStringLiteral("popup_sounds"));
    for (int tag = 0; tag <= 20; ++tag) {
        QAction* item = popup_sounds->addAction(QString::fromLatin1(ChatterCaptions[tag]), this,
                                                [this, tag] { wave20Click(tag); });
        item->setObjectName(tag == 0 ? QStringLiteral("Cancel1")
                                     : QStringLiteral("wave%1").arg(tag));
        item->setToolTip(QString::fromLatin1(ChatterCaptions[std::size_t(tag)]));
    }
    connect(b_phrase[10], &TSkinSpeedButton::clicked, this, &Tchat::b_phrase10Click);
}

void Tchat::playsounds(const QString& name) {
    qCInfo(lcChat).noquote() << "sound" << name;
    if (m_session.settings().playSounds)
        sounds->play(name);
}

void Tchat::b_phrase10Click() {
    TSkinSpeedButton* button = b_phrase[10];
    popup_sounds->popup(button->mapToGlobal(QPoint(button->width(), button->height())));
}

void Tchat::wave20Click(int tag) {
    m_session.playSound(tag);
}

void Tchat::playasound(int seat, const QString& name) {
    if (m_session.settings().chatterSounds) {
        sounds->play(name);
        return;
    }
    // Switched off: say which sound it was instead.
    const QString caption = chatterCaption(name);
    if (caption.isEmpty() || seat < 1 || seat > 4)
        return;
    addlinetochat(model().seatName(seat) + ": <Chatter Sound> " + caption, clBlue);
}
