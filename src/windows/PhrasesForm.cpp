#include "windows/PhrasesForm.h"

Tphrases::Tphrases(QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Phrase Buttons - Dunvex"));
    resize(354, 288);
}
