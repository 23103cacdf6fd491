#include "app/GameApplication.h"

#include "client/ChatForm.h"
#include "client/WindowBounds.h"
#include "controls/TiledBackground.h"
#include "host/ServerForm.h"
#include "windows/AboutForm.h"
#include "windows/DownloadForm.h"
#include "windows/GameStartForm.h"
#include "windows/HelpForm.h"
#include "windows/PhrasesForm.h"
#include "windows/SpyListForm.h"
#include "windows/TallyListForm.h"

namespace {

template <typename Form, typename... Args>
std::unique_ptr<Form> create(Form*& slot, Args&&... args) {
    auto form = std::make_unique<Form>(std::forward<Args>(args)...);
    slot = form.get();
    return form;
}

} // namespace

GameApplication::GameApplication(QStringList parameters) {
    m_chat = create(m_forms.chat, m_forms, std::move(parameters));
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

// The links between windows that the player window does not make itself.
void GameApplication::connectWindows() {
    Tchat* chat = m_chat.get();
    // The host paces its computer players by the hosting player's setting.
    m_server->setBotSpeedSource([chat] { return chat->botSpeedTag; });
    m_server->setBotSkillSource([chat] {
        return chat->botSkillTag == 1 ? TServer::BotSkill::Expert : TServer::BotSkill::Classic;
    });
    m_gamestartform->onStartGame = [chat](bool bonus, bool team) { chat->startgame(bonus, team); };
    m_gamestartform->onClosedWithoutStart = [chat] { chat->gamestartformClose(); };
    m_phrases->onPhrasesChanged = [chat](const QStringList& phrases) {
        for (int button = 1; button <= 9 && button <= phrases.size(); ++button)
            chat->setPhrase(button, phrases[button - 1]);
    };
    m_tallylist->onLoadChecklist = [chat] { chat->loadchecklist(); };
    // Only the hosting player's window may remove players (the host obeys slot 1 alone).
    m_spylist->canRemove = [chat] { return chat->hosting && chat->loggedin; };
    m_spylist->onRemove = [chat](int slot) { chat->kicking(slot); };
    // The side windows share the player window's backdrop.
    const QPixmap backdrop = chat->TiledBackground1->Image();
    for (TTiledBackground* background :
         {m_tallylist->TiledBackground1, m_about->TiledBackground1, m_help->TiledBackground1,
          m_spylist->TiledBackground1, m_gamestartform->TiledBackground1,
          m_phrases->TiledBackground1})
        background->setImage(backdrop);
    // Once the lobby is on its way, the game ends as from its own menu.
    m_download->onExitGame = [chat] { chat->Exit1->trigger(); };
    Tabout* about = m_about.get();
    m_help->onShowAbout = [about, chat] { client::showCentredOn(*about, *chat); };
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
