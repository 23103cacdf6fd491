#include "controls/SelButton.h"

#include "controls/ColorValue.h"
#include "controls/HoverSlot.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

namespace {

controls::HoverSlot& hoverSlot() {
    static controls::HoverSlot slot;
    return slot;
}

constexpr int LeftIndent = 5;
constexpr int RightIndent = 6;

} // namespace

TSelButton::TSelButton(QWidget* parent)
    : QWidget(parent)
    , m_color(palette().color(QPalette::Button))
    , m_colorBorder(controls::colorValue(8421504))
    , m_colorOver(controls::colorValue(10795396))
    , m_colorDown(controls::colorValue(10795396))
    , m_colorOverCaption(Qt::black)
    , m_fontColor(Qt::gray) {
    resize(105, 20);
    QFont arial(QStringLiteral("Arial"));
    arial.setPointSize(8);
    setFont(arial);
    setCursor(Qt::PointingHandCursor);
}

TSelButton::~TSelButton() {
    hoverSlot().leave(this);
}

void TSelButton::setColor(const QColor& color) {
    m_color = color;
    update();
}

void TSelButton::setColorBorder(const QColor& color) {
    m_colorBorder = color;
    update();
}

void TSelButton::setColorOver(const QColor& color) {
    m_colorOver = color;
    update();
}

void TSelButton::setColorDown(const QColor& color) {
    m_colorDown = color;
    update();
}

void TSelButton::setColorOverCaption(const QColor& color) {
    m_colorOverCaption = color;
    update();
}

void TSelButton::setFontColor(const QColor& color) {
    m_fontColor = color;
    update();
}

void TSelButton::setCaption(const QString& caption) {
    m_caption = caption;
    setAccessibleName(caption);
    update();
}

void TSelButton::setAlignment(Qt::Alignment alignment) {
    m_alignment = alignment;
    update();
}

void TSelButton::setBorderWidth(int width) {
    m_borderWidth = qMax(0, width);
    update();
}

void TSelButton::click() {
    repaint();
    // Only the button's own switch counts, as the layouts set it.
    if (testAttribute(Qt::WA_ForceDisabled))
        return;
    // A handler may close the window and take the button with it.
    const QPointer<TSelButton> alive(this);
    if (OnClick)
        OnClick();
    if (alive)
        emit clicked();
}

QColor TSelButton::faceColor() const {
    if (m_pressed)
        return m_colorDown;
    return m_hovered ? m_colorOver : m_color;
}

QColor TSelButton::captionColor() const {
    return m_hovered || m_pressed ? m_colorOverCaption : m_fontColor;
}

void TSelButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect().adjusted(1, 1, -1, -1), faceColor());

    QRect text = rect().adjusted(LeftIndent, 0, -RightIndent, 0);
    if (m_pressed)
        text.translate(1, 1);
    Qt::Alignment horizontal = m_alignment & Qt::AlignHorizontal_Mask;
    if (horizontal == 0)
        horizontal = Qt::AlignLeft;
    painter.setPen(captionColor());
    painter.drawText(text, int(horizontal | Qt::AlignVCenter), m_caption);

    painter.setPen(m_colorBorder);
    painter.setBrush(Qt::NoBrush);
    for (int frame = 0; frame < m_borderWidth; ++frame)
        painter.drawRect(rect().adjusted(frame, frame, -frame - 1, -frame - 1));
}

void TSelButton::setHovered(bool hovered) {
    if (hovered == m_hovered)
        return;
    m_hovered = hovered;
    if (hovered) {
        if (auto* before = qobject_cast<TSelButton*>(hoverSlot().enter(this)))
            before->setHovered(false);
    } else {
        hoverSlot().leave(this);
    }
    update();
}

void TSelButton::enterEvent(QEnterEvent*) {
    if (isEnabled())
        setHovered(true);
}

void TSelButton::leaveEvent(QEvent*) {
    setHovered(false);
}

void TSelButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !isEnabled())
        return;
    m_pressed = true;
    update();
}

void TSelButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_pressed)
        return;
    m_pressed = false;
    const bool over = rect().contains(event->position().toPoint());
    setHovered(over);
    update();
    if (over)
        click();
}

void TSelButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        m_pressed = false;
        setHovered(false);
    }
    QWidget::changeEvent(event);
}

void TSelButton::hideEvent(QHideEvent* event) {
    m_pressed = false;
    setHovered(false);
    QWidget::hideEvent(event);
}
