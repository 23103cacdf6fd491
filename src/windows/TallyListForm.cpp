#include "windows/TallyListForm.h"

#include "controls/PlainLabel.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

Ttallylist::Ttallylist(QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("tallylist"));
    setWindowTitle(QStringLiteral("Dunvex - Tally List"));
    resize(380, 300);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new TPlainLabel(QStringLiteral("Players in this game"), this));
    checklist = new QListWidget(this);
    checklist->setObjectName(QStringLiteral("checklist"));
    layout->addWidget(checklist);
    layout->addWidget(new TPlainLabel(QStringLiteral("Tallied opponents"), this));
    listbox_tally = new QListWidget(this);
    listbox_tally->setObjectName(QStringLiteral("listbox_tally"));
    layout->addWidget(listbox_tally);
}

void Ttallylist::checkhighscore(int total) {
    if (total > highscore)
        highscore = total;
    emit tallyChanged();
}

void Ttallylist::addgame(const QString& winner) {
    ++games;
    if (winner == QLatin1String("addtomine"))
        ++wins;
    emit tallyChanged();
}

void Ttallylist::addtomine(int column) {
    if (column == 3)
        ++fivekinds;
    emit tallyChanged();
}
