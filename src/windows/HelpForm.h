#pragma once

#include <QWidget>

// How to play, host and join.
class Thelp : public QWidget {
    Q_OBJECT
public:
    explicit Thelp(QWidget* parent = nullptr);
};
