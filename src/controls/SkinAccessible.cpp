#include "controls/SkinAccessible.h"

#include "controls/SkinControl.h"

#include <QAccessibleWidget>

namespace controls {

namespace {

class SkinControlAccessible : public QAccessibleWidget {
public:
    explicit SkinControlAccessible(TSkinControl* control)
        : QAccessibleWidget(control,
                            control->isCheckable() ? QAccessible::CheckBox : QAccessible::Button) {}

    QString text(QAccessible::Text kind) const override {
        const QString own = QAccessibleWidget::text(kind);
        if (kind != QAccessible::Name || !own.isEmpty())
            return own;
        const QString caption = control()->spokenCaption();
        return caption.isEmpty() ? control()->toolTip() : caption;
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = control()->isCheckable();
        state.checked = control()->isChecked();
        state.pressed = control()->isPressed();
        return state;
    }

    QStringList actionNames() const override {
        return control()->isEnabled() ? QStringList{pressAction()} : QStringList();
    }

    void doAction(const QString& name) override {
        if (name == pressAction() || name == toggleAction())
            control()->press();
    }

private:
    TSkinControl* control() const { return static_cast<TSkinControl*>(widget()); }
};

QAccessibleInterface* skinFactory(const QString&, QObject* object) {
    if (auto* control = qobject_cast<TSkinControl*>(object))
        return new SkinControlAccessible(control);
    return nullptr;
}

} // namespace

void installSkinAccessible() {
    static const bool installed = [] {
        QAccessible::installFactory(skinFactory);
        return true;
    }();
    (void)installed;
}

} // namespace controls
