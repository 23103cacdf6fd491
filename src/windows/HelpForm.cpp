#include "windows/HelpForm.h"

Thelp::Thelp(QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Dunvex - Help File"));
    resize(470, 404);
}
