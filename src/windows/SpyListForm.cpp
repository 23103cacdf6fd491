#include "windows/SpyListForm.h"

#include "controls/PlainLabel.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

Tspylist::Tspylist(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("spylist"));
    setWindowTitle(QStringLiteral("Dunvex -Spys"));
    resize(170, 195);
    auto* layout = new QVBoxLayout(this);
    listbox_spys = new QListWidget(this);
    listbox_spys->setObjectName(QStringLiteral("listbox_spys"));
    layout->addWidget(listbox_spys);
    auto* caption = new TPlainLabel(QStringLiteral("Spy List"), this);
    caption->setAlignment(Qt::AlignCenter);
    caption->setStyleSheet(QStringLiteral("font: bold 19px;"));
    layout->addWidget(caption);
}
