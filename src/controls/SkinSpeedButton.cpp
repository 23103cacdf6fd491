#include "controls/SkinSpeedButton.h"

#include "controls/ColorValue.h"
#include "controls/HoverSlot.h"

#include <QApplication>
#include <QDialog>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

QColor lightened(const QColor& color, int percent) {
    const auto towardWhite = [percent](int channel) {
        return channel + (255 - channel) * percent / 100;
    };
    return QColor(towardWhite(color.red()), towardWhite(color.green()), towardWhite(color.blue()));
}

QColor darkened(const QColor& color, int percent) {
    const auto towardBlack = [percent](int channel) { return channel * (100 - percent) / 100; };
    return QColor(towardBlack(color.red()), towardBlack(color.green()), towardBlack(color.blue()));
}

} // namespace

TSkinSpeedButton::TSkinSpeedButton(QWidget* parent)
    : TSkinControl(parent, controls::hoverSlotOf<TSkinSpeedButton>(), true)
    , m_color(parent ? parent->palette().color(QPalette::Window)
                     : palette().color(QPalette::Window))
    , m_colorFocused(controls::colorValue(14805739))
    , m_colorDown(controls::colorValue(12965593))
    , m_colorBorder(controls::colorValue(8623776)) {
    resize(25, 25);
    setCursor(Qt::PointingHandCursor);
}

TSkinSpeedButton::~TSkinSpeedButton() = default;

QColor TSkinSpeedButton::Color() const {
    return m_color;
}

void TSkinSpeedButton::setColor(const QColor& color) {
    m_color = color;
    update();
}

QColor TSkinSpeedButton::ColorFocused() const {
    return m_useAdvColors ? lightened(m_color, m_advFocused) : m_colorFocused;
}

void TSkinSpeedButton::setColorFocused(const QColor& color) {
    m_colorFocused = color;
    update();
}

QColor TSkinSpeedButton::ColorDown() const {
    return m_useAdvColors ? darkened(m_color, m_advDown) : m_colorDown;
}

void TSkinSpeedButton::setColorDown(const QColor& color) {
    m_colorDown = color;
    update();
}

QColor TSkinSpeedButton::ColorBorder() const {
    return m_useAdvColors ? darkened(m_color, m_advBorder) : m_colorBorder;
}

void TSkinSpeedButton::setColorBorder(const QColor& color) {
    m_colorBorder = color;
    update();
}

void TSkinSpeedButton::setColorHighLight(const QColor& color) {
    m_colorHighLight = color;
    update();
}

void TSkinSpeedButton::setColorShadow(const QColor& color) {
    m_colorShadow = color;
    update();
}

void TSkinSpeedButton::setCaption(const QString& caption) {
    m_caption = caption;
    update();
}

void TSkinSpeedButton::setGlyph(const QPixmap& glyph) {
    m_glyph = glyph;
    m_numGlyphs = 1;
    const int width = glyph.width();
    const int height = glyph.height();
    // A strip holds as many square-ish pictures as its width is a multiple of its height.
    if (height > 0 && width % height == 0 && width / height >= 1 && width / height <= 4)
        m_numGlyphs = width / height;
    update();
}

void TSkinSpeedButton::setNumGlyphs(int count) {
    m_numGlyphs = qBound(1, count, 4);
    update();
}

void TSkinSpeedButton::setLayout(TButtonLayout layout) {
    m_layout = layout;
    update();
}

void TSkinSpeedButton::setMargin(int margin) {
    m_margin = margin;
    update();
}

void TSkinSpeedButton::setSpacing(int spacing) {
    m_spacing = spacing;
    update();
}

void TSkinSpeedButton::setTransparentMode(TTransparentMode mode) {
    m_transparentMode = mode;
    update();
}

void TSkinSpeedButton::setGroupIndex(int index) {
    m_groupIndex = index;
    if (m_down)
        releaseGroup();
}

void TSkinSpeedButton::setAllowAllUp(bool allow) {
    m_allowAllUp = allow;
    // The whole group shares the switch.
    for (TSkinSpeedButton* mate : groupMates())
        mate->m_allowAllUp = allow;
}

void TSkinSpeedButton::setDown(bool down) {
    if (m_groupIndex == 0)
        down = false;
    if (down == m_down)
        return;
    if (!down && !m_allowAllUp)
        return;
    m_down = down;
    if (down)
        releaseGroup();
    update();
}

void TSkinSpeedButton::setUseAdvColors(bool use) {
    m_useAdvColors = use;
    update();
}

void TSkinSpeedButton::setAdvColors(int focused, int down, int border) {
    m_advFocused = qBound(0, focused, 100);
    m_advDown = qBound(0, down, 100);
    m_advBorder = qBound(0, border, 100);
    update();
}

QList<TSkinSpeedButton*> TSkinSpeedButton::groupMates() const {
    QList<TSkinSpeedButton*> mates;
    if (m_groupIndex == 0 || !parentWidget())
        return mates;
    for (auto* sibling :
         parentWidget()->findChildren<TSkinSpeedButton*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (sibling != this && sibling->m_groupIndex == m_groupIndex)
            mates << sibling;
    }
    return mates;
}

void TSkinSpeedButton::releaseGroup() {
    for (TSkinSpeedButton* mate : groupMates()) {
        if (mate->m_down) {
            mate->m_down = false;
            mate->update();
        }
    }
}

void TSkinSpeedButton::click() {
    if (!isEnabled())
        return;
    if (m_groupIndex != 0)
        setDown(!m_down);
    if (m_modalResult != 0) {
        if (auto* dialog = qobject_cast<QDialog*>(window()))
            dialog->done(m_modalResult);
    }
    if (survives(OnClick))
        emit clicked();
}

QColor TSkinSpeedButton::faceColor(bool& filled) const {
    filled = m_transparentMode == tmNone || (m_transparentMode == tmNotFocused && isHovered());
    if (!isEnabled())
        return m_color;
    if (isPressed())
        return ColorDown();
    if (m_down)
        return isHovered() ? ColorFocused() : ColorDown();
    return isHovered() ? ColorFocused() : m_color;
}

TSkinSpeedButton::TGlyphState TSkinSpeedButton::glyphState() const {
    if (!isEnabled())
        return gsDisabled;
    if (isPressed())
        return gsPressed;
    return m_down ? gsLatched : gsUp;
}

void TSkinSpeedButton::paintEdge(QPainter& painter) const {
    const QRect edge = rect().adjusted(0, 0, -1, -1);
    const bool sunken = isEnabled() && (isPressed() || m_down);
    const bool raised = isEnabled() && !sunken && isHovered();
    if (!sunken && !raised) {
        painter.setPen(ColorBorder());
        painter.drawRect(edge);
        return;
    }
    const QColor topLeft = raised ? m_colorHighLight : m_colorShadow;
    const QColor bottomRight = raised ? m_colorShadow : m_colorHighLight;
    painter.setPen(topLeft);
    painter.drawLine(edge.topLeft(), edge.topRight());
    painter.drawLine(edge.topLeft(), edge.bottomLeft());
    painter.setPen(bottomRight);
    painter.drawLine(edge.bottomLeft(), edge.bottomRight());
    painter.drawLine(edge.topRight(), edge.bottomRight());
}

void TSkinSpeedButton::paintContent(QPainter& painter) const {
    QSizeF glyphSize;
    QPixmap glyph;
    if (!m_glyph.isNull()) {
        const int state = glyphState() < m_numGlyphs ? int(glyphState()) : 0;
        const int partWidth = m_glyph.width() / m_numGlyphs;
        glyph = m_glyph.copy(state * partWidth, 0, partWidth, m_glyph.height());
        glyph.setDevicePixelRatio(m_glyph.devicePixelRatio());
        glyphSize = glyph.deviceIndependentSize();
    }
    const QSizeF textSize = m_caption.isEmpty()
                                ? QSizeF()
                                : QSizeF(painter.fontMetrics().horizontalAdvance(m_caption),
                                         painter.fontMetrics().height());
    const bool across = m_layout == blGlyphLeft || m_layout == blGlyphRight;
    const qreal gap = glyph.isNull() || m_caption.isEmpty() ? 0 : m_spacing;
    const QSizeF total = across ? QSizeF(glyphSize.width() + gap + textSize.width(),
                                         qMax(glyphSize.height(), textSize.height()))
                                : QSizeF(qMax(glyphSize.width(), textSize.width()),
                                         glyphSize.height() + gap + textSize.height());
    QPointF origin((width() - total.width()) / 2, (height() - total.height()) / 2);
    if (m_margin >= 0) {
        if (m_layout == blGlyphLeft)
            origin.setX(m_margin);
        else if (m_layout == blGlyphRight)
            origin.setX(width() - m_margin - total.width());
        else if (m_layout == blGlyphTop)
            origin.setY(m_margin);
        else
            origin.setY(height() - m_margin - total.height());
    }
    if (isPressed())
        origin += QPointF(1, 1);
    QPointF glyphAt = origin;
    QPointF textAt = origin;
    const bool glyphFirst = m_layout == blGlyphLeft || m_layout == blGlyphTop;
    if (across) {
        glyphAt.ry() += (total.height() - glyphSize.height()) / 2;
        textAt.ry() += (total.height() - textSize.height()) / 2;
        (glyphFirst ? textAt : glyphAt).rx() += (glyphFirst ? glyphSize : textSize).width() + gap;
    } else {
        glyphAt.rx() += (total.width() - glyphSize.width()) / 2;
        textAt.rx() += (total.width() - textSize.width()) / 2;
        (glyphFirst ? textAt : glyphAt).ry() += (glyphFirst ? glyphSize : textSize).height() + gap;
    }
    if (!glyph.isNull()) {
        // A strip without a disabled picture shows its up picture faded.
        if (!isEnabled() && m_numGlyphs <= gsDisabled)
            painter.setOpacity(0.4);
        painter.drawPixmap(glyphAt, glyph);
        painter.setOpacity(1);
    }
    if (!m_caption.isEmpty()) {
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                       QPalette::ButtonText));
        painter.drawText(QRectF(textAt, textSize), Qt::AlignCenter, m_caption);
    }
}

void TSkinSpeedButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    bool filled = false;
    const QColor face = faceColor(filled);
    if (filled)
        painter.fillRect(rect(), face);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    paintContent(painter);
    paintEdge(painter);
}

void TSkinSpeedButton::released() {
    click();
}
