#pragma once

#include <QLoggingCategory>
#include <QString>

// Trace categories, silent below warnings unless switched on with
// QT_LOGGING_RULES (for example "dunvex.*.info=true").
Q_DECLARE_LOGGING_CATEGORY(lcSocket)
Q_DECLARE_LOGGING_CATEGORY(lcHost)
Q_DECLARE_LOGGING_CATEGORY(lcLaunch)
Q_DECLARE_LOGGING_CATEGORY(lcChat)

namespace platform {

// The longest message a log line shows; a longer one is cut and ends in "…".
constexpr int MaxLogMessage = 200;

// A log message as a log line may show it, whatever peer text it holds: no
// control character (which could start a line of its own, move a terminal's
// cursor or hide text) and at most MaxLogMessage characters. Control and
// format characters become escapes: \r, \n, \t, \xNN below U+0100 (ESC is
// \x1b), \uNNNN above; a backslash is doubled, so an escape is never
// ambiguous.
QString printableLogText(const QString& message);

} // namespace platform
