#pragma once

#include "controls/SkinControl.h"

#include <QColor>
#include <functional>

// A flat colour button: a filled face inside nested one-pixel frames, a
// caption, and a hover and pressed colour. Used for the "Done" buttons and
// the help window's page buttons.
class TSelButton : public TSkinControl {
    Q_OBJECT
public:
    explicit TSelButton(QWidget* parent = nullptr);
    ~TSelButton() override;

    QColor Color() const { return m_color; }
    void setColor(const QColor& color);
    QColor ColorBorder() const { return m_colorBorder; }
    void setColorBorder(const QColor& color);
    QColor ColorOver() const { return m_colorOver; }
    void setColorOver(const QColor& color);
    QColor ColorDown() const { return m_colorDown; }
    void setColorDown(const QColor& color);
    QColor ColorOverCaption() const { return m_colorOverCaption; }
    void setColorOverCaption(const QColor& color);
    // The caption's colour in the normal state (the font's colour).
    QColor FontColor() const { return m_fontColor; }
    void setFontColor(const QColor& color);
    QString Caption() const { return m_caption; }
    QString spokenCaption() const override { return m_caption; }
    void setCaption(const QString& caption);
    Qt::Alignment Alignment() const { return m_alignment; }
    void setAlignment(Qt::Alignment alignment);
    int BorderWidth() const { return m_borderWidth; }
    void setBorderWidth(int width);

    // Repaints and calls OnClick, only while the button itself is enabled.
    void click();

    std::function<void()> OnClick;

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void released() override;

private:
    QColor faceColor() const;
    QColor captionColor() const;

    QColor m_color;
    QColor m_colorBorder;
    QColor m_colorOver;
    QColor m_colorDown;
    QColor m_colorOverCaption;
    QColor m_fontColor;
    QString m_caption;
    Qt::Alignment m_alignment = Qt::AlignLeft;
    int m_borderWidth = 1;
};
