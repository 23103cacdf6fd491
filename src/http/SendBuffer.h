#pragma once

#include <QtGlobal>
#include <array>
#include <deque>
#include <sys/uio.h>

// The send queue of TAsyncSocket: data waiting for the network, kept in
// buffers of one TCP segment each (1460 bytes). New data fills the last
// buffer before a new one is added; the network takes from the first.
class TSendBuffer {
public:
    static constexpr int BufferSize = 1460;

    void append(const char* data, qsizetype length);
    // Up to maxParts pieces of the queued data, in order, for one writev.
    int gather(iovec* parts, int maxParts) const;
    // Drops count bytes from the front (what the network took).
    void consume(qsizetype count);
    void clear();
    bool isEmpty() const { return m_size == 0; }
    qsizetype size() const { return m_size; }
    // Number of 1460-byte buffers in use.
    qsizetype bufferCount() const { return qsizetype(m_buffers.size()); }

private:
    struct Buffer {
        std::array<char, BufferSize> bytes;
        int begin = 0; // first byte not yet sent
        int end = 0;   // one past the last byte queued
    };
    std::deque<Buffer> m_buffers;
    qsizetype m_size = 0;
};
