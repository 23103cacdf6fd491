#pragma once

#include <QLabel>

// Every label in the game's windows is a TPlainLabel. Names, captions and
// totals often come from another player through the host, and a plain QLabel
// guesses whether its text "looks like" markup: a crafted name would then be
// laid out as HTML, loading files it names or nesting tables until the window
// hangs. A TPlainLabel shows its text character for character, always.
class TPlainLabel : public QLabel {
    Q_OBJECT
public:
    explicit TPlainLabel(QWidget* parent = nullptr);
    explicit TPlainLabel(const QString& text, QWidget* parent = nullptr);
};

namespace controls {

// A tool tip that shows `text` as it is. Qt guesses the format of tool tips
// too, so any text not written by the program goes through here.
QString plainToolTip(const QString& text);

} // namespace controls
