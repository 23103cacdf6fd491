#include "controls/SkinControl.h"

#include "controls/SkinAccessible.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPointer>

TSkinControl::TSkinControl(QWidget* parent, controls::HoverSlot& slot, bool onlyWhenActive)
    : QWidget(parent)
    , m_slot(slot)
    , m_onlyWhenActive(onlyWhenActive) {
    controls::installSkinAccessible();
}

void TSkinControl::press() {
    if (isEnabled() && isVisible())
        released();
}

TSkinControl::~TSkinControl() {
    m_slot.leave(this);
}

bool TSkinControl::survives(const std::function<void()>& handler) {
    const QPointer<TSkinControl> alive(this);
    if (handler)
        handler();
    return !alive.isNull();
}

void TSkinControl::setHovered(bool hovered) {
    if (hovered == m_hovered)
        return;
    m_hovered = hovered;
    if (hovered) {
        // Every control in a slot is of one class, and so a TSkinControl.
        if (auto* before = static_cast<TSkinControl*>(m_slot.enter(this)))
            before->setHovered(false);
    } else {
        m_slot.leave(this);
    }
    update();
}

void TSkinControl::enterEvent(QEnterEvent*) {
    if (isEnabled() && (!m_onlyWhenActive || QApplication::activeWindow()))
        setHovered(true);
}

void TSkinControl::leaveEvent(QEvent*) {
    setHovered(false);
}

void TSkinControl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !isEnabled())
        return;
    m_pressed = true;
    update();
}

void TSkinControl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_pressed)
        return;
    m_pressed = false;
    const bool over = rect().contains(event->position().toPoint());
    setHovered(over);
    update();
    if (over)
        released();
}

void TSkinControl::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        m_pressed = false;
        setHovered(false);
    }
    QWidget::changeEvent(event);
}

void TSkinControl::hideEvent(QHideEvent* event) {
    m_pressed = false;
    setHovered(false);
    QWidget::hideEvent(event);
}
