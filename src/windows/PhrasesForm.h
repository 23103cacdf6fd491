#pragma once

#include <QWidget>

// The editor of the nine phrase buttons.
class Tphrases : public QWidget {
    Q_OBJECT
public:
    explicit Tphrases(QWidget* parent = nullptr);
};
