#pragma once

#include "DunvexVersion.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <deque>

// The game's text protocol: a command name beginning "CMD_", fields each
// preceded by "+", and one terminator byte 0xFF. No escaping: a field that may
// hold "+" is the last one, and its reader takes everything after the previous
// separator.
namespace net {

inline constexpr char Terminator = char(0xFF);

// The program's version text, compared exactly at login.
inline constexpr const char* GameVersion = dunvex::Version;

// Text on the wire is single-byte (Latin-1).
QByteArray toWire(const QString& text);
QString fromWire(const QByteArray& bytes);

// Builds one message: WireMessage("CMD_chat").field(slot).field(text).bytes().
class WireMessage {
public:
    explicit WireMessage(const char* command);
    WireMessage& field(const QString& text);
    WireMessage& field(const char* text) { return field(QString::fromLatin1(text)); }
    WireMessage& field(int number);
    // A field of bytes taken as they are (the login text carries its own terminator).
    WireMessage& rawField(const QByteArray& bytes);
    // Appends text right after the previous field, without a separator.
    WireMessage& append(const QString& text);
    // The whole message, terminator included, ready for one Send.
    QByteArray bytes() const;

private:
    QByteArray m_bytes;
};

// A received line cut into its command and the text after the first "+".
struct WireLine {
    QString command; // empty for a line without "+": such a line is dropped
    QString arguments;
};
WireLine splitLine(const QByteArray& line);

// Reads the "+"-separated fields of a message's arguments from the left.
// Missing fields read as empty text; numbers are plain decimals, and a field
// that is none raises platform::EConvertError.
class FieldReader {
public:
    explicit FieldReader(QString arguments);
    QString text(); // the next field
    int number();   // the next field as a number
    QString rest(); // everything not read yet, "+" included
    bool atEnd() const { return m_position > m_arguments.size(); }

private:
    QString m_arguments;
    qsizetype m_position = 0;
};

// Cuts one connection's byte stream into messages at the terminator. Bytes
// after the last terminator wait for the next read; empty messages are dropped. A message longer
// than the limit is never kept whole: it is skipped up to its terminator and reported.
class MessageFramer {
public:
    explicit MessageFramer(qsizetype maxMessageLength = 64 * 1024);

    // Appends bytes; complete messages (terminator removed) go to `lines`.
    // Returns false when an over-long message had to be skipped.
    bool append(const QByteArray& bytes, std::deque<QByteArray>& lines);
    void clear();
    qsizetype pendingLength() const { return m_remainder.size(); }

private:
    qsizetype m_maxMessageLength;
    QByteArray m_remainder;
    bool m_skipping = false;
};

} // namespace net
