#include "windows/SpyListForm.h"

#include "controls/PlainLabel.h"
#include "platform/StrToInt.h"

#include <QEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

Tspylist::Tspylist(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("spylist"));
    setWindowTitle(QStringLiteral("Dunvex -Spys"));
    resize(170, 195);
    auto* layout = new QVBoxLayout(this);

    listbox_spys = new QListWidget(this);
    listbox_spys->setObjectName(QStringLiteral("listbox_spys"));
    QPalette colours = listbox_spys->palette();
    colours.setColor(QPalette::Base, QColor(0xDE, 0xDC, 0xCF)); // 13622494 as blue-green-red
    listbox_spys->setPalette(colours);
    listbox_spys->setContextMenuPolicy(Qt::CustomContextMenu);
    listbox_spys->viewport()->setMouseTracking(true);
    listbox_spys->viewport()->installEventFilter(this);
    layout->addWidget(listbox_spys);

    auto* caption = new TPlainLabel(QStringLiteral("Spy List"), this);
    caption->setAlignment(Qt::AlignCenter);
    caption->setStyleSheet(QStringLiteral("font: bold 19px;"));
    layout->addWidget(caption);
    button_done = new QPushButton(QStringLiteral("Done"), this);
    button_done->setObjectName(QStringLiteral("button_done"));
    layout->addWidget(button_done);

    popup_kick = new QMenu(this);
    popup_kick->setObjectName(QStringLiteral("popup_kick"));
    popup_kickhim = popup_kick->addAction(QStringLiteral("Remove From Game"), this,
                                          &Tspylist::popup_kickhimClick);
    popup_kickhim->setEnabled(false);

    connect(button_done, &QPushButton::clicked, this, &Tspylist::Button1Click);
    connect(listbox_spys, &QListWidget::customContextMenuRequested, this,
            &Tspylist::listbox_spysContextPopup);
}

void Tspylist::Button1Click() {
    close();
}

bool Tspylist::eventFilter(QObject* watched, QEvent* event) {
    if (watched == listbox_spys->viewport() && event->type() == QEvent::MouseMove)
        listbox_spysMouseMove(static_cast<QMouseEvent*>(event)->position().toPoint());
    return QWidget::eventFilter(watched, event);
}

void Tspylist::listbox_spysMouseMove(const QPoint& position) {
    const QModelIndex entry = listbox_spys->indexAt(position);
    listbox_spysTag = entry.isValid() ? entry.row() : -1;
}

void Tspylist::listbox_spysContextPopup(const QPoint& position) {
    listbox_spysMouseMove(position);
    QListWidgetItem* entry = listbox_spys->item(listbox_spysTag);
    m_menuEntry = entry ? entry->text() : QString();
    popup_kickhim->setEnabled(canRemove && canRemove());
    popup_kick->popup(listbox_spys->viewport()->mapToGlobal(position));
}

// The menu stays open while spectators come and go, so the entry it was
// opened on is taken by its text, and only while it is still listed.
void Tspylist::popup_kickhimClick() {
    if (listbox_spysTag == -1 || m_menuEntry.isEmpty() || !onRemove)
        return;
    if (listbox_spys->findItems(m_menuEntry, Qt::MatchExactly | Qt::MatchCaseSensitive).isEmpty())
        return;
    try {
        onRemove(platform::StrToInt(m_menuEntry.section(QLatin1Char(':'), 0, 0)));
    } catch (const platform::EConvertError&) {
        // Not an entry of ours: nothing to remove.
    }
}
