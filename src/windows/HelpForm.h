#pragma once

#include <QWidget>
#include <array>
#include <functional>

class QFrame;
class QLabel;
class TSelButton;
class TTiledBackground;
class QStackedWidget;
class QTextBrowser;

// How to play, host and join: six pages, one button each. Created once; the
// page in front stays in front while the window is hidden.
class Thelp : public QWidget {
    Q_OBJECT
public:
    static constexpr int PageCount = 6;

    explicit Thelp(QWidget* parent = nullptr);

    QFrame* panel_side = nullptr;
    std::array<TSelButton*, PageCount + 1> SelButton{}; // SelButton1..6, tag = page
    TSelButton* button_about = nullptr;
    QLabel* label_notice1 = nullptr;
    QLabel* label_notice2 = nullptr;
    TSelButton* button_done = nullptr;
    TTiledBackground* TiledBackground1 = nullptr;

    QFrame* panel_main = nullptr;
    QLabel* label_caption = nullptr;
    QStackedWidget* pages = nullptr;
    std::array<QTextBrowser*, PageCount + 1> memo{}; // memo1..6

    // Set by the player window: shows the about window.
    std::function<void()> onShowAbout;

    // Brings page "memo" + tag to the front under the caption of its button.
    void SelButton1Click(int tag);
    void button_aboutClick();
    void button_doneClick();

private:
    void FormCreate();
    void buildSidePanel();
    void buildMainPanel();
};
