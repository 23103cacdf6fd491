#include "app/GameApplication.h"

#include "client/ChatForm.h"
#include "client/GameSession.h"
#include "client/WindowBounds.h"
#include "controls/TiledBackground.h"
#include "controls/URL.h"
#include "host/ServerForm.h"
#include "windows/AboutForm.h"
#include "windows/DownloadForm.h"
#include "windows/GameStartForm.h"
#include "windows/HelpForm.h"
#include "windows/PhrasesForm.h"
#include "windows/SpyListForm.h"
#include "windows/TallyListForm.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWindow>

namespace {

template <typename Form, typename... Args>
std::unique_ptr<Form> create(Form*& slot, Args&&... args) {
    auto form = std::make_unique<Form>(std::forward<Args>(args)...);
    slot = form.get();
    return form;
}

// A message box on screen, modal or not; the game's own notices are not modal.
QDialog* openMessageBox() {
    if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
        return modal;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(window); box && box->isVisible())
            return box;
    }
    return nullptr;
}

} // namespace

GameApplication::GameApplication(QStringList parameters) {
    m_chat = create(m_forms.chat, std::move(parameters));
    m_tallylist = create(m_forms.tallylist);
    m_about = create(m_forms.about);
    m_help = create(m_forms.help);
    m_server = create(m_forms.server);
    m_spylist = create(m_forms.spylist);
    m_gamestartform = create(m_forms.gamestartform);
    m_phrases = create(m_forms.phrases);
    m_download = create(m_forms.download);
    connectWindows();
}

// Every link between the windows is made here: the player window and the
// host meet only over the game's socket and through these signals.
void GameApplication::connectWindows() {
    Tchat* chat = m_chat.get();
    client::TGameSession* session = &chat->session();
    // The host paces its computer players by the hosting player's setting.
    m_server->setBotSpeedSource([session] { return session->settings().botSpeed; });
    m_server->setBotSkillSource([session] {
        return session->settings().botSkill == client::TPlayerSettings::BotSkill::Expert
                   ? TServer::BotSkill::Expert
                   : TServer::BotSkill::Classic;
    });
    TServer* server = m_server.get();
    QObject::connect(chat, &Tchat::hostingStarted, server,
                     [server] { server->Sock1.setListen(true); });
    connectSideWindows();
    connectSpectators();
    connectTally();
    // The side windows share the player window's backdrop.
    const QPixmap backdrop = chat->backdrop();
    for (TTiledBackground* background :
         {m_tallylist->TiledBackground1, m_about->TiledBackground1, m_help->TiledBackground1,
          m_spylist->TiledBackground1, m_gamestartform->TiledBackground1,
          m_phrases->TiledBackground1})
        background->setImage(backdrop);
    // Once the lobby is on its way, the game ends as from its own menu.
    m_download->onExitGame = [chat] { chat->Exit1Click(); };
}

// What the player window's menus and buttons open, centred on it.
void GameApplication::connectSideWindows() {
    Tchat* chat = m_chat.get();
    const auto showOnChat = [chat](QWidget* window) {
        return [chat, window] { client::showCentredOn(*window, *chat); };
    };
    QObject::connect(chat, &Tchat::spyListWanted, m_spylist.get(), showOnChat(m_spylist.get()));
    QObject::connect(chat, &Tchat::helpWanted, m_help.get(), showOnChat(m_help.get()));
    QObject::connect(chat, &Tchat::aboutWanted, m_about.get(), showOnChat(m_about.get()));
    Tabout* about = m_about.get();
    m_help->onShowAbout = showOnChat(about);
    QObject::connect(chat, &Tchat::siteWanted, about, [about] { about->URL1->open(); });
    Tphrases* phrases = m_phrases.get();
    QObject::connect(chat, &Tchat::phraseListWanted, phrases,
                     [chat, phrases](const QStringList& nine) {
                         phrases->setPhrases(nine);
                         client::showCentredOn(*phrases, *chat);
                     });
    m_phrases->onPhrasesChanged = [chat](const QStringList& nine) {
        for (int button = 1; button <= 9 && button <= nine.size(); ++button)
            chat->setPhrase(button, nine[button - 1]);
    };
    Tgamestartform* options = m_gamestartform.get();
    QObject::connect(chat, &Tchat::startOptionsWanted, options, [chat, options] {
        client::showCentredOn(*options, *chat);
        // Asked for by a key as often as by a click: the options take the keys,
        // also when they were open already, so Enter starts.
        options->activateWindow();
    });
    m_gamestartform->onStartGame = [chat](bool bonus, bool team) { chat->startgame(bonus, team); };
    m_gamestartform->onClosedWithoutStart = [chat] { chat->gamestartformClose(); };
    QObject::connect(chat, &Tchat::downloadWanted, m_download.get(), [this] { offerDownload(); });
    // The solo start-up panel opened before the saved place was known.
    Tdownload* download = m_download.get();
    QObject::connect(chat, &Tchat::placeRestored, download, [chat, download] {
        if (download->isVisible())
            client::showCentredOn(*download, *chat);
    });
}

// The spy list shows the session's spectators; only the hosting player's
// window may remove players (the host obeys slot 1 alone).
void GameApplication::connectSpectators() {
    Tchat* chat = m_chat.get();
    client::TGameSession* session = &chat->session();
    Tspylist* spies = m_spylist.get();
    QObject::connect(session, &client::TGameSession::playerConnected, spies,
                     [spies](int slot, const QString& name) {
                         if (slot > client::TGameModel::Seats)
                             spies->addspy(slot, name);
                     });
    QObject::connect(session, &client::TGameSession::spectatorLeft, spies, &Tspylist::removespy);
    m_spylist->canRemove = [session] { return session->hosting() && session->loggedIn(); };
    m_spylist->onRemove = [chat](int slot) { chat->kicking(slot); };
}

// The tally follows the player window's games.
void GameApplication::connectTally() {
    Tchat* chat = m_chat.get();
    Ttallylist* tally = m_tallylist.get();
    m_tallylist->onLoadChecklist = [chat, tally] { tally->showplayers(chat->loadchecklist()); };
    QObject::connect(chat, &Tchat::tallyWanted, tally, [chat, tally] {
        tally->showplayers(chat->loadchecklist());
        client::showCentredOn(*tally, *chat);
    });
    QObject::connect(chat, &Tchat::fiveOfAKindScored, tally, [tally] { tally->addtomine(3); });
    QObject::connect(chat, &Tchat::gameRecorded, tally,
                     [tally](const QString& ownTotal, const QString& winner) {
                         tally->checkhighscore(ownTotal);
                         tally->addgame(winner);
                     });
}

// The lobby's offer never covers a message box open at start (a damaged
// tally's notice, say): it opens once the last one has closed. It belongs to
// the player window, above that one alone.
void GameApplication::offerDownload() {
    if (m_downloadOffered)
        return;
    Tchat* chat = m_chat.get();
    if (QDialog* box = openMessageBox()) {
        const auto retry = [this, chat] {
            QTimer::singleShot(0, chat, [this] { offerDownload(); });
        };
        QObject::connect(box, &QDialog::finished, chat, retry, Qt::SingleShotConnection);
        QObject::connect(box, &QObject::destroyed, chat, retry, Qt::SingleShotConnection);
        return;
    }
    m_downloadOffered = true;
    QWidget& download = *m_download;
    download.winId();
    if (QWindow* window = download.windowHandle())
        window->setTransientParent(chat->windowHandle());
    client::showCentredOn(download, *chat);
}

GameApplication::~GameApplication() {
    // Side windows go first; the host outlives the player window so that the
    // window's own connection closes before the listener does.
    m_download.reset();
    m_phrases.reset();
    m_gamestartform.reset();
    m_spylist.reset();
    m_chat.reset();
    m_server.reset();
}

void GameApplication::start() {
    m_chat->show();
}
