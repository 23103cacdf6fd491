// Sounds of the player window: game events, and the chatter sounds that
// seated players send to the table.
#include "client/ChatForm.h"
#include "controls/SkinSpeedButton.h"
#include "platform/Logging.h"
#include "platform/SoundPlayer.h"

#include <QAction>
#include <QLabel>
#include <QMenu>

using net::FieldReader;
using net::WireMessage;

namespace {

const std::array<const char*, 21> ChatterCaptions = {
    "<Cancel>",       "Doh",          "Cough", "Hello",   "Thank You", "Where have you been?",
    "Snoring",        "Sneezing",     "Sorry", "Welcome", "Yeehaa",    "Yippee",
    "Oh No",          "Applause",     "Honk",  "Oooh",    "Razzberry", "Cheer",
    "Woman Laughing", "Man Laughing", "Crying"};

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
        item->setToolTip(item->text());
        wave[tag] = item;
    }
    connect(b_phrase[10], &TSkinSpeedButton::clicked, this, &Tchat::b_phrase10Click);
}

void Tchat::playsounds(const QString& name) {
    qCInfo(lcChat).noquote() << "sound" << name;
    if (PlaySounds1->isChecked())
        sounds->play(name);
}

void Tchat::b_phrase10Click() {
    TSkinSpeedButton* button = b_phrase[10];
    popup_sounds->popup(button->mapToGlobal(QPoint(button->width(), button->height())));
}

void Tchat::wave20Click(int tag) {
    if (tag < 1 || tag > 20 || !model.seated() || !loggedin)
        return;
    sendToHost(WireMessage("CMD_playasound")
                   .field(model.ownSeat())
                   .field(QStringLiteral("wave%1").arg(tag))
                   .field("")
                   .bytes());
}

void Tchat::playasound(const QString& arguments) {
    FieldReader fields(arguments);
    const int seat = fields.number();
    const QString name = fields.text();
    if (PlayChatterSounds1->isChecked()) {
        sounds->play(name);
        return;
    }
    // Switched off: say which sound it was instead.
    QAction* item = popup_sounds->findChild<QAction*>(name);
    if (!item || seat < 1 || seat > 4 || !name.startsWith(QLatin1String("wave")))
        return;
    addlinetochat(label_playername[seat]->text() + ": <Chatter Sound> " + item->text(), clBlue);
}
