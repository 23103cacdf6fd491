#pragma once

#include "client/FormSet.h"
#include "net/ColorText.h"
#include "net/GameSocket.h"
#include "net/WireProtocol.h"

#include <QMainWindow>
#include <QRect>
#include <QStringList>
#include <QTimer>
#include <array>
#include <deque>
#include <memory>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QMessageBox;
class QPushButton;
class QTextEdit;

namespace platform {
class NamedMutex;
}

// The player window: the program's main window and every participant's view of
// a game, the hosting player's included. It meets the host only over its
// socket, even when the host runs in the same process. Received messages wait
// in `receivedlist` and are handled one per tick of `Timer1`.
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
    QTimer Timer1;      // the message pump, 1 ms while there is work
    std::deque<QByteArray> receivedlist;

    // Controls.
    QFrame* panel_board = nullptr;
    QFrame* panel_scorecard = nullptr;
    QPushButton* button_start = nullptr;
    QTextEdit* mainchat = nullptr;
    std::array<QLabel*, 5> label_playername{}; // seats 1..4
    std::array<QLabel*, 5> label_score{};
    std::array<QLabel*, 5> image_eyes{};
    QMenu* popup_kick = nullptr;
    int popup_kickTag = 0;
    QAction* RemoveFromGame1 = nullptr;
    QAction* SettoJustWatch1 = nullptr;
    QAction* UnsetJustWatch1 = nullptr;
    QAction* StartGame1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* JustWatch1 = nullptr;
    QAction* SpyList1 = nullptr;

    // The one way to write a line to the chat: bold up to the first ":".
    void addlinetochat(const QString& text, TColor color);

    // Launch and close.
    void processparams();
    void hostpress();
    void joinpress();
    void button_startClick();
    void Exit1Click();
    void loadinifile();
    void saveinifile();

    // Session with the host.
    void sockInfo(TGameSocket* sender, TSocketInfo info, const QString& msg);
    void sockRead(TGameSocket* sender, int count);
    void Timer1Timer();
    void processsocktimer();
    void sendloginfo(const QString& arguments);
    void newplayerinfo(const QString& arguments);
    void playerdisconnected(const QString& arguments);
    void justwatching(const QString& arguments);
    void chatrecieved(const QString& arguments);
    void gamefull();

    // Roster controls.
    void JustWatch1Click();
    void label_playername1ContextPopup(int seat);
    void RemoveFromGame1Click();
    void kicking(int slot);
    void SettoJustWatch1Click();
    void UnsetJustWatch1Click();
    void SpyList1Click();

    void playsound(const QString& name);
    void sendToHost(const QByteArray& message);

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
    void buildRoster();
    void openPresenceConnection();
    void writeSettings(const QRect& bounds);
    void dispatch(const net::WireLine& line);
    void wakePump();
    void closeWhenQueueIsDone();

    const TFormSet& m_forms;
    QStringList m_parameters;
    std::unique_ptr<platform::NamedMutex> m_runningMarker;
    net::MessageFramer m_remainder;
    QMessageBox* m_fullBox = nullptr;
    bool m_shownOnce = false;
    bool m_closing = false;
    bool m_hostGone = false;
};
