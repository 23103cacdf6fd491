#pragma once

#include "client/FormSet.h"
#include "net/ColorText.h"
#include "net/GameSocket.h"

#include <QMainWindow>
#include <QRect>
#include <QStringList>
#include <memory>

class QAction;
class QFrame;
class QPushButton;
class QTextEdit;

namespace platform {
class NamedMutex;
}

// The player window: the program's main window and every participant's view of
// a game, the hosting player's included. It meets the host only over its
// socket, even when the host runs in the same process.
class Tchat : public QMainWindow {
    Q_OBJECT
public:
    Tchat(const TFormSet& forms, QStringList parameters, QWidget* parent = nullptr);
    ~Tchat() override;

    // Connection state.
    int myseat = 0;
    bool loggedin = false;
    bool hosting = false;
    QString playername;
    QString hostaddress;
    QByteArray logintext; // the player name and one terminator byte
    int currentplayer = 0;
    bool canact = false;

    TGameSocket sock;   // the connection to the host
    TGameSocket Sock11; // presence connection to the lobby; never read or written

    QFrame* panel_board = nullptr;
    QPushButton* button_start = nullptr;
    QTextEdit* mainchat = nullptr;
    QAction* StartGame1 = nullptr;
    QAction* Exit1 = nullptr;

    // The one way to write a line to the chat: bold up to the first ":".
    void addlinetochat(const QString& text, TColor color);

    void processparams();
    void hostpress();
    void joinpress();
    void sockInfo(TGameSocket* sender, TSocketInfo info, const QString& msg);
    void sockRead(TGameSocket* sender, int count);
    void button_startClick();
    void Exit1Click();
    void saveinifile();

    // The bounds last loaded from or saved to the settings file.
    QRect savedBounds;

signals:
    // The window has closed: the program ends.
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void FormClose();
    void buildMenus();
    void buildPanels();
    void openPresenceConnection();
    void writeSettings(const QRect& bounds);

    const TFormSet& m_forms;
    QStringList m_parameters;
    std::unique_ptr<platform::NamedMutex> m_runningMarker;
    bool m_shownOnce = false;
    bool m_closing = false;
};
