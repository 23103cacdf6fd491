// The chat of the player window: the display, the entry line, the phrase
// buttons with their cool-down, and web links in the display.
#include "client/ChatForm.h"
#include "client/ChatLinks.h"
#include "client/ColorConversion.h"
#include "controls/PlainLabel.h"
#include "controls/SkinArt.h"
#include "controls/SkinSpeedButton.h"
#include "controls/URL.h"
#include "platform/Logging.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>

namespace {

const QString EnterChatHere = QStringLiteral("<Enter Chat Here>");
const std::array<QString, 11> DesignPhrases = {
    QString(),
    QStringLiteral("Way To Go!"),
    QStringLiteral("Good One!"),
    QStringLiteral("Nice Try!"),
    QStringLiteral("Excellent!"),
    QStringLiteral("Brilliant!"),
    QStringLiteral("Wow, WTG!"),
    QStringLiteral("Thanks!"),
    QStringLiteral("Way To Go Teamie!"),
    QStringLiteral("Good Game Everyone!"),
    QStringLiteral("See ya!"),
};

} // namespace

void Tchat::buildChat() {
    QWidget* background = centralWidget();
    using controls::SkinArt;
    const QString ivory = QColor::fromRgba(SkinArt::Ivory).name();
    const QString edge = QColor::fromRgba(SkinArt::WoodLight).name();
    const QString ink = QColor::fromRgba(SkinArt::Ink).name();
    mainchat->setStyleSheet(
        QStringLiteral("QTextEdit { background: %1; border: 1px solid %2; }").arg(ivory, edge));
    mainchat->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mainchat->document()->setDocumentMargin(5);
    mainchat->setContextMenuPolicy(Qt::CustomContextMenu);
    mainchat->viewport()->setMouseTracking(true);
    mainchat->viewport()->installEventFilter(this);
    QFont chatFont(QStringLiteral("Sans Serif"));
    chatFont.setPointSize(8);
    mainchat->setFont(chatFont);
    followChatEnd();

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    QAction* copy = PopupMenu1->addAction(QStringLiteral("Copy"), this, &Tchat::Copy1Click);
    copy->setObjectName(QStringLiteral("Copy1"));
    copy->setShortcut(QKeySequence(QStringLiteral("Ctrl+C")));
    PopupMenu1->addSeparator();
    ScrollChatOff1 = PopupMenu1->addAction(QStringLiteral("Scroll Chat Off"));
    ScrollChatOff1->setObjectName(QStringLiteral("ScrollChatOff1"));
    ScrollChatOff1->setCheckable(true);
    connect(ScrollChatOff1, &QAction::triggered, this, &Tchat::ScrollChatOff1Click);
    ScrollChatOff1->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
    connect(mainchat, &QTextEdit::customContextMenuRequested, this,
            [this](QPoint at) { PopupMenu1->popup(mainchat->mapToGlobal(at)); });

    mychat = new QLineEdit(EnterChatHere, background);
    mychat->setObjectName(QStringLiteral("mychat"));
    mychat->setGeometry(0, 426, 366, 22);
    mychat->setFrame(false);
    mychat->setStyleSheet(
        QStringLiteral("QLineEdit { background: %1; color: %2; border: 1px solid %3;"
                       " border-radius: 3px; padding-left: 3px; }")
            .arg(ivory, ink, edge));
    mychat->setProperty("look", mychat->styleSheet()); // the text colour goes on top of it
    mychat->installEventFilter(this);

    image_sitebadge = new TPlainLabel(background);
    image_sitebadge->setObjectName(QStringLiteral("Image4"));
    image_sitebadge->setGeometry(368, 426, 114, 22);
    image_sitebadge->setToolTip(QStringLiteral("www.dunvex.example"));
    image_sitebadge->setCursor(Qt::PointingHandCursor);
    image_sitebadge->installEventFilter(this);

    for (int button = 1; button <= 10; ++button) {
        auto* phraseButton = new TSkinSpeedButton(background);
        phraseButton->setObjectName(QStringLiteral("b_phrase%1").arg(button));
        phraseButton->setGeometry(488 + (button - 1) * 27, 427, 25, 21);
        phraseButton->setColor(QColor::fromRgba(SkinArt::Ivory));
        phraseButton->setColorFocused(Qt::white);
        phraseButton->setColorDown(QColor::fromRgba(SkinArt::Paper));
        phraseButton->setColorBorder(QColor::fromRgba(SkinArt::WoodLight));
        phraseButton->setColorShadow(QColor::fromRgba(SkinArt::Wood));
        phraseButton->setCursor(Qt::PointingHandCursor);
        phraseButton->setProperty("tag", button);
        if (button <= 9)
            connect(phraseButton, &TSkinSpeedButton::clicked, this,
                    [this, button] { b_phrase1Click(button); });
        b_phrase[button] = phraseButton;
        setPhrase(button, DesignPhrases[button]);
    }
}

// A display that shows its newest lines keeps them in view when its height
// changes (a new text size lays every line out again), unless the player has
// stopped the chat from scrolling.
void Tchat::followChatEnd() {
    QScrollBar* scroll = mainchat->verticalScrollBar();
    connect(scroll, &QScrollBar::valueChanged, this,
            [this, scroll](int value) { m_chatAtEnd = value == scroll->maximum(); });
    connect(scroll, &QScrollBar::rangeChanged, this, [this, scroll](int, int maximum) {
        if (m_chatAtEnd && !m_scrollChatOff)
            scroll->setValue(maximum);
    });
}

QString Tchat::phrase(int button) const {
    return m_phrases[std::size_t(button)];
}

// A phrase comes from the settings file, which the lobby writes too: its hint
// shows it as written.
void Tchat::setPhrase(int button, const QString& text) {
    m_phrases[std::size_t(button)] = text;
    b_phrase[button]->setToolTip(controls::plainToolTip(text));
    b_phrase[button]->setAccessibleName(text);
}

void Tchat::addlinetochat(const QString& text, TColor color) {
    qCInfo(lcChat).noquote() << text;
    QScrollBar* scroll = mainchat->verticalScrollBar();
    const bool keepView = m_scrollChatOff;
    const int firstVisible = scroll->value();
    // As numbers: a cursor at the end would move along with the new text and
    // stretch the player's selection over it.
    const int selectionAnchor = mainchat->textCursor().anchor();
    const int selectionPosition = mainchat->textCursor().position();

    QTextCursor cursor(mainchat->document());
    cursor.movePosition(QTextCursor::End);
    if (!mainchat->document()->isEmpty())
        cursor.insertBlock();
    const int lineStart = cursor.position();
    QTextCharFormat format;
    format.setForeground(client::toQColor(color));
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    const qsizetype boldLength = colon < 0 ? 0 : colon + 1;
    format.setFontWeight(QFont::Bold);
    cursor.insertText(text.left(boldLength), format);
    format.setFontWeight(QFont::Normal);
    cursor.insertText(text.mid(boldLength), format);
    markLinks(lineStart, text);

    QTextCursor selection(mainchat->document());
    selection.setPosition(selectionAnchor);
    selection.setPosition(selectionPosition, QTextCursor::KeepAnchor);
    mainchat->setTextCursor(selection);
    if (keepView)
        scroll->setValue(firstVisible);
    else
        scroll->setValue(scroll->maximum());
}

// Links look like links: underlined, in the link colour, over the line's own format.
void Tchat::markLinks(int lineStart, const QString& text) {
    QTextCharFormat look;
    look.setFontUnderline(true);
    look.setForeground(QColor(0x1a, 0x4f, 0xc4));
    for (const client::ChatLink& link : client::findLinks(text)) {
        QTextCursor span(mainchat->document());
        span.setPosition(lineStart + int(link.start));
        span.setPosition(lineStart + int(link.start + link.length), QTextCursor::KeepAnchor);
        span.mergeCharFormat(look);
    }
}

// ---------------------------------------------------------------- sending

bool Tchat::mychatKeyPress(int key) {
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    sendit();
    return true;
}

// The entry line's text is the player's input: chat, or an action after "/me".
void Tchat::sendit() {
    if (!m_session.loggedIn())
        return;
    const QString text = mychat->text();
    const client::TPlayerSettings& settings = m_session.settings();
    m_session.chat(text, text.startsWith(QLatin1String("/me")) ? settings.actionColor
                                                               : settings.textColor);
    mychat->clear();
}

void Tchat::b_phrase1Click(int button) {
    if (!phraseready || !m_session.loggedIn())
        return;
    m_session.phrase(phrase(button), m_session.settings().actionColor);
    phraseready = false;
    phraseticks = 0;
    timer_phrase->start();
}

// Ticks of the 1 ms timer before the next phrase may go.
constexpr int PhraseCoolDownTicks = 100;

// The phrase cool-down, counted in ticks while it runs.
void Tchat::timer_phraseTimer() {
    if (phraseready || ++phraseticks <= PhraseCoolDownTicks)
        return;
    phraseready = true;
    phraseticks = 0;
    timer_phrase->stop();
}

// ---------------------------------------------------------------- display

void Tchat::Copy1Click() {
    QApplication::clipboard()->setText(mainchat->textCursor().selectedText());
}

// Both items toggle one switch; whichever was clicked, both show its state.
void Tchat::ScrollChatOff1Click(bool off) {
    m_scrollChatOff = off;
    ScrollChatOff1->setChecked(off);
    ScrollOff1->setChecked(off);
}

void Tchat::PhraseList1Click() {
    QStringList nine;
    for (int button = 1; button <= 9; ++button)
        nine << phrase(button);
    emit phraseListWanted(nine);
}

// The link under a point of the display: none beyond the end of a line.
std::optional<std::pair<QTextBlock, client::ChatLink>> Tchat::linkAt(const QPoint& position) const {
    const QPoint inDocument(position.x() + mainchat->horizontalScrollBar()->value(),
                            position.y() + mainchat->verticalScrollBar()->value());
    if (mainchat->document()->documentLayout()->hitTest(inDocument, Qt::ExactHit) < 0)
        return std::nullopt;
    const QTextCursor at = mainchat->cursorForPosition(position);
    const auto link = client::findLink(at.block().text(), at.positionInBlock());
    if (!link)
        return std::nullopt;
    return std::make_pair(at.block(), *link);
}

void Tchat::mainchatMouseMove(const QPoint& position) {
    mainchat->viewport()->setCursor(linkAt(position) ? Qt::PointingHandCursor : Qt::IBeamCursor);
}

void Tchat::mainchatMouseDown(Qt::MouseButton button, const QPoint& position) {
    if (button != Qt::LeftButton)
        return;
    const auto found = linkAt(position);
    if (!found)
        return;
    const auto& [block, link] = *found;
    QTextCursor selection(block);
    selection.setPosition(block.position() + int(link.start));
    selection.setPosition(block.position() + int(link.start + link.length),
                          QTextCursor::KeepAnchor);
    mainchat->setTextCursor(selection);
    controls::shellOpen(selection.selectedText());
}

bool Tchat::eventFilter(QObject* watched, QEvent* event) {
    if (isSecondPressOfDoubleClick(watched, event))
        return true;
    if (watched == mychat && event->type() == QEvent::KeyPress) {
        if (mychat->text() == EnterChatHere)
            mychat->clear();
        return mychatKeyPress(static_cast<QKeyEvent*>(event)->key());
    }
    if (watched == mainchat->viewport() && event->type() == QEvent::MouseMove) {
        mainchatMouseMove(static_cast<QMouseEvent*>(event)->position().toPoint());
    } else if (watched == mainchat->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint at = mouse->position().toPoint();
        // A click on a link is ours: the display must not move the selection after it.
        const bool onLink = mouse->button() == Qt::LeftButton && linkAt(at);
        mainchatMouseDown(mouse->button(), at);
        if (onLink)
            return true;
    } else if (event->type() == QEvent::Enter && watched->parent() == panel_board) {
        showDiceCursors();
    } else if (watched == image_sitebadge && event->type() == QEvent::MouseButtonRelease) {
        emit siteWanted();
    } else if (event->type() == QEvent::MouseButtonRelease && watched->property("tag").isValid()) {
        boardClick(watched);
    }
    return QMainWindow::eventFilter(watched, event);
}
