#include "client/WindowZoom.h"

#include "controls/HoverLabel.h"

#include <QEvent>
#include <QFrame>
#include <QRegularExpression>
#include <QWidget>
#include <cmath>

namespace {

// Long enough to let a drag of the window's edge pass, short enough to look
// immediate when it stops.
constexpr int SettleMilliseconds = 120;

int scaledLength(int length, qreal factor) {
    return int(std::lround(length * factor));
}

// Only plain panels are entered: what a text box or a button holds inside is
// its own business and follows its size.
bool isPlainPanel(const QWidget* widget) {
    const QMetaObject* kind = widget->metaObject();
    return kind == &QWidget::staticMetaObject || kind == &QFrame::staticMetaObject ||
           widget->property("zoomPanel").toBool();
}

} // namespace

TWindowZoom::TWindowZoom(QWidget* ground, QSize designSize, QSize margin)
    : QObject(ground)
    , m_ground(ground)
    , m_designSize(designSize)
    , m_margin(margin) {
    m_settle.setSingleShot(true);
    m_settle.setInterval(SettleMilliseconds);
    connect(&m_settle, &QTimer::timeout, this, [this] { emit factorSettled(factor()); });
    ground->installEventFilter(this);
}

void TWindowZoom::capture() {
    QList<QWidget*> pending = m_ground->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    while (!pending.isEmpty()) {
        QWidget* widget = pending.takeFirst();
        if (widget->isWindow())
            continue;
        record(widget);
        if (isPlainPanel(widget))
            pending += widget->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    }
    relayout();
}

// What the widget is now is its design: the window builds every widget before
// its first change of factor.
void TWindowZoom::record(QWidget* widget) {
    if (m_designs.contains(widget))
        return;
    Design design{widget->geometry(), widget->styleSheet(), widget->font(), QFont()};
    if (auto* hover = qobject_cast<THoverLabel*>(widget))
        design.hoverFont = hover->HoverFont();
    m_designs.insert(widget, design);
    connect(widget, &QObject::destroyed, this, [this, widget] { m_designs.remove(widget); });
}

QSize TWindowZoom::groundSizeFor(int percent) const {
    const QSize framed = framedSize();
    return {int(std::ceil(framed.width() * percent / 100.0)),
            int(std::ceil(framed.height() * percent / 100.0))};
}

QRect TWindowZoom::designGeometry(const QWidget* widget) const {
    const auto found = m_designs.constFind(const_cast<QWidget*>(widget));
    return found == m_designs.constEnd() ? widget->geometry() : found->geometry;
}

void TWindowZoom::setGeometry(QWidget* widget, const QRect& design) {
    record(widget);
    Design& held = m_designs[widget];
    held.geometry = design;
    placeOnly(widget, held);
}

void TWindowZoom::move(QWidget* widget, QPoint design) {
    setGeometry(widget, QRect(design, designGeometry(widget).size()));
}

void TWindowZoom::setStyleSheet(QWidget* widget, const QString& design) {
    record(widget);
    m_designs[widget].styleSheet = design;
    widget->setStyleSheet(scaledStyleSheet(design, factor()));
}

QFont TWindowZoom::designFont(const QWidget* widget) const {
    const auto found = m_designs.constFind(const_cast<QWidget*>(widget));
    return found == m_designs.constEnd() ? widget->font() : found->font;
}

void TWindowZoom::setFont(QWidget* widget, const QFont& design) {
    record(widget);
    m_designs[widget].font = design;
    widget->setFont(scaledFont(design, factor()));
}

int TWindowZoom::scaled(int length) const {
    return scaledLength(length, factor());
}

QSize TWindowZoom::scaled(QSize size) const {
    return {scaled(size.width()), scaled(size.height())};
}

QString TWindowZoom::scaledStyleSheet(const QString& sheet, qreal factor) {
    static const QRegularExpression Pixels(QStringLiteral("(\\d+(?:\\.\\d+)?)px"));
    QString result;
    qsizetype done = 0;
    for (auto match = Pixels.globalMatch(sheet); match.hasNext();) {
        const QRegularExpressionMatch length = match.next();
        const double value = length.captured(1).toDouble();
        // A hairline stays visible.
        const long pixels = value > 0 ? std::max(1L, std::lround(value * factor)) : 0L;
        result += sheet.mid(done, length.capturedStart() - done) + QString::number(pixels) + "px";
        done = length.capturedEnd();
    }
    return result + sheet.mid(done);
}

QFont TWindowZoom::scaledFont(const QFont& font, qreal factor) {
    QFont result = font;
    if (font.pixelSize() > 0)
        result.setPixelSize(std::max(1, scaledLength(font.pixelSize(), factor)));
    else if (font.pointSizeF() > 0)
        result.setPointSizeF(font.pointSizeF() * factor);
    return result;
}

bool TWindowZoom::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_ground && event->type() == QEvent::Resize)
        relayout();
    return false;
}

int TWindowZoom::percentFor(QSize size) const {
    const QSize framed = framedSize();
    const qreal across = qreal(size.width()) / framed.width();
    const qreal down = qreal(size.height()) / framed.height();
    // In steps: the default window, a few pixels larger than the design,
    // shows it unscaled, and a drag does not redraw at every pixel. A ground
    // too small for the margins shows the content unscaled, without them.
    const int percent = int(std::floor(std::min(across, down) * 100 + 1e-6));
    return std::max(MinPercent, percent - percent % StepPercent);
}

void TWindowZoom::relayout() {
    const int percent = percentFor(m_ground->size());
    const bool changed = percent != m_percent;
    m_percent = percent;
    const QSize content = scaled(m_designSize);
    m_offset = QPoint((m_ground->width() - content.width()) / 2,
                      (m_ground->height() - content.height()) / 2);
    for (auto held = m_designs.cbegin(); held != m_designs.cend(); ++held) {
        if (changed)
            apply(held.key(), held.value());
        else if (held.key()->parentWidget() == m_ground)
            placeOnly(held.key(), held.value());
    }
    m_settle.start();
    if (changed)
        emit factorChanged(factor());
}

void TWindowZoom::placeOnly(QWidget* widget, const Design& design) {
    widget->setGeometry(scaledRect(design.geometry, widget));
}

void TWindowZoom::apply(QWidget* widget, const Design& design) {
    placeOnly(widget, design);
    const QString sheet = scaledStyleSheet(design.styleSheet, factor());
    if (widget->styleSheet() != sheet)
        widget->setStyleSheet(sheet);
    auto* hover = qobject_cast<THoverLabel*>(widget);
    // A hovered caption would come back with the font it had before.
    const bool wasActive = hover && hover->Active();
    if (hover && hover->isHovered())
        hover->setActive(false);
    widget->setFont(scaledFont(design.font, factor()));
    if (!hover)
        return;
    hover->setHoverFont(scaledFont(design.hoverFont, factor()));
    hover->setActive(wasActive);
}

// Edges are scaled, not sizes, so widgets that touch in the design still touch.
QRect TWindowZoom::scaledRect(const QRect& design, const QWidget* widget) const {
    const qreal f = factor();
    const int left = scaledLength(design.x(), f);
    const int top = scaledLength(design.y(), f);
    const QRect rect(left, top, scaledLength(design.x() + design.width(), f) - left,
                     scaledLength(design.y() + design.height(), f) - top);
    return widget->parentWidget() == m_ground ? rect.translated(m_offset) : rect;
}
