#include "windows/SpyListForm.h"

Tspylist::Tspylist(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setWindowTitle(QStringLiteral("Dunvex -Spys"));
    resize(170, 195);
}
