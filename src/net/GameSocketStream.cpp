#include "net/GameSocketStream.h"

#include "net/GameSocket.h"

#include <algorithm>
#include <cstring>

qint64 TGameSocketStream::Read(char* buffer, qint64 count) {
    if (count <= 0)
        return 0;
    const int asked = int(std::min<qint64>(count, TGameSocket::ReceiveAreaSize));
    const QByteArray received = m_socket.Receive(asked);
    // A blocking receive hands out everything buffered, which may be more
    // than was asked for: the caller's buffer only takes count bytes.
    const qsizetype taken = std::min<qsizetype>(received.size(), count);
    std::memcpy(buffer, received.constData(), size_t(taken));
    if (taken < received.size())
        m_socket.giveBack(received.mid(taken));
    return taken;
}

qint64 TGameSocketStream::Write(const char* buffer, qint64 count) {
    if (count <= 0)
        return 0;
    m_socket.Send(QByteArray(buffer, qsizetype(count)));
    return count;
}

qint64 TGameSocketStream::Seek(qint64, int) {
    return 0;
}
