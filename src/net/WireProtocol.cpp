#include "net/WireProtocol.h"

#include "platform/StrToInt.h"

namespace net {

QByteArray toWire(const QString& text) {
    QByteArray bytes = text.toLatin1();
    // The terminator and line breaks cannot travel inside a message.
    for (char& byte : bytes)
        if (byte == Terminator || byte == '\r' || byte == '\n')
            byte = byte == Terminator ? 'y' : ' ';
    return bytes;
}

QString fromWire(const QByteArray& bytes) {
    return QString::fromLatin1(bytes);
}

WireMessage::WireMessage(const char* command)
    : m_bytes(command) {}

WireMessage& WireMessage::field(const QString& text) {
    m_bytes += '+';
    m_bytes += toWire(text);
    return *this;
}

WireMessage& WireMessage::field(int number) {
    return field(QString::number(number));
}

WireMessage& WireMessage::rawField(const QByteArray& bytes) {
    m_bytes += '+';
    m_bytes += bytes;
    return *this;
}

WireMessage& WireMessage::append(const QString& text) {
    m_bytes += toWire(text);
    return *this;
}

QByteArray WireMessage::bytes() const {
    return m_bytes + Terminator;
}

WireLine splitLine(const QByteArray& line) {
    const qsizetype plus = line.indexOf('+');
    if (plus < 0)
        return {};
    return {fromWire(line.left(plus)), fromWire(line.mid(plus + 1))};
}

FieldReader::FieldReader(QString arguments)
    : m_arguments(std::move(arguments)) {}

QString FieldReader::text() {
    if (atEnd())
        return QString();
    qsizetype end = m_arguments.indexOf(QLatin1Char('+'), m_position);
    if (end < 0)
        end = m_arguments.size();
    QString field = m_arguments.mid(m_position, end - m_position);
    m_position = end + 1;
    return field;
}

int FieldReader::number() {
    return platform::StrToInt(text());
}

QString FieldReader::rest() {
    QString rest = atEnd() ? QString() : m_arguments.mid(m_position);
    m_position = m_arguments.size() + 1;
    return rest;
}

MessageFramer::MessageFramer(qsizetype maxMessageLength)
    : m_maxMessageLength(maxMessageLength) {}

bool MessageFramer::append(const QByteArray& bytes, std::deque<QByteArray>& lines) {
    bool intact = true;
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype end = bytes.indexOf(Terminator, start);
        const qsizetype segmentEnd = end < 0 ? bytes.size() : end;
        if (!m_skipping) {
            if (m_remainder.size() + (segmentEnd - start) > m_maxMessageLength) {
                m_remainder.clear();
                m_skipping = true;
                intact = false;
            } else {
                m_remainder.append(bytes.constData() + start, segmentEnd - start);
            }
        }
        if (end < 0)
            break;
        // An empty message says nothing: it is never queued.
        if (!m_skipping && !m_remainder.isEmpty())
            lines.push_back(std::exchange(m_remainder, QByteArray()));
        m_skipping = false;
        start = end + 1;
    }
    return intact;
}

void MessageFramer::clear() {
    m_remainder.clear();
    m_skipping = false;
}

} // namespace net
