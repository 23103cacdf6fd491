#include "controls/SkinPanel.h"

#include "controls/ColorValue.h"

#include <QPainter>

TSkinPanel::TSkinPanel(QWidget* parent)
    : QWidget(parent)
    , m_color(parent ? parent->palette().color(QPalette::Window)
                     : palette().color(QPalette::Window))
    , m_colorHighLight(controls::colorValue(8623776))
    , m_colorShadow(controls::colorValue(8623776)) {
    resize(185, 41);
}

void TSkinPanel::setColor(const QColor& color) {
    m_color = color;
    update();
}

void TSkinPanel::setColorHighLight(const QColor& color) {
    m_colorHighLight = color;
    update();
}

void TSkinPanel::setColorShadow(const QColor& color) {
    m_colorShadow = color;
    update();
}

void TSkinPanel::setTransparent(bool transparent) {
    m_transparent = transparent;
    update();
}

void TSkinPanel::setCaption(const QString& caption) {
    m_caption = caption;
    update();
}

void TSkinPanel::setAlignment(Qt::Alignment alignment) {
    m_alignment = alignment;
    update();
}

void TSkinPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!m_transparent)
        painter.fillRect(rect(), m_color);
    if (!m_caption.isEmpty()) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(rect().adjusted(4, 2, -4, -2), int(m_alignment), m_caption);
    }
    const QRect edge = rect().adjusted(0, 0, -1, -1);
    painter.setPen(m_colorHighLight);
    painter.drawLine(edge.topLeft(), edge.topRight());
    painter.drawLine(edge.topLeft(), edge.bottomLeft());
    painter.setPen(m_colorShadow);
    painter.drawLine(edge.bottomLeft(), edge.bottomRight());
    painter.drawLine(edge.topRight(), edge.bottomRight());
}
