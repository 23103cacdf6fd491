#pragma once

#include <QFont>
#include <QHash>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTimer>

class QWidget;

// Scales a window's fixed design layout to the size of its ground: every
// widget under the ground keeps its design geometry, style sheet and font, and
// is shown at design × factor, the content centred. Plain panels are entered,
// composite widgets (text boxes, buttons) are scaled as a whole. Code that
// moves or restyles a widget later tells the zoom in design coordinates, so
// the change survives the next change of factor.
class TWindowZoom : public QObject {
    Q_OBJECT
public:
    // The factors the window offers in its menu, in percent; a saved factor
    // must lie in [MinPercent, MaxPercent].
    static constexpr int MinPercent = 100;
    static constexpr int MaxPercent = 400;
    // The factor goes by whole steps of this many percent.
    static constexpr int StepPercent = 5;

    // `margin` is the design's room on each side of the content: a zoom
    // step keeps it at its scale.
    TWindowZoom(QWidget* ground, QSize designSize, QSize margin = QSize());

    // Takes the widgets under the ground as they are now for the design.
    void capture();

    QSize designSize() const { return m_designSize; }
    // The content with its margins: the ground of the design at 100 %.
    QSize framedSize() const { return m_designSize + 2 * m_margin; }
    qreal factor() const { return m_percent / 100.0; }
    int percent() const { return m_percent; }
    // The ground's size that shows the design at `percent`.
    QSize groundSizeFor(int percent) const;
    // The factor, in percent, a ground of `size` shows.
    int percentFor(QSize size) const;

    QRect designGeometry(const QWidget* widget) const;
    void setGeometry(QWidget* widget, const QRect& design);
    void move(QWidget* widget, QPoint design);
    void setStyleSheet(QWidget* widget, const QString& design);
    QFont designFont(const QWidget* widget) const;
    void setFont(QWidget* widget, const QFont& design);

    // A design length at the current factor.
    int scaled(int length) const;
    QSize scaled(QSize size) const;

    // Pixel lengths of a style sheet ("13px") multiplied by `factor`.
    static QString scaledStyleSheet(const QString& sheet, qreal factor);
    static QFont scaledFont(const QFont& font, qreal factor);

signals:
    // The factor changed and the layout follows it.
    void factorChanged(qreal factor);
    // The ground has kept its size for a moment after a change: time to draw
    // the pictures again, once, not at every step of a drag.
    void factorSettled(qreal factor);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Design {
        QRect geometry;
        QString styleSheet;
        QFont font;
        QFont hoverFont;
    };

    void record(QWidget* widget);
    void relayout();
    void apply(QWidget* widget, const Design& design);
    void placeOnly(QWidget* widget, const Design& design);
    QRect scaledRect(const QRect& design, const QWidget* widget) const;

    QWidget* m_ground;
    QSize m_designSize;
    QSize m_margin;
    int m_percent = 100;
    QPoint m_offset; // the centring of the content in the ground
    QHash<QWidget*, Design> m_designs;
    QTimer m_settle;
};
