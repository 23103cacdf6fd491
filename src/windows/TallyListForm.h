#pragma once

#include "windows/TallyBook.h"

#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>

class QGridLayout;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMessageBox;
class TSelButton;
class TTiledBackground;

// The tally window: the player's own totals, the players of the current game
// and the opponents being tallied with their figures. The table itself is a
// TallyBook, read from the tally file when the window is made and written back
// when it goes.
class Ttallylist : public QWidget {
    Q_OBJECT
public:
    // Reads the tally file from the data folder.
    explicit Ttallylist(QWidget* parent = nullptr);
    // Writes the tally file back.
    ~Ttallylist() override;

    QListWidget* checklist = nullptr;     // "Players In Current Game", filled by the player window
    QListWidget* listbox_tally = nullptr; // "Players Being Tallied", in row order
    std::array<QLabel*, 5> mylabel{};     // 1..4: games, wins, 5 of a kinds, highest score
    std::array<QLabel*, 9> label{};       // 1..8: the selected opponent's totals, then session
    QLabel* label_hisname = nullptr;
    QLabel* label_hisnametop = nullptr;
    TSelButton* button_resettally = nullptr;
    TSelButton* SkinButton1 = nullptr; // "Done"
    TTiledBackground* TiledBackground1 = nullptr;

    // Refills `checklist` with the current game's players (set where the windows are made).
    std::function<void()> onLoadChecklist;
    // The current game's opponents, each checked when tallied already.
    void showplayers(const QStringList& names);

    const windows::TallyBook& book() const { return m_book; }
    QString tallyPath() const { return m_tallyPath; }
    bool isTallied(const QString& name) const { return m_book.rowOf(name) != 0; }

    // Called by the player window at the end of a game and on a five of a kind.
    void checkhighscore(const QString& score);
    void addgame(const QString& winner);
    void addtomine(int column);

    void checklistClickCheck(QListWidgetItem* item);
    void listbox_tallyClickCheck(QListWidgetItem* item);
    void listbox_tallyClick();
    void button_resettallyClick();
    void SkinButton1Click();

private:
    void FormCreate();
    void FormDestroy();
    void buildOwnTotals(QGridLayout* grid);
    void buildOpponentFigures(QGridLayout* grid);
    QListWidgetItem* addTallyItem(const QString& name);
    QListWidgetItem* tallyItem(const QString& name) const;
    void loadtally();
    void showOwnTotals();
    QMessageBox* ask(const QString& question);
    void deleteAnswered(const QString& name, bool yes);
    void resettally();
    QString damagedCopyPath() const;
    static QString damageReport(const QString& path, const QString& problem,
                                const QString& copyPath);

    windows::TallyBook m_book;
    QString m_tallyPath;
    QString m_loadProblem; // what was wrong with the file at start, empty when nothing
};
