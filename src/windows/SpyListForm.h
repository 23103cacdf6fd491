#pragma once

#include <QWidget>

class QListWidget;

// The people watching the game, one entry "number: name" each.
class Tspylist : public QWidget {
    Q_OBJECT
public:
    explicit Tspylist(QWidget* parent = nullptr);

    QListWidget* listbox_spys = nullptr;
};
