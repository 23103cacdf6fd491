#pragma once

#include <QtGlobal>

class TGameSocket;

// The socket seen as a stream: reading takes what Receive hands out, writing
// goes to Send, and there is nowhere to seek to.
class TGameSocketStream {
public:
    explicit TGameSocketStream(TGameSocket& socket)
        : m_socket(socket) {}

    // Copies at most count bytes into buffer and returns how many. Bytes the
    // socket hands out beyond count stay with it for the next read.
    qint64 Read(char* buffer, qint64 count);
    // Sends count bytes from buffer and returns count.
    qint64 Write(const char* buffer, qint64 count);
    // Does nothing and returns 0.
    qint64 Seek(qint64 offset, int origin);

private:
    TGameSocket& m_socket;
};
