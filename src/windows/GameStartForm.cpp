#include "windows/GameStartForm.h"

Tgamestartform::Tgamestartform(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setWindowTitle(QStringLiteral("Dunvex - Start Game"));
    resize(250, 124);
}
