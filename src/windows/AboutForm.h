#pragma once

#include <QWidget>

class QLabel;
class TSelButton;
class TTiledBackground;
class TURL;

// The program's name, maker and version. The version label's text is the
// version the player window logs in with, so it must match the host's.
class Tabout : public QWidget {
    Q_OBJECT
public:
    explicit Tabout(QWidget* parent = nullptr);

    QLabel* image_logo = nullptr;
    QLabel* Label7 = nullptr; // the maker's web address; a click opens URL1
    QLabel* label_notice1 = nullptr;
    QLabel* label_notice2 = nullptr;
    QLabel* label_version = nullptr; // "Version"
    QLabel* version = nullptr;       // the version players compare
    QLabel* label_build = nullptr;   // "." and the build number, display only
    TSelButton* button_done = nullptr;
    TTiledBackground* TiledBackground1 = nullptr;
    TURL* URL1 = nullptr;

    void Label7Click();
    void Button1Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
