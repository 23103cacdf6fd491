#pragma once

#include "net/GameSocket.h"

#include <QThread>

// Hands one connection, accepted automatically on a blocking listener, to the
// listener's OnAutoAccept on a thread of its own, so the handler can block on
// the new socket without holding up the listener. The thread ends when the
// handler returns, and its object then goes away by itself.
//
// The handler is copied when the connection is accepted: the listener may be
// given another one meanwhile without racing this thread. The listener waits
// for its threads before it and its sockets are destroyed.
class TGameSocketThread : public QThread {
    Q_OBJECT
public:
    TGameSocketThread(TGameSocket* listener, TGameSocket* newSock, TNotifyAutoEvent handler);

protected:
    void run() override;

private:
    TGameSocket* m_listener;
    TGameSocket* m_newSock;
    TNotifyAutoEvent m_handler;
};
