#pragma once

#include "controls/PlainLabel.h"

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QPixmap>
#include <QPointer>

// A label that changes its ground colour and font while the mouse is over
// it: the clickable category captions of the scorecard. It can also swap the
// picture of another label while hovered. Like every label, it shows its
// caption as plain text.
class THoverLabel : public TPlainLabel {
    Q_OBJECT
public:
    explicit THoverLabel(QWidget* parent = nullptr);
    explicit THoverLabel(const QString& text, QWidget* parent = nullptr);
    ~THoverLabel() override;

    bool Active() const { return m_active; }
    void setActive(bool active);
    // The ground under the caption while hovered.
    QColor HoverColor() const { return m_hoverColor; }
    void setHoverColor(const QColor& color) { m_hoverColor = color; }
    QFont HoverFont() const { return m_hoverFont; }
    void setHoverFont(const QFont& font) { m_hoverFont = font; }
    // The caption's colour while hovered (a font's colour on the original platform).
    QColor HoverFontColor() const { return m_hoverFontColor; }
    void setHoverFontColor(const QColor& color) { m_hoverFontColor = color; }
    QLabel* ImageControl() const { return m_imageControl; }
    void setImageControl(QLabel* control) { m_imageControl = control; }
    void setImageEnter(const QPixmap& picture) { m_imageEnter = picture; }
    void setImageLeave(const QPixmap& picture) { m_imageLeave = picture; }

    bool isHovered() const { return m_hovered; }

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void hoverOn();
    void hoverOff();

    bool m_active = false;
    QColor m_hoverColor = Qt::white;
    QFont m_hoverFont;
    QColor m_hoverFontColor = Qt::green;
    QPointer<QLabel> m_imageControl;
    QPixmap m_imageEnter;
    QPixmap m_imageLeave;
    bool m_hovered = false;
    bool m_remembered = false;
    QPalette m_normalPalette;
    QFont m_normalFont;
    bool m_normalAutoFill = false;
};
