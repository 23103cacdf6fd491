#include "windows/SpyListForm.h"

#include "controls/PlainLabel.h"
#include "controls/SelButton.h"
#include "controls/SkinArt.h"
#include "platform/StrToInt.h"
#include "windows/WindowLook.h"

#include <QEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QVBoxLayout>

Tspylist::Tspylist(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("spylist"));
    setWindowTitle(QStringLiteral("Dunvex -Spys"));
    setWindowIcon(controls::SkinArt::windowIcon());
    resize(170, 195);
    TiledBackground1 = windows::tiledBackground(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);

    listbox_spys = new QListWidget(this);
    listbox_spys->setObjectName(QStringLiteral("listbox_spys"));
    listbox_spys->setStyleSheet(windows::lightPanel(QStringLiteral("QListWidget")));
    listbox_spys->setContextMenuPolicy(Qt::CustomContextMenu);
    listbox_spys->viewport()->setMouseTracking(true);
    listbox_spys->viewport()->installEventFilter(this);
    layout->addWidget(listbox_spys);

    auto* caption = new TPlainLabel(QStringLiteral("Spy List"), this);
    caption->setAlignment(Qt::AlignCenter);
    caption->setStyleSheet(QStringLiteral("color: %1; font: bold 19px Arial;")
                               .arg(QColor::fromRgba(controls::SkinArt::Gold).name()));
    layout->addWidget(caption);
    button_done = windows::selButton(QStringLiteral("button_done"), QStringLiteral("Done"), this);
    layout->addWidget(button_done, 0, Qt::AlignHCenter);

    popup_kick = new QMenu(this);
    popup_kick->setObjectName(QStringLiteral("popup_kick"));
    popup_kickhim = popup_kick->addAction(QStringLiteral("Remove From Game"), this,
                                          &Tspylist::popup_kickhimClick);
    popup_kickhim->setEnabled(false);

    connect(button_done, &TSelButton::clicked, this, &Tspylist::Button1Click);
    connect(listbox_spys, &QListWidget::customContextMenuRequested, this,
            &Tspylist::listbox_spysContextPopup);
}

namespace {

QString spyEntry(int slot, const QString& name) {
    return QString::number(slot) + ": " + name;
}

} // namespace

void Tspylist::addspy(int slot, const QString& name) {
    listbox_spys->addItem(spyEntry(slot, name));
}

void Tspylist::removespy(int slot, const QString& name) {
    const auto found = listbox_spys->findItems(spyEntry(slot, name), Qt::MatchExactly);
    if (!found.isEmpty())
        delete found.first();
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
