#include "http/SendBuffer.h"

#include <algorithm>
#include <cstring>

void TSendBuffer::append(const char* data, qsizetype length) {
    while (length > 0) {
        if (m_buffers.empty() || m_buffers.back().end == BufferSize)
            m_buffers.emplace_back();
        Buffer& last = m_buffers.back();
        const int room = BufferSize - last.end;
        const int taken = int(std::min<qsizetype>(room, length));
        std::memcpy(last.bytes.data() + last.end, data, size_t(taken));
        last.end += taken;
        data += taken;
        length -= taken;
        m_size += taken;
    }
}

int TSendBuffer::gather(iovec* parts, int maxParts) const {
    int count = 0;
    for (const Buffer& buffer : m_buffers) {
        if (count == maxParts)
            break;
        parts[count].iov_base = const_cast<char*>(buffer.bytes.data() + buffer.begin);
        parts[count].iov_len = size_t(buffer.end - buffer.begin);
        ++count;
    }
    return count;
}

void TSendBuffer::consume(qsizetype count) {
    count = std::min(count, m_size);
    m_size -= count;
    while (count > 0) {
        Buffer& first = m_buffers.front();
        const int taken = int(std::min<qsizetype>(first.end - first.begin, count));
        first.begin += taken;
        count -= taken;
        if (first.begin == first.end)
            m_buffers.pop_front();
    }
}

void TSendBuffer::clear() {
    m_buffers.clear();
    m_size = 0;
}
