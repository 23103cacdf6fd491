#include "platform/Logging.h"

Q_LOGGING_CATEGORY(lcSocket, "dunvex.socket", QtWarningMsg)
Q_LOGGING_CATEGORY(lcHost, "dunvex.host", QtWarningMsg)
Q_LOGGING_CATEGORY(lcLaunch, "dunvex.launch", QtWarningMsg)
Q_LOGGING_CATEGORY(lcChat, "dunvex.chat", QtWarningMsg)

namespace platform {

namespace {

bool needsEscape(QChar c) {
    const QChar::Category category = c.category();
    return category == QChar::Other_Control || category == QChar::Other_Format ||
           c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

void appendEscaped(QString& text, QChar c) {
    switch (c.unicode()) {
    case '\r':
        text += QLatin1String("\\r");
        return;
    case '\n':
        text += QLatin1String("\\n");
        return;
    case '\t':
        text += QLatin1String("\\t");
        return;
    default:
        break;
    }
    if (c.unicode() < 0x100)
        text += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
    else
        text += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
}

} // namespace

QString printableLogText(const QString& message) {
    QString text;
    qsizetype used = 0;
    for (; used < message.size() && text.size() < MaxLogMessage; ++used) {
        const QChar c = message[used];
        if (c == QLatin1Char('\\'))
            text += QLatin1String("\\\\");
        else if (needsEscape(c))
            appendEscaped(text, c);
        else
            text += c;
    }
    if (used == message.size() && text.size() <= MaxLogMessage)
        return text;
    // Cut, never inside a character that takes two units.
    text.truncate(MaxLogMessage);
    if (text.back().isHighSurrogate())
        text.chop(1);
    return text + QChar(0x2026);
}

} // namespace platform
