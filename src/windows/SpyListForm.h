#pragma once

#include <QString>
#include <QWidget>
#include <functional>

class QAction;
class QListWidget;
class QMenu;
class TSelButton;
class TTiledBackground;

// The people watching the game, one entry "number: name" each, as the
// player window's session reports them; the hosting player may remove a
// spectator from the game through the list's context menu.
class Tspylist : public QWidget {
    Q_OBJECT
public:
    explicit Tspylist(QWidget* parent = nullptr);

    QListWidget* listbox_spys = nullptr;
    int listbox_spysTag = -1; // the entry under the mouse pointer, -1 for none
    TSelButton* button_done = nullptr;
    TTiledBackground* TiledBackground1 = nullptr;
    QMenu* popup_kick = nullptr;
    QAction* popup_kickhim = nullptr; // "Remove From Game"

    // Set by the player window: whether this window may remove players (only
    // the hosting player's may), and its remove operation for a connection number.
    std::function<bool()> canRemove;
    std::function<void(int)> onRemove;

    void addspy(int slot, const QString& name);
    void removespy(int slot, const QString& name);

    void Button1Click();
    void listbox_spysMouseMove(const QPoint& position);
    // Opens the context menu for the entry at this point of the list.
    void listbox_spysContextPopup(const QPoint& position);
    void popup_kickhimClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString m_menuEntry; // the entry the open context menu is about
};
