#include "controls/SelButton.h"

#include "controls/ColorValue.h"
#include "controls/HoverSlot.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr int LeftIndent = 5;
constexpr int RightIndent = 6;

} // namespace

TSelButton::TSelButton(QWidget* parent)
    : TSkinControl(parent, controls::hoverSlotOf<TSelButton>(), false)
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

TSelButton::~TSelButton() = default;

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
    if (survives(OnClick))
        emit clicked();
}

QColor TSelButton::faceColor() const {
    if (isPressed())
        return m_colorDown;
    return isHovered() ? m_colorOver : m_color;
}

QColor TSelButton::captionColor() const {
    return isHovered() || isPressed() ? m_colorOverCaption : m_fontColor;
}

void TSelButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect().adjusted(1, 1, -1, -1), faceColor());

    QRect text = rect().adjusted(LeftIndent, 0, -RightIndent, 0);
    if (isPressed())
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

void TSelButton::released() {
    click();
}
