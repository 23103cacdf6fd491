#pragma once

#include <QWidget>

// The program's name, maker and version.
class Tabout : public QWidget {
    Q_OBJECT
public:
    explicit Tabout(QWidget* parent = nullptr);
};
