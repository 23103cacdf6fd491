#pragma once

#include <QWidget>

// The hosting player's choice of game before the start.
class Tgamestartform : public QWidget {
    Q_OBJECT
public:
    explicit Tgamestartform(QWidget* parent = nullptr);
};
