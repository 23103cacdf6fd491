#include "controls/SkinCheckBox.h"

#include "controls/ColorValue.h"
#include "controls/HoverSlot.h"

#include <QApplication>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int BoxSize = 13;
constexpr int CaptionGap = 5;

} // namespace

TSkinCheckBox::TSkinCheckBox(QWidget* parent)
    : TSkinControl(parent, controls::hoverSlotOf<TSkinCheckBox>(), true)
    , m_color(palette().color(QPalette::Base))
    , m_colorDown(controls::colorValue(12965593))
    , m_colorBorder(controls::colorValue(8623776)) {
    resize(121, 17);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
}

TSkinCheckBox::~TSkinCheckBox() = default;

void TSkinCheckBox::setCaption(const QString& caption) {
    m_caption = caption;
    setAccessibleName(caption);
    update();
}

void TSkinCheckBox::setChecked(bool checked) {
    if (checked == m_checked)
        return;
    m_checked = checked;
    update();
    emit toggled(checked);
}

void TSkinCheckBox::setColor(const QColor& color) {
    m_color = color;
    update();
}

void TSkinCheckBox::setColorFocused(const QColor& color) {
    m_colorFocused = color;
    update();
}

void TSkinCheckBox::setColorDown(const QColor& color) {
    m_colorDown = color;
    update();
}

void TSkinCheckBox::setColorCheck(const QColor& color) {
    m_colorCheck = color;
    update();
}

void TSkinCheckBox::setColorBorder(const QColor& color) {
    m_colorBorder = color;
    update();
}

void TSkinCheckBox::setLayout(TCheckBoxLayout layout) {
    m_layout = layout;
    update();
}

void TSkinCheckBox::setTransparent(bool transparent) {
    m_transparent = transparent;
    update();
}

QRect TSkinCheckBox::boxRect() const {
    const int top = (height() - BoxSize) / 2;
    const int left = m_layout == checkboxLeft ? 1 : width() - BoxSize - 1;
    return QRect(left, top, BoxSize, BoxSize);
}

QColor TSkinCheckBox::boxColor() const {
    if (isPressed())
        return m_colorDown;
    return isHovered() || hasFocus() ? m_colorFocused : m_color;
}

void TSkinCheckBox::paintCheckMark(QPainter& painter, const QRect& box) const {
    QPainterPath tick;
    tick.moveTo(box.left() + 3, box.top() + 6.5);
    tick.lineTo(box.left() + 5.5, box.top() + 9);
    tick.lineTo(box.left() + 10, box.top() + 3.5);
    const QColor color =
        isEnabled() ? m_colorCheck : palette().color(QPalette::Disabled, QPalette::Dark);
    painter.setPen(QPen(color, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(tick);
}

void TSkinCheckBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!m_transparent)
        painter.fillRect(rect(), palette().color(QPalette::Window));
    const QRect box = boxRect();
    painter.fillRect(box, boxColor());
    painter.setPen(m_colorBorder);
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    if (m_checked) {
        painter.setRenderHint(QPainter::Antialiasing);
        paintCheckMark(painter, box);
        painter.setRenderHint(QPainter::Antialiasing, false);
    }
    const QRect text = m_layout == checkboxLeft
                           ? rect().adjusted(box.right() + CaptionGap, 0, 0, 0)
                           : rect().adjusted(0, 0, -(width() - box.left()) - CaptionGap, 0);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    const int align = m_layout == checkboxLeft ? Qt::AlignLeft : Qt::AlignRight;
    QRect drawn;
    painter.drawText(text, align | Qt::AlignVCenter, m_caption, &drawn);
    // The box under the keys: a dotted frame round its caption.
    if (hasFocus() && !m_caption.isEmpty()) {
        painter.setPen(QPen(painter.pen().color(), 1, Qt::DotLine));
        painter.drawRect(drawn.adjusted(-2, 0, 1, -1) & rect().adjusted(0, 0, -1, -1));
    }
}

void TSkinCheckBox::mousePressEvent(QMouseEvent* event) {
    TSkinControl::mousePressEvent(event);
    if (isPressed())
        setFocus(Qt::MouseFocusReason);
}

void TSkinCheckBox::released() {
    setChecked(!m_checked);
}

void TSkinCheckBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        setChecked(!m_checked);
        return;
    }
    QWidget::keyPressEvent(event);
}

void TSkinCheckBox::focusInEvent(QFocusEvent* event) {
    update();
    QWidget::focusInEvent(event);
}

void TSkinCheckBox::focusOutEvent(QFocusEvent* event) {
    update();
    QWidget::focusOutEvent(event);
}
