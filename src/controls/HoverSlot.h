#pragma once

#include <QPointer>
#include <QWidget>

namespace controls {

// The one control of a class that shows the hover state. Each skinned control
// class keeps one slot; a control the mouse enters takes the slot over, and
// the control that had it is told to leave, even when its own leave event
// never came (a popup or a grab swallowed it).
class HoverSlot {
public:
    // `control` is now the hovered one; returns the control that must drop
    // its hover state, or nullptr.
    QWidget* enter(QWidget* control) {
        QWidget* before = m_current;
        m_current = control;
        return before == control ? nullptr : before;
    }
    void leave(QWidget* control) {
        if (m_current == control)
            m_current = nullptr;
    }
    QWidget* current() const { return m_current; }

private:
    QPointer<QWidget> m_current;
};

// The hover slot of the control class `Control`.
template <typename Control> HoverSlot& hoverSlotOf() {
    static HoverSlot slot;
    return slot;
}

} // namespace controls
