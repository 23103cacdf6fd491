#include "windows/GameStartForm.h"

#include "platform/ExceptionHandler.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QPushButton>

namespace {

QCheckBox* optionBox(const QString& name, const QString& caption, int top, QWidget* parent) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    box->setGeometry(24, top, 200, 22);
    return box;
}

} // namespace

Tgamestartform::Tgamestartform(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("gamestartform"));
    setWindowTitle(QStringLiteral("Dunvex - Start Game"));
    setFixedSize(250, 124);

    panel_main = new QFrame(this);
    panel_main->setObjectName(QStringLiteral("panel_main"));
    panel_main->setGeometry(0, 0, 250, 124);
    panel_main->setStyleSheet(QStringLiteral("#panel_main { background: #0b5d1e; }"
                                             "QCheckBox { color: white; font-weight: bold; }"));

    team = optionBox(QStringLiteral("team"), QStringLiteral("Team Game"), 14, panel_main);
    bonus = optionBox(QStringLiteral("bonus"), QStringLiteral("Bonus Dice Game"), 40, panel_main);

    button_start = new QPushButton(QStringLiteral("Start"), panel_main);
    button_start->setObjectName(QStringLiteral("button_start"));
    button_start->setGeometry(85, 78, 80, 30);
    connect(button_start, &QPushButton::clicked, this, &Tgamestartform::button_startClick);
}

void Tgamestartform::button_startClick() {
    // A failed start is reported by the error box; the dialog goes away anyway.
    if (onStartGame)
        platform::runGuarded([this] { onStartGame(bonus->isChecked(), team->isChecked()); });
    hide();
}

// Start only hides the dialog; closing it by its frame or Esc gives up the start.
void Tgamestartform::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (isVisible() && onClosedWithoutStart)
        platform::runGuarded([this] { onClosedWithoutStart(); });
}

void Tgamestartform::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        close();
    else
        QWidget::keyPressEvent(event);
}
