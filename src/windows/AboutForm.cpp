#include "windows/AboutForm.h"

Tabout::Tabout(QWidget* parent)
    : QWidget(parent, Qt::Tool) {
    setWindowTitle(QStringLiteral("Dunvex - About"));
    resize(304, 174);
}
