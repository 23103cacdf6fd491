#include "net/GameSocketThread.h"

#include "platform/ExceptionHandler.h"

#include <QCoreApplication>
#include <stdexcept>

namespace {

// The error box belongs to the GUI thread: a failure of the handler is handed
// there rather than shown from this thread or let loose to end the process.
void reportOnGuiThread(const std::string& message) {
    QCoreApplication* application = QCoreApplication::instance();
    if (!application) {
        qWarning("%s", message.c_str());
        return;
    }
    QMetaObject::invokeMethod(
        application, [message] { platform::handleException(std::runtime_error(message)); },
        Qt::QueuedConnection);
}

} // namespace

TGameSocketThread::TGameSocketThread(TGameSocket* listener, TGameSocket* newSock,
                                     TNotifyAutoEvent handler)
    : QThread(listener)
    , m_listener(listener)
    , m_newSock(newSock)
    , m_handler(std::move(handler)) {
    connect(this, &QThread::finished, this, &QObject::deleteLater);
}

void TGameSocketThread::run() {
    try {
        m_handler(m_listener, m_newSock);
    } catch (const std::exception& error) {
        reportOnGuiThread(error.what());
    } catch (...) {
        reportOnGuiThread("Unknown failure in an accepted connection's handler");
    }
}
