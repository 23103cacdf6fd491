#pragma once

#include "controls/SkinControl.h"

#include <QColor>

// A flat check box: a framed square with a drawn check mark and a caption
// beside it. It toggles when the left button is released over it.
class TSkinCheckBox : public TSkinControl {
    Q_OBJECT
public:
    enum TCheckBoxLayout { checkboxLeft, checkboxRight };

    explicit TSkinCheckBox(QWidget* parent = nullptr);
    ~TSkinCheckBox() override;

    QString Caption() const { return m_caption; }
    QString spokenCaption() const override { return m_caption; }
    bool isCheckable() const override { return true; }
    bool isChecked() const override { return m_checked; }
    void setCaption(const QString& caption);
    bool Checked() const { return m_checked; }
    void setChecked(bool checked);
    QColor Color() const { return m_color; }
    void setColor(const QColor& color);
    QColor ColorFocused() const { return m_colorFocused; }
    void setColorFocused(const QColor& color);
    QColor ColorDown() const { return m_colorDown; }
    void setColorDown(const QColor& color);
    QColor ColorCheck() const { return m_colorCheck; }
    void setColorCheck(const QColor& color);
    QColor ColorBorder() const { return m_colorBorder; }
    void setColorBorder(const QColor& color);
    TCheckBoxLayout Layout() const { return m_layout; }
    void setLayout(TCheckBoxLayout layout);
    // A transparent box shows the parent behind its caption.
    bool Transparent() const { return m_transparent; }
    void setTransparent(bool transparent);

    QRect boxRect() const;

signals:
    void toggled(bool checked);

protected:
    void paintEvent(QPaintEvent* event) override;
    void released() override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QColor boxColor() const;
    void paintCheckMark(QPainter& painter, const QRect& box) const;

    QString m_caption;
    bool m_checked = false;
    QColor m_color;
    QColor m_colorFocused = Qt::white;
    QColor m_colorDown;
    QColor m_colorCheck = Qt::black;
    QColor m_colorBorder;
    TCheckBoxLayout m_layout = checkboxLeft;
    bool m_transparent = true;
};
