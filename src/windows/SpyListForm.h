#pragma once

#include <QWidget>

// The people watching the game.
class Tspylist : public QWidget {
    Q_OBJECT
public:
    explicit Tspylist(QWidget* parent = nullptr);
};
