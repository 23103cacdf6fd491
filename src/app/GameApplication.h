#pragma once

#include "client/FormSet.h"

#include <QStringList>
#include <memory>

class Tabout;
class Tdownload;
class Tgamestartform;
class Thelp;
class Tphrases;
class Tspylist;
class Ttallylist;
class TServer;
class Tchat;

// Every window of the game, created once in a fixed order and kept until the
// program ends; side windows are only shown and hidden.
class GameApplication {
public:
    explicit GameApplication(QStringList parameters);
    ~GameApplication();
    GameApplication(const GameApplication&) = delete;
    GameApplication& operator=(const GameApplication&) = delete;

    const TFormSet& forms() const { return m_forms; }
    Tchat& chat() const { return *m_chat; }
    TServer& server() const { return *m_server; }

    // Shows the main window, which launches the game.
    void start();

private:
    void connectWindows();
    void connectSideWindows();
    void connectSpectators();
    void connectTally();
    void offerDownload();

    TFormSet m_forms;
    // Declared in creation order, so they are destroyed in the reverse order.
    std::unique_ptr<Tchat> m_chat;
    std::unique_ptr<Ttallylist> m_tallylist;
    std::unique_ptr<Tabout> m_about;
    std::unique_ptr<Thelp> m_help;
    std::unique_ptr<TServer> m_server;
    std::unique_ptr<Tspylist> m_spylist;
    std::unique_ptr<Tgamestartform> m_gamestartform;
    std::unique_ptr<Tphrases> m_phrases;
    std::unique_ptr<Tdownload> m_download;
    bool m_downloadOffered = false; // the lobby's offer is made once
};
