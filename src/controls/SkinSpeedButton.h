#pragma once

#include "controls/SkinControl.h"

#include <QColor>
#include <QPixmap>
#include <functional>

// A flat speed button with a glyph: the phrase buttons and the other small
// picture buttons. Flat when idle, raised under the mouse, sunken while
// pressed or latched down in a group.
class TSkinSpeedButton : public TSkinControl {
    Q_OBJECT
public:
    enum TTransparentMode { tmAlways, tmNotFocused, tmNone };
    enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
    // The four pictures a glyph strip may hold, left to right.
    enum TGlyphState { gsUp, gsDisabled, gsPressed, gsLatched };

    explicit TSkinSpeedButton(QWidget* parent = nullptr);
    ~TSkinSpeedButton() override;

    QColor Color() const;
    void setColor(const QColor& color);
    QColor ColorFocused() const;
    void setColorFocused(const QColor& color);
    QColor ColorDown() const;
    void setColorDown(const QColor& color);
    QColor ColorBorder() const;
    void setColorBorder(const QColor& color);
    QColor ColorHighLight() const { return m_colorHighLight; }
    void setColorHighLight(const QColor& color);
    QColor ColorShadow() const { return m_colorShadow; }
    void setColorShadow(const QColor& color);

    QString Caption() const { return m_caption; }
    QString spokenCaption() const override { return m_caption; }
    void setCaption(const QString& caption);
    // A strip of 1 to 4 pictures side by side (up, disabled, pressed, latched).
    QPixmap Glyph() const { return m_glyph; }
    void setGlyph(const QPixmap& glyph);
    int NumGlyphs() const { return m_numGlyphs; }
    // For strips of pictures wider than high, which the width alone cannot tell.
    void setNumGlyphs(int count);
    TButtonLayout Layout() const { return m_layout; }
    void setLayout(TButtonLayout layout);
    // Distance of the glyph from the edge; -1 centres glyph and caption.
    int Margin() const { return m_margin; }
    void setMargin(int margin);
    int Spacing() const { return m_spacing; }
    void setSpacing(int spacing);
    TTransparentMode TransparentMode() const { return m_transparentMode; }
    void setTransparentMode(TTransparentMode mode);

    int GroupIndex() const { return m_groupIndex; }
    void setGroupIndex(int index);
    bool AllowAllUp() const { return m_allowAllUp; }
    void setAllowAllUp(bool allow);
    bool Down() const { return m_down; }
    void setDown(bool down);
    int ModalResult() const { return m_modalResult; }
    void setModalResult(int result) { m_modalResult = result; }

    // Derives the focused, down and border colours from Color by percentages.
    bool UseAdvColors() const { return m_useAdvColors; }
    void setUseAdvColors(bool use);
    void setAdvColors(int focused, int down, int border);

    // What a click does: toggles Down in a group, sets the dialog's result, calls OnClick.
    void click();

    std::function<void()> OnClick;

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void released() override;

private:
    void releaseGroup();
    QList<TSkinSpeedButton*> groupMates() const;
    QColor faceColor(bool& filled) const;
    TGlyphState glyphState() const;
    void paintEdge(QPainter& painter) const;
    void paintContent(QPainter& painter) const;

    QColor m_color;
    QColor m_colorFocused;
    QColor m_colorDown;
    QColor m_colorBorder;
    QColor m_colorHighLight = Qt::white;
    QColor m_colorShadow = Qt::black;
    QString m_caption;
    QPixmap m_glyph;
    int m_numGlyphs = 1;
    TButtonLayout m_layout = blGlyphLeft;
    int m_margin = -1;
    int m_spacing = 4;
    TTransparentMode m_transparentMode = tmNone;
    int m_groupIndex = 0;
    bool m_allowAllUp = false;
    bool m_down = false;
    int m_modalResult = 0;
    bool m_useAdvColors = false;
    int m_advFocused = 10;
    int m_advDown = 10;
    int m_advBorder = 50;
};
