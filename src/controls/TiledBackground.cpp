#include "controls/TiledBackground.h"

#include <QEvent>
#include <QPainter>

TTiledBackground::TTiledBackground(QWidget* form)
    : QObject(form)
    , m_form(form) {
    if (form)
        form->installEventFilter(this);
}

void TTiledBackground::setImage(const QPixmap& image) {
    m_image = image;
    if (m_form)
        m_form->update();
}

void TTiledBackground::setEnabled(bool enabled) {
    m_enabled = enabled;
    if (m_form)
        m_form->update();
}

bool TTiledBackground::eventFilter(QObject* watched, QEvent* event) {
    // Returning false hands the event on, so the form's own painting follows.
    if (watched == m_form && event->type() == QEvent::Paint)
        paintTiles();
    return false;
}

void TTiledBackground::paintTiles() {
    if (!m_enabled || m_image.isNull())
        return;
    QPainter painter(m_form);
    // The tiles start at the form's corner whatever part is being repainted.
    painter.drawTiledPixmap(m_form->rect(), m_image, QPointF(0, 0));
}
