#pragma once

#include <QObject>

class QSocketNotifier;

namespace platform {

// Turns SIGINT and SIGTERM into a Qt signal on the GUI thread, so a program
// can end cleanly through its event loop.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void terminationRequested(int signalNumber);

private:
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace platform
