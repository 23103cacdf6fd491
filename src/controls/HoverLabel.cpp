#include "controls/HoverLabel.h"

#include "controls/HoverSlot.h"

#include <QEnterEvent>

THoverLabel::THoverLabel(QWidget* parent)
    : TPlainLabel(parent) {}

THoverLabel::THoverLabel(const QString& text, QWidget* parent)
    : TPlainLabel(text, parent) {}

THoverLabel::~THoverLabel() {
    controls::hoverSlotOf<THoverLabel>().leave(this);
}

void THoverLabel::setActive(bool active) {
    m_active = active;
    if (!active)
        hoverOff();
}

void THoverLabel::hoverOn() {
    if (m_hovered)
        return;
    if (auto* before = qobject_cast<THoverLabel*>(controls::hoverSlotOf<THoverLabel>().enter(this)))
        before->hoverOff();
    // The label's own look is taken once, so a change of look while hovered
    // cannot be mistaken for it.
    if (!m_remembered) {
        m_normalPalette = palette();
        m_normalFont = font();
        m_normalAutoFill = autoFillBackground();
        m_remembered = true;
    }
    m_hovered = true;
    QPalette hover = m_normalPalette;
    hover.setColor(QPalette::Window, m_hoverColor);
    hover.setColor(QPalette::WindowText, m_hoverFontColor);
    setPalette(hover);
    setFont(m_hoverFont);
    setAutoFillBackground(true);
    if (m_imageControl)
        m_imageControl->setPixmap(m_imageEnter);
}

void THoverLabel::hoverOff() {
    if (!m_hovered)
        return;
    m_hovered = false;
    controls::hoverSlotOf<THoverLabel>().leave(this);
    setPalette(m_normalPalette);
    setFont(m_normalFont);
    setAutoFillBackground(m_normalAutoFill);
    if (m_imageControl)
        m_imageControl->setPixmap(m_imageLeave);
}

void THoverLabel::enterEvent(QEnterEvent* event) {
    TPlainLabel::enterEvent(event);
    if (m_active && isEnabled() && isVisible() && window()->isActiveWindow())
        hoverOn();
}

void THoverLabel::leaveEvent(QEvent* event) {
    hoverOff();
    TPlainLabel::leaveEvent(event);
}

void THoverLabel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        hoverOff();
    // A new font given while not hovered is the label's own look from now on.
    if (event->type() == QEvent::FontChange && !m_hovered)
        m_normalFont = font();
    TPlainLabel::changeEvent(event);
}

void THoverLabel::hideEvent(QHideEvent* event) {
    hoverOff();
    TPlainLabel::hideEvent(event);
}
