#include "windows/PhrasesForm.h"

#include "controls/PlainLabel.h"
#include "platform/Environment.h"
#include "platform/ExceptionHandler.h"
#include "platform/IniFile.h"

#include <QGridLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>

namespace {

const QString SettingsSection = QStringLiteral("Dunvex");
const QString SettingsFileName = QStringLiteral("kelvlobby.ini");

Q_LOGGING_CATEGORY(lcPhrases, "dunvex.phrases")

// A pasted line break would split the ini line and forge a key of its own.
QString oneLine(QString text) {
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

} // namespace

Tphrases::Tphrases(QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("phrases"));
    setWindowTitle(QStringLiteral("Phrase Buttons - Dunvex"));
    setStyleSheet(QStringLiteral("#phrases { background: black; }"
                                 "QLabel { color: #00c000; font-weight: bold; }"
                                 "QLineEdit { background: #f4f4ec; color: black; }"));
    resize(354, 288);

    auto* layout = new QGridLayout(this);
    layout->setColumnStretch(1, 1);
    for (int n = 1; n <= PhraseCount; ++n) {
        auto* label = new TPlainLabel(QStringLiteral("Phrase Button %1:").arg(n), this);
        phrase[n] = new QLineEdit(this);
        phrase[n]->setObjectName(QStringLiteral("phrase%1").arg(n));
        phrase[n]->setMaxLength(MaxPhraseLength);
        label->setBuddy(phrase[n]);
        layout->addWidget(label, n - 1, 0);
        layout->addWidget(phrase[n], n - 1, 1);
    }
    SelButton8 = new QPushButton(QStringLiteral("Done"), this);
    SelButton8->setObjectName(QStringLiteral("SelButton8"));
    layout->addWidget(SelButton8, PhraseCount, 0, 1, 2, Qt::AlignHCenter);
    connect(SelButton8, &QPushButton::clicked, this, &Tphrases::SelButton8Click);
}

void Tphrases::setPhrases(const QStringList& nine) {
    m_current = nine.mid(0, PhraseCount);
    showPhrases(m_current);
}

QStringList Tphrases::phrases() const {
    QStringList texts;
    for (int n = 1; n <= PhraseCount; ++n)
        texts << oneLine(phrase[n]->text());
    return texts;
}

void Tphrases::showPhrases(const QStringList& nine) {
    for (int n = 1; n <= PhraseCount; ++n)
        phrase[n]->setText(n <= nine.size() ? nine.at(n - 1) : QString());
}

void Tphrases::SelButton8Click() {
    const QStringList texts = phrases();
    m_current = texts;
    if (onPhrasesChanged)
        platform::runGuarded([&] { onPhrasesChanged(texts); });

    // All nine are written, changed or not, so the file always holds the set
    // the buttons show.
    platform::IniFile ini(platform::dataFilePath(SettingsFileName));
    for (int n = 1; n <= PhraseCount; ++n)
        ini.writeString(SettingsSection, QStringLiteral("Phrase%1").arg(n), texts.at(n - 1));
    if (!ini.save())
        qCWarning(lcPhrases) << "phrases could not be written";
    close();
}

void Tphrases::hideEvent(QHideEvent* event) {
    // Edits not confirmed with "Done" are dropped; minimising keeps them.
    if (!event->spontaneous())
        showPhrases(m_current);
    QWidget::hideEvent(event);
}
