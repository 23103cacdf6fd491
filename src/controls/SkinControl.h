#pragma once

#include "controls/HoverSlot.h"

#include <QWidget>
#include <functional>

// What the skinned buttons and the check box share: the hover state, shown by
// one control of a class at a time, the pressed state, and a left-button
// release over the control as its action.
class TSkinControl : public QWidget {
    Q_OBJECT
public:
    ~TSkinControl() override;

    bool isHovered() const { return m_hovered; }
    bool isPressed() const { return m_pressed; }

    // What assistive technology reads and does: the caption, whether the
    // control is a check box and its state, and a press without a mouse.
    virtual QString spokenCaption() const { return QString(); }
    virtual bool isCheckable() const { return false; }
    virtual bool isChecked() const { return false; }
    void press();

protected:
    // `slot` is the one hover slot of the subclass; with `onlyWhenActive` the
    // control shows no hover while the game is in the background.
    TSkinControl(QWidget* parent, controls::HoverSlot& slot, bool onlyWhenActive);

    // The left button went up over the control it went down on.
    virtual void released() = 0;

    void setHovered(bool hovered);
    // Runs a handler that may close the window and take the control with it;
    // true when the control lives on.
    bool survives(const std::function<void()>& handler);

    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    controls::HoverSlot& m_slot;
    bool m_onlyWhenActive;
    bool m_hovered = false;
    bool m_pressed = false;
};
