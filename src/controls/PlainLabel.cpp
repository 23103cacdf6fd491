#include "controls/PlainLabel.h"

TPlainLabel::TPlainLabel(QWidget* parent)
    : QLabel(parent) {
    setTextFormat(Qt::PlainText);
}

TPlainLabel::TPlainLabel(const QString& text, QWidget* parent)
    : QLabel(parent) {
    // The format first: the text must never be looked at as markup.
    setTextFormat(Qt::PlainText);
    setText(text);
}

namespace controls {

QString plainToolTip(const QString& text) {
    if (text.isEmpty())
        return text;
    // Escaped markup is the only way to make Qt show a tool tip as written.
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() +
           QStringLiteral("</p>");
}

} // namespace controls
