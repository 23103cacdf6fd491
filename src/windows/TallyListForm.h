#pragma once

#include <QWidget>

// The local player's games, wins and opponents.
class Ttallylist : public QWidget {
    Q_OBJECT
public:
    explicit Ttallylist(QWidget* parent = nullptr);
};
