#include "windows/TallyListForm.h"

Ttallylist::Ttallylist(QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Dunvex - Tally List"));
    resize(380, 300);
}
