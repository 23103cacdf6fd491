#pragma once

#include <QWidget>

class QPushButton;

// Shown over a solo game: offers the lobby program for playing with others, or
// closes to let the player play solo.
class Tdownload : public QWidget {
    Q_OBJECT
public:
    explicit Tdownload(QWidget* parent = nullptr);

    QPushButton* Button1 = nullptr; // "Play Solo Game"
    QPushButton* Button2 = nullptr; // "Play with Others"

    void Button1Click();
    void Button2Click();
};
