// The win tally: its table, its window offscreen, and its file in a temporary
// data folder.
#include "support/TestSupport.h"
#include "windows/TallyBook.h"
#include "windows/TallyListForm.h"

#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace testsupport;
using windows::TallyBook;

namespace {

// An opponent's row as "name total-games his mine neither / session the same".
QString rowText(const TallyBook& book, const QString& name) {
    const int row = book.rowOf(name);
    if (row == 0)
        return QStringLiteral("not tallied");
    QStringList cells;
    for (int column = 0; column < TallyBook::ColumnCount; ++column)
        cells << book.cell(column, row) + (column == 4 ? " /" : "");
    return cells.join(QLatin1Char(' '));
}

QString ownText(const TallyBook& book) {
    return QStringList{book.cell(1, 0), book.cell(2, 0), book.cell(3, 0), book.cell(4, 0)}.join(
        QLatin1Char(' '));
}

} // namespace

TEST(TallyBook, GamesCountForTalliedOpponentsInTheGameOnly) {
    TallyBook book;
    for (const char* name : {"Bob", "Cat", "Zed"})
        ASSERT_TRUE(book.startTallying(QString::fromLatin1(name)));

    book.addgame(TallyBook::Mine, {"Bob", "Dan"}); // Dan is not tallied, Zed not playing
    EXPECT_EQ(ownText(book), "1 1 0 0");
    EXPECT_EQ(rowText(book, "Bob"), "Bob 1 0 1 0 / 1 0 1 0");
    EXPECT_EQ(rowText(book, "Zed"), "Zed 0 0 0 0 / 0 0 0 0");
    EXPECT_EQ(rowText(book, "Dan"), "not tallied");

    book.addgame("Bob", {"Bob", "Cat"});
    EXPECT_EQ(ownText(book), "2 1 0 0");
    EXPECT_EQ(rowText(book, "Bob"), "Bob 2 1 1 0 / 2 1 1 0");
    EXPECT_EQ(rowText(book, "Cat"), "Cat 1 0 0 1 / 1 0 0 1");

    // A tie names both: nobody's single win, the local player's neither.
    book.addgame("Bob and Cat", {"Bob", "Cat"});
    EXPECT_EQ(ownText(book), "3 1 0 0");
    EXPECT_EQ(rowText(book, "Bob"), "Bob 3 1 1 1 / 3 1 1 1");
    EXPECT_EQ(rowText(book, "Cat"), "Cat 2 0 0 2 / 2 0 0 2");

    book.addtomine(TallyBook::FiveKinds);
    EXPECT_EQ(ownText(book), "3 1 1 0");
}

TEST(TallyBook, HighScoreKeepsTheHighestAndTakesAnEqualOne) {
    TallyBook book;
    EXPECT_TRUE(book.checkhighscore("212"));
    EXPECT_FALSE(book.checkhighscore("211"));
    EXPECT_TRUE(book.checkhighscore("212"));
    EXPECT_FALSE(book.checkhighscore("lots")) << "not a number counts as 0";
    EXPECT_EQ(book.cell(TallyBook::HighScore, 0), "212");
    TallyBook fresh;
    EXPECT_TRUE(fresh.checkhighscore("x"));
    EXPECT_EQ(fresh.cell(TallyBook::HighScore, 0), "0");
}

TEST(TallyBook, NamesAreOneEntryWhateverTheirCaseAndTheLastCanGo) {
    TallyBook book;
    EXPECT_TRUE(book.startTallying("Bob"));
    EXPECT_FALSE(book.startTallying("BOB"));
    EXPECT_EQ(book.rowCount(), 2);
    book.addgame("bob", {"bob"}); // found by any case, but the win is the exact name's
    EXPECT_EQ(rowText(book, "Bob"), "Bob 1 0 0 1 / 1 0 0 1");
    EXPECT_FALSE(book.stopTallying("Cat"));
    EXPECT_TRUE(book.stopTallying("bOb"));
    EXPECT_EQ(book.rowCount(), 1);
    EXPECT_EQ(book.toText(), "9\r\n1\r\n0\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n");
}

TEST(TallyBook, TextIsColumnByColumnAndDamageKeepsWhatWasRead) {
    TallyBook book;
    book.startTallying("Ann");
    book.addgame("Ann", {"Ann"});
    book.checkhighscore("150");
    const QByteArray text = book.toText();
    EXPECT_EQ(text, "9\r\n2\r\n"
                    "0\r\nAnn\r\n"
                    "1\r\n1\r\n"
                    "0\r\n1\r\n"
                    "0\r\n0\r\n"
                    "150\r\n0\r\n"
                    "0\r\n1\r\n"
                    "0\r\n1\r\n"
                    "0\r\n0\r\n"
                    "0\r\n0\r\n");

    TallyBook read;
    EXPECT_EQ(read.readText(text), "");
    EXPECT_EQ(read.toText(), text);

    // Cut after column 2: its six cells stay, the rest read as 0.
    EXPECT_EQ(read.readText(text.left(text.indexOf("0\r\n0\r\n150"))),
              "it ends after 6 of its 18 cells");
    EXPECT_EQ(rowText(read, "Ann"), "Ann 1 1 0 0 / 0 0 0 0");
    EXPECT_EQ(ownText(read), "1 0 0 0");

    QByteArray bad = text;
    bad.replace("150", "1x0");
    EXPECT_EQ(read.readText(bad), "line 11 should be a count but reads \"1x0\"");
    EXPECT_EQ(ownText(read), "1 0 0 0");
    EXPECT_EQ(rowText(read, "Ann"), "Ann 1 1 0 0 / 1 1 0 0");

    EXPECT_NE(read.readText("9\r\n100001\r\n"), "");
    EXPECT_EQ(read.rowCount(), 1);
    EXPECT_NE(read.readText("8\r\n1\r\n"), "");
}

namespace {

class TallyFormTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        qputenv("DUNVEX_HOME", home.path().toLocal8Bit());
    }

    // Fills the current game's list the way the player window does.
    static void seat(Ttallylist& form, const QStringList& names) {
        form.checklist->clear();
        for (const QString& name : names) {
            auto* item = new QListWidgetItem(name, form.checklist);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(form.isTallied(name) ? Qt::Checked : Qt::Unchecked);
        }
    }
    static QStringList tallied(const Ttallylist& form) {
        QStringList names;
        for (int i = 0; i < form.listbox_tally->count(); ++i)
            names << form.listbox_tally->item(i)->text();
        return names;
    }
    // The open question of that name (answered ones wait for deletion).
    static QMessageBox* question(Ttallylist& form, const char* name) {
        for (QMessageBox* box : form.findChildren<QMessageBox*>(QString::fromLatin1(name)))
            if (box->isVisible())
                return box;
        return nullptr;
    }
    static void answer(QMessageBox* box, QMessageBox::StandardButton button) {
        ASSERT_NE(box, nullptr);
        box->button(button)->click();
    }

    QTemporaryDir home;
};

} // namespace

TEST_F(TallyFormTest, CheckingStartsATallyAndUncheckingAsksBeforeDeleting) {
    Ttallylist form;
    form.onLoadChecklist = [&] { seat(form, {"Bob", "Cat"}); };
    seat(form, {"Bob", "Cat"});
    form.checklist->item(0)->setCheckState(Qt::Checked);
    form.checklist->item(1)->setCheckState(Qt::Checked);
    form.checklist->item(1)->setCheckState(Qt::Unchecked); // unchecking stops nothing
    form.checklist->item(1)->setCheckState(Qt::Checked);   // nor adds a second row
    EXPECT_EQ(tallied(form), QStringList({"Bob", "Cat"}));
    EXPECT_EQ(form.book().rowCount(), 3);

    form.checkhighscore("180");
    form.addgame("Bob");
    form.addtomine(TallyBook::FiveKinds);
    EXPECT_EQ(form.mylabel[1]->text(), "1");
    EXPECT_EQ(form.mylabel[2]->text(), "0");
    EXPECT_EQ(form.mylabel[3]->text(), "1");
    EXPECT_EQ(form.mylabel[4]->text(), "180");
    form.listbox_tally->setCurrentRow(0);
    EXPECT_EQ(form.label_hisnametop->text(), "Bob's Tally");
    EXPECT_EQ(form.label_hisname->text(), "Bob Wins:");
    QStringList figures;
    for (int k = 1; k <= 8; ++k)
        figures << form.label[k]->text();
    EXPECT_EQ(figures.join(' '), "1 1 0 0 1 1 0 0");
    form.addgame(TallyBook::Mine); // the shown figures follow
    EXPECT_EQ(form.label[3]->text(), "1");
    EXPECT_EQ(form.label[7]->text(), "1");

    form.listbox_tally->item(0)->setCheckState(Qt::Unchecked);
    QMessageBox* box = question(form, "deletebox");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "This will delete Bob's Tally, Are you want to delete it?");
    answer(box, QMessageBox::No);
    EXPECT_EQ(form.listbox_tally->item(0)->checkState(), Qt::Checked);
    EXPECT_EQ(rowText(form.book(), "Bob"), "Bob 2 1 1 0 / 2 1 1 0");

    form.listbox_tally->item(0)->setCheckState(Qt::Unchecked);
    answer(question(form, "deletebox"), QMessageBox::Yes);
    EXPECT_EQ(tallied(form), QStringList({"Cat"}));
    EXPECT_EQ(rowText(form.book(), "Bob"), "not tallied");
    EXPECT_EQ(rowText(form.book(), "Cat"), "Cat 2 0 1 1 / 2 0 1 1");
}

TEST_F(TallyFormTest, ResetAsksAndThenEmptiesEverything) {
    Ttallylist form;
    seat(form, {"Bob"});
    form.checklist->item(0)->setCheckState(Qt::Checked);
    form.addgame(TallyBook::Mine);
    form.listbox_tally->setCurrentRow(0);

    form.button_resettally->click();
    QMessageBox* box = question(form, "resetbox");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Are you sure you want to reset the Tally?");
    answer(box, QMessageBox::No);
    EXPECT_EQ(form.mylabel[1]->text(), "1");
    EXPECT_EQ(form.book().rowCount(), 2);

    form.button_resettally->click();
    answer(question(form, "resetbox"), QMessageBox::Yes);
    EXPECT_EQ(form.book().toText(), TallyBook().toText());
    EXPECT_EQ(form.listbox_tally->count(), 0);
    EXPECT_EQ(form.mylabel[1]->text(), "0");
    EXPECT_EQ(form.mylabel[2]->text(), "0");
    EXPECT_EQ(form.label[1]->text(), "0");
    EXPECT_EQ(form.label[7]->text(), "0");
}
