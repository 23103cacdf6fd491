#include "windows/TallyListForm.h"

#include "controls/PlainLabel.h"
#include "controls/SelButton.h"
#include "controls/SkinArt.h"
#include "platform/Environment.h"
#include "platform/ExceptionHandler.h"
#include "windows/WindowLook.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QVBoxLayout>
#include <stdexcept>

using windows::TallyBook;

namespace {

const QString Zero = QStringLiteral("0");

QLabel* heading(const QString& text, QWidget* parent) {
    auto* caption = new TPlainLabel(text, parent);
    caption->setStyleSheet(QStringLiteral("QLabel { color: %1; font: bold 13px Arial; }")
                               .arg(QColor::fromRgba(controls::SkinArt::Gold).name()));
    return caption;
}

QLabel* figure(const QString& name, QWidget* parent) {
    auto* value = new TPlainLabel(Zero, parent);
    value->setObjectName(name);
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    value->setMinimumWidth(48);
    return value;
}

QListWidget* playerList(const QString& name, QWidget* parent) {
    auto* list = new QListWidget(parent);
    list->setObjectName(name);
    list->setMinimumWidth(140);
    list->setStyleSheet(windows::lightPanel(QStringLiteral("QListWidget")));
    return list;
}

} // namespace

Ttallylist::Ttallylist(QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("tallylist"));
    setWindowTitle(QStringLiteral("Dunvex - Tally List"));
    setWindowIcon(controls::SkinArt::windowIcon());
    TiledBackground1 = windows::tiledBackground(this);
    // Writing on the wood is cream; the headings set their own gold.
    setStyleSheet(QStringLiteral("QLabel { %1 }").arg(windows::onWood(12, false)));
    auto* grid = new QGridLayout;
    buildOwnTotals(grid);
    buildOpponentFigures(grid);

    button_resettally = windows::selButton(QStringLiteral("button_resettally"),
                                           QStringLiteral("Reset Tally"), this);
    SkinButton1 = windows::selButton(QStringLiteral("SkinButton1"), QStringLiteral("Done"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(button_resettally);
    buttons->addStretch();
    buttons->addWidget(SkinButton1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    connect(checklist, &QListWidget::itemChanged, this, &Ttallylist::checklistClickCheck);
    connect(listbox_tally, &QListWidget::itemChanged, this, &Ttallylist::listbox_tallyClickCheck);
    connect(listbox_tally, &QListWidget::itemSelectionChanged, this,
            &Ttallylist::listbox_tallyClick);
    connect(button_resettally, &TSelButton::clicked, this, &Ttallylist::button_resettallyClick);
    connect(SkinButton1, &TSelButton::clicked, this, &Ttallylist::SkinButton1Click);
    FormCreate();
}

Ttallylist::~Ttallylist() {
    FormDestroy();
}

// Left: "Your Total Tally" and the two lists.
void Ttallylist::buildOwnTotals(QGridLayout* grid) {
    grid->addWidget(heading(QStringLiteral("Your Total Tally"), this), 0, 0, 1, 2);
    const char* captions[] = {"Total Games:", "Your Wins:", "5 of a Kind:", "Highest Scoring Game"};
    for (int k = 1; k <= 4; ++k) {
        grid->addWidget(new TPlainLabel(QString::fromLatin1(captions[k - 1]), this), k, 0);
        mylabel[k] = figure(QStringLiteral("mylabel_%1").arg(k), this);
        grid->addWidget(mylabel[k], k, 1);
    }
    checklist = playerList(QStringLiteral("checklist"), this);
    listbox_tally = playerList(QStringLiteral("listbox_tally"), this);
    grid->addWidget(heading(QStringLiteral("Players In Current Game"), this), 5, 0, 1, 2);
    grid->addWidget(checklist, 6, 0, 1, 2);
    grid->addWidget(heading(QStringLiteral("Players Being Tallied"), this), 5, 2, 1, 3);
    grid->addWidget(listbox_tally, 6, 2, 1, 3);
}

// Right, above the tallied list: the selected opponent, "Total" and "Session".
void Ttallylist::buildOpponentFigures(QGridLayout* grid) {
    label_hisnametop = heading(QString(), this);
    label_hisnametop->setObjectName(QStringLiteral("label_hisnametop"));
    label_hisname = new TPlainLabel(QStringLiteral("Wins:"), this);
    label_hisname->setObjectName(QStringLiteral("label_hisname"));
    grid->addWidget(label_hisnametop, 0, 2);
    grid->addWidget(heading(QStringLiteral("Total"), this), 0, 3, Qt::AlignRight);
    grid->addWidget(heading(QStringLiteral("Session"), this), 0, 4, Qt::AlignRight);
    QLabel* captions[] = {new TPlainLabel(QStringLiteral("Number of Games"), this), label_hisname,
                          new TPlainLabel(QStringLiteral("Your Wins:"), this),
                          new TPlainLabel(QStringLiteral("Neither Won:"), this)};
    for (int k = 1; k <= 4; ++k) {
        grid->addWidget(captions[k - 1], k, 2);
        label[k] = figure(QStringLiteral("label_%1").arg(k), this);
        label[k + 4] = figure(QStringLiteral("label_%1").arg(k + 4), this);
        grid->addWidget(label[k], k, 3);
        grid->addWidget(label[k + 4], k, 4);
    }
    grid->setColumnStretch(2, 1);
}

// ------------------------------------------------------------ the player window

void Ttallylist::showplayers(const QStringList& names) {
    checklist->clear();
    for (const QString& name : names) {
        auto* entry = new QListWidgetItem(name, checklist);
        entry->setFlags(entry->flags() | Qt::ItemIsUserCheckable);
        entry->setCheckState(listbox_tally->findItems(name, Qt::MatchExactly).isEmpty()
                                 ? Qt::Unchecked
                                 : Qt::Checked);
    }
}

void Ttallylist::checkhighscore(const QString& score) {
    if (m_book.checkhighscore(score))
        mylabel[TallyBook::HighScore]->setText(m_book.cell(TallyBook::HighScore, 0));
}

void Ttallylist::addgame(const QString& winner) {
    if (onLoadChecklist)
        onLoadChecklist();
    QStringList players;
    for (int i = 0; i < checklist->count(); ++i)
        players << checklist->item(i)->text();
    m_book.addgame(winner, players);
    showOwnTotals();
    listbox_tallyClick();
}

void Ttallylist::addtomine(int column) {
    const QString value = m_book.addtomine(column);
    if (column >= 1 && column <= 4)
        mylabel[column]->setText(value);
}

// ------------------------------------------------------------------- the lists

QListWidgetItem* Ttallylist::addTallyItem(const QString& name) {
    auto* item = new QListWidgetItem(name);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Checked);
    listbox_tally->addItem(item);
    return item;
}

QListWidgetItem* Ttallylist::tallyItem(const QString& name) const {
    const auto found = listbox_tally->findItems(name, Qt::MatchFixedString);
    return found.isEmpty() ? nullptr : found.first();
}

// A check box of a current player was clicked: tally that player from now on.
void Ttallylist::checklistClickCheck(QListWidgetItem* item) {
    if (!item)
        return;
    const QString name = item->text();
    if (isTallied(name)) {
        // Unchecking stops nothing; the box keeps showing that the name is tallied.
        if (item->checkState() != Qt::Checked)
            item->setCheckState(Qt::Checked);
        return;
    }
    if (item->checkState() != Qt::Checked || !m_book.startTallying(name))
        return;
    addTallyItem(name);
}

// A tallied opponent was unchecked: delete the tally after asking.
void Ttallylist::listbox_tallyClickCheck(QListWidgetItem* item) {
    if (!item || item->checkState() == Qt::Checked)
        return;
    const QString name = item->text();
    QMessageBox* box = ask("This will delete " + name + "'s Tally, Are you want to delete it?");
    box->setObjectName(QStringLiteral("deletebox"));
    // The answer may come after other changes to the list, so it goes by name.
    connect(box, &QMessageBox::finished, this,
            [this, name](int answer) { deleteAnswered(name, answer == QMessageBox::Yes); });
}

void Ttallylist::deleteAnswered(const QString& name, bool yes) {
    QListWidgetItem* item = tallyItem(name);
    if (!yes) {
        if (item)
            item->setCheckState(Qt::Checked);
        return;
    }
    m_book.stopTallying(name);
    delete item;
    for (int i = 0; i < checklist->count(); ++i)
        if (checklist->item(i)->text().compare(name, Qt::CaseInsensitive) == 0)
            checklist->item(i)->setCheckState(Qt::Unchecked);
    listbox_tallyClick();
}

// Shows the figures of the selected opponent.
void Ttallylist::listbox_tallyClick() {
    QListWidgetItem* item = listbox_tally->currentItem();
    const int row = item && item->isSelected() ? m_book.rowOf(item->text()) : 0;
    for (int column = 1; column <= 8; ++column)
        label[column]->setText(row ? m_book.cell(column, row) : Zero);
    if (!row)
        return;
    const QString name = m_book.cell(TallyBook::Name, row);
    label_hisname->setText(name + " Wins:");
    label_hisnametop->setText(name + "'s Tally");
}

// ----------------------------------------------------------------- the buttons

QMessageBox* Ttallylist::ask(const QString& question) {
    auto* box = new QMessageBox(QMessageBox::Question, windowTitle(), question,
                                QMessageBox::Yes | QMessageBox::No, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    return box;
}

void Ttallylist::button_resettallyClick() {
    QMessageBox* box = ask(QStringLiteral("Are you sure you want to reset the Tally?"));
    box->setObjectName(QStringLiteral("resetbox"));
    connect(box, &QMessageBox::finished, this, [this](int answer) {
        if (answer == QMessageBox::Yes)
            resettally();
    });
}

void Ttallylist::resettally() {
    m_book.reset();
    listbox_tally->clear();
    for (int i = 0; i < checklist->count(); ++i)
        checklist->item(i)->setCheckState(Qt::Unchecked);
    showOwnTotals();
    listbox_tallyClick();
}

void Ttallylist::SkinButton1Click() {
    close();
}

// ---------------------------------------------------------------- load and save

void Ttallylist::FormCreate() {
    m_tallyPath = platform::dataFilePath(QStringLiteral("dunvextally.tld"));
    m_loadProblem = m_book.load(m_tallyPath);
    loadtally();
    if (m_loadProblem.isEmpty())
        return;
    // Told once, before anything is written over the file; the game goes on.
    platform::handleException(std::runtime_error(
        damageReport(m_tallyPath, m_loadProblem, damagedCopyPath()).toLocal8Bit().toStdString()));
}

QString Ttallylist::damageReport(const QString& path, const QString& problem,
                                 const QString& copyPath) {
    return "The tally file " + path + " could not be read whole (" + problem +
           "). The tally starts with what could be read; when the game closes it is saved anew, "
           "and the old file is kept as " +
           copyPath + ".";
}

QString Ttallylist::damagedCopyPath() const {
    return m_tallyPath + QStringLiteral(".damaged");
}

// Failures are only logged: the program is closing, and the old file is still whole.
void Ttallylist::FormDestroy() {
    if (!m_loadProblem.isEmpty() && !windows::TallyBook::keepCopy(m_tallyPath, damagedCopyPath())) {
        qWarning("the tally was not saved: the old file could not be kept");
        return;
    }
    const QString problem = m_book.save(m_tallyPath);
    if (!problem.isEmpty())
        qWarning("the tally was not saved: %s", qPrintable(problem));
}

void Ttallylist::loadtally() {
    showOwnTotals();
    listbox_tally->clear();
    for (const QString& name : m_book.opponents())
        addTallyItem(name);
}

void Ttallylist::showOwnTotals() {
    for (int k = 1; k <= 4; ++k)
        mylabel[k]->setText(m_book.cell(k, 0));
}
