#pragma once

#include <QColor>
#include <QWidget>

// A flat panel with a one-pixel edge, light top-left and dark bottom-right;
// a transparent panel lets the parent's background show through its face.
class TSkinPanel : public QWidget {
    Q_OBJECT
public:
    explicit TSkinPanel(QWidget* parent = nullptr);

    QColor Color() const { return m_color; }
    void setColor(const QColor& color);
    QColor ColorHighLight() const { return m_colorHighLight; }
    void setColorHighLight(const QColor& color);
    QColor ColorShadow() const { return m_colorShadow; }
    void setColorShadow(const QColor& color);
    bool Transparent() const { return m_transparent; }
    void setTransparent(bool transparent);
    QString Caption() const { return m_caption; }
    void setCaption(const QString& caption);
    Qt::Alignment Alignment() const { return m_alignment; }
    void setAlignment(Qt::Alignment alignment);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color;
    QColor m_colorHighLight;
    QColor m_colorShadow;
    bool m_transparent = false;
    QString m_caption;
    Qt::Alignment m_alignment = Qt::AlignCenter;
};
