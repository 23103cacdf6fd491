#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QSocketNotifier;

namespace platform {

// One copy of the program at a time. The first instance holds the name and
// listens; a later instance finds the name taken, knocks once (which asks the
// first to raise its window) and is told to exit.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& name, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when another instance was already running; it has been asked to
    // come to the front (when activate is set). Needs no event loop, so it can
    // run before anything else is set up.
    bool anotherInstanceRuns(bool activate);

    // Called in the first instance whenever a later one knocks; knocks are
    // answered from the event loop once a handler is set.
    void setActivationHandler(std::function<void()> handler);

private:
    void acceptKnock();

    QString m_name;
    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    std::function<void()> m_onActivate;
};

} // namespace platform
