// The win tally: its table, its window offscreen, and its file in a temporary
// data folder.
#include "codec/FilePacker.h"
#include "controls/SelButton.h"
#include "platform/ExceptionHandler.h"
#include "support/FifoWatchdog.h"
#include "support/GameWindowTest.h"
#include "windows/TallyBook.h"
#include "windows/TallyListForm.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QUuid>
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

TEST(TallyBook, TextReadsBackAndCountsMustFitTheCells) {
    TallyBook book;
    book.startTallying("Ann");
    book.addgame("Ann", {"Ann"});
    book.checkhighscore("150");
    const QByteArray text = book.toText();
    TallyBook read;
    EXPECT_EQ(read.readText(text), "");
    EXPECT_EQ(read.toText(), text);

    // A count that is not one reads as 0; nothing else moves.
    QByteArray bad = text;
    bad.replace("150", "1x0");
    EXPECT_EQ(read.readText(bad), "line 11 should be a count but reads \"1x0\"");
    EXPECT_EQ(ownText(read), "1 0 0 0");
    EXPECT_EQ(rowText(read, "Ann"), "Ann 1 1 0 0 / 1 1 0 0");

    // Counts that do not fit the cells present: every cell would be read into
    // the wrong place, so none is.
    const auto whole = [&](const QByteArray& damaged, const QString& problem) {
        SCOPED_TRACE(damaged.left(40).toStdString());
        read.startTallying("Old");
        EXPECT_EQ(read.readText(damaged), problem);
        EXPECT_EQ(read.rowCount(), 1);
        EXPECT_EQ(ownText(read), "0 0 0 0");
    };
    whole(text.left(text.indexOf("0\r\n0\r\n150")), "it holds 6 cells where 2 rows need 18");
    whole(text + "0\r\n", "it holds 19 cells where 2 rows need 18");
    QByteArray tooMany = text;
    tooMany.replace(3, 1, "100000"); // the row count 2
    whole(tooMany, "it holds 18 cells where 100000 rows need 900000");
    whole("8\r\n1\r\n", "it does not start with the column count 9");
    whole("9\r\n100001\r\n", "its row count is not a number from 1 to 100000");

    // The most rows a tally holds, and one cell fewer.
    QByteArray most = "9\r\n100000\r\n0\r\n";
    for (int row = 1; row < 100000; ++row)
        most += "P" + QByteArray::number(row) + "\r\n";
    most += QByteArray("0\r\n").repeated(8 * 100000);
    EXPECT_EQ(read.readText(most), "");
    EXPECT_EQ(read.rowCount(), 100000);
    most.chop(3);
    EXPECT_EQ(read.readText(most), "it holds 899999 cells where 100000 rows need 900000");
    EXPECT_EQ(read.rowCount(), 1);

    // A line break inside a name never reaches the file as one.
    TallyBook broken;
    broken.startTallying("Evil\r\n99999");
    EXPECT_EQ(read.readText(broken.toText()), "");
    EXPECT_EQ(read.opponents(), QStringList({"Evil  99999"}));
}

namespace {

const QByteArray T(1, char(0xFF));

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// Packs or unpacks with the file packer, as dunvex-pack would.
void pack(bool compress, const QString& input, const QString& output) {
    TFilePacker doit;
    doit.CompressMode = TCompressMode::Fast;
    doit.InputFile = input.toStdString();
    doit.OutputFile = output.toStdString();
    compress ? doit.Compress() : doit.Decompress();
}

// Each test has its own data folder (DUNVEX_HOME) and counts error reports.
class TallyFormTest : public GameWindowTest {
protected:
    void SetUp() override {
        GameWindowTest::SetUp();
        platform::setExceptionHandler([this](const std::exception& error) {
            reports << QString::fromLocal8Bit(error.what());
        });
    }
    void TearDown() override { platform::setExceptionHandler(nullptr); }

    QString tallyPath() const { return home.filePath("dunvextally.tld"); }

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

    QStringList reports;
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

TEST_F(TallyFormTest, ResetAsksAndThenTheFileHoldsAnEmptyTally) {
    {
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
        EXPECT_EQ(form.listbox_tally->count(), 0);
        EXPECT_EQ(form.mylabel[1]->text(), "0");
        EXPECT_EQ(form.mylabel[2]->text(), "0");
        EXPECT_EQ(form.label[7]->text(), "0");
    }
    QTemporaryDir work;
    pack(false, tallyPath(), work.filePath("text"));
    EXPECT_EQ(fileBytes(work.filePath("text")), "9\r\n1\r\n" + QByteArray("0\r\n").repeated(9));
}

TEST_F(TallyFormTest, OneRunsTallyIsTheNextRunsWithANewSession) {
    {
        Ttallylist form;
        EXPECT_EQ(form.tallyPath(), tallyPath());
        seat(form, {"Bob"});
        form.checklist->item(0)->setCheckState(Qt::Checked);
        form.checkhighscore("99");
        form.addgame(TallyBook::Mine);
    }
    EXPECT_EQ(QDir(home.path()).entryList(QDir::Files), QStringList({"dunvextally.tld"}));
    EXPECT_TRUE(fileBytes(tallyPath()).startsWith("WRZL"));
    QTemporaryDir work;
    pack(false, tallyPath(), work.filePath("text"));
    EXPECT_EQ(fileBytes(work.filePath("text")), "9\r\n2\r\n"
                                                "0\r\nBob\r\n"
                                                "1\r\n1\r\n"
                                                "1\r\n0\r\n"
                                                "0\r\n1\r\n"
                                                "99\r\n0\r\n"
                                                "0\r\n1\r\n"
                                                "0\r\n0\r\n"
                                                "0\r\n1\r\n"
                                                "0\r\n0\r\n");

    Ttallylist next;
    EXPECT_TRUE(reports.isEmpty());
    EXPECT_EQ(next.mylabel[1]->text(), "1");
    EXPECT_EQ(next.mylabel[2]->text(), "1");
    EXPECT_EQ(next.mylabel[4]->text(), "99");
    EXPECT_EQ(tallied(next), QStringList({"Bob"}));
    EXPECT_EQ(next.listbox_tally->item(0)->checkState(), Qt::Checked);
    EXPECT_EQ(rowText(next.book(), "Bob"), "Bob 1 0 1 0 / 0 0 0 0");
}

TEST_F(TallyFormTest, DamagedFileIsReportedOnceAndKeptAside) {
    {
        QFile text(home.filePath("cut.txt"));
        ASSERT_TRUE(text.open(QIODevice::WriteOnly));
        // A row count far above the cells present: no cell may land anywhere.
        text.write("9\r\n100000\r\n0\r\nAnn\r\n12\r\n5\r\n4\r\n3\r\n");
    }
    pack(true, home.filePath("cut.txt"), tallyPath());
    QFile::remove(home.filePath("cut.txt"));
    const QByteArray damaged = fileBytes(tallyPath());
    {
        Ttallylist form;
        ASSERT_EQ(reports.size(), 1);
        EXPECT_TRUE(reports[0].contains("it holds 6 cells where 100000 rows need 900000"))
            << reports[0].toStdString();
        EXPECT_TRUE(reports[0].contains(tallyPath() + ".damaged"));
        EXPECT_EQ(form.mylabel[1]->text(), "0");
        EXPECT_EQ(form.book().rowCount(), 1);
        EXPECT_EQ(form.listbox_tally->count(), 0);
        EXPECT_EQ(fileBytes(tallyPath()), damaged) << "untouched until the game closes";
        seat(form, {"Bob"});
        form.checklist->item(0)->setCheckState(Qt::Checked);
        form.addgame(TallyBook::Mine);
    }
    EXPECT_EQ(reports.size(), 1);
    EXPECT_EQ(fileBytes(tallyPath() + ".damaged"), damaged);
    TallyBook saved;
    EXPECT_EQ(saved.load(tallyPath()), "");
    EXPECT_EQ(ownText(saved), "1 1 0 0");
    EXPECT_EQ(saved.opponents(), QStringList({"Bob"}));

    // Bytes that are no container at all: the packer's own complaint, an empty tally.
    QFile garbage(tallyPath());
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly | QIODevice::Truncate));
    garbage.write("not a tally");
    garbage.close();
    Ttallylist form;
    ASSERT_EQ(reports.size(), 2);
    EXPECT_TRUE(reports[1].contains(tallyPath() + " : Packer decompression : this file has no "
                                                  "valid header !"))
        << reports[1].toStdString();
    EXPECT_EQ(form.book().rowCount(), 1);
}

// A FIFO where the tally file belongs is reported at start like a damaged
// file, moved aside at the end, and a whole tally saved in its place.
TEST_F(TallyFormTest, FifoAsTallyFileIsReportedAtOnce) {
    FifoWatchdog fifo(QFile::encodeName(tallyPath()));
    ASSERT_TRUE(fifo.made());
    {
        Ttallylist form;
        EXPECT_EQ(reports.size(), 1);
        EXPECT_TRUE(reports.value(0).contains("(not a regular file)"))
            << reports.value(0).toStdString();
        form.addtomine(TallyBook::FiveKinds);
    }
    EXPECT_FALSE(fifo.released()) << "the tally waited for a writer";
    EXPECT_TRUE(QFileInfo(tallyPath() + ".damaged").exists());
    EXPECT_FALSE(QFileInfo(tallyPath() + ".damaged").isFile());
    TallyBook saved;
    EXPECT_EQ(saved.load(tallyPath()), "");
    EXPECT_EQ(ownText(saved), "0 0 1 0");
}

// A hostile host's name with a line break in it: one opponent whose break
// became spaces, tallied, saved and read back by the next run with every own
// total in its place.
TEST_F(TallyFormTest, NameWithALineBreakStaysOneCell) {
    const QString evil = QStringLiteral("Evil  99999");
    {
        RawSocket link;
        auto game = joinFakeHost(link);
        Tchat& chat = game->chat();
        Ttallylist& tally = *game->forms().tallylist;
        ASSERT_TRUE(link.sendAll("CMD_sendlogininfo+2" + T + "CMD_newplayerinfo+1+Evil\r\n99999" +
                                 T + "CMD_newplayerinfo+2+Ann" + T));
        ASSERT_TRUE(waitForLine(chat, "Evil  99999 is Connected."));
        EXPECT_EQ(ui(chat).label_playername[1]->text(), evil);
        ui(chat).ViewTally1->trigger();
        ASSERT_EQ(tally.checklist->count(), 1);
        EXPECT_EQ(tally.checklist->item(0)->text(), evil);
        tally.checklist->item(0)->setCheckState(Qt::Checked);
        ASSERT_TRUE(link.sendAll("CMD_pscore+2+50+11+1000+1000+1000+1000+1000+1000+1000+1000+"
                                 "1000+1000+50+1000+0+0+50" +
                                 T + "CMD_winner+Evil\r\n99999+120+" + T));
        ASSERT_TRUE(waitFor([&] { return ui(chat).label_winner->isVisible(); }));
        EXPECT_EQ(ownText(tally.book()), "1 0 1 50");
        EXPECT_EQ(rowText(tally.book(), evil), "Evil  99999 1 1 0 0 / 1 1 0 0");
    }
    Ttallylist next;
    EXPECT_TRUE(reports.isEmpty()) << reports.value(0).toStdString();
    EXPECT_EQ(ownText(next.book()), "1 0 1 50");
    EXPECT_EQ(next.book().opponents(), QStringList({evil}));
    EXPECT_EQ(rowText(next.book(), evil), "Evil  99999 1 1 0 0 / 0 0 0 0");
}

// The player window feeds the tally; a watcher's records nothing.
TEST_F(TallyFormTest, PlayerWindowRecordsItsGamesAndAWatcherNothing) {
    RawSocket link;
    auto game = joinFakeHost(link);
    Tchat& chat = game->chat();
    Ttallylist& tally = *game->forms().tallylist;
    ASSERT_TRUE(link.sendAll("CMD_sendlogininfo+2" + T + "CMD_newplayerinfo+1+Host" + T +
                             "CMD_newplayerinfo+2+Ann" + T + "CMD_newplayerinfo+3+Cat" + T));
    ASSERT_TRUE(waitForLine(chat, "Cat is Connected."));
    ui(chat).ViewTally1->trigger();
    EXPECT_TRUE(tally.isVisible());
    ASSERT_EQ(tally.checklist->count(), 2);
    EXPECT_EQ(tally.checklist->item(0)->text(), "Host");
    EXPECT_EQ(tally.checklist->item(1)->text(), "Cat");
    tally.checklist->item(0)->setCheckState(Qt::Checked);

    ASSERT_TRUE(link.sendAll("CMD_pscore+2+50+11+1000+1000+1000+1000+1000+1000+1000+1000+1000+"
                             "1000+50+1000+0+0+50" +
                             T + "CMD_winner+Host+120+" + T));
    ASSERT_TRUE(waitFor([&] { return ui(chat).label_winner->isVisible(); }));
    EXPECT_EQ(ownText(tally.book()), "1 0 1 50");
    EXPECT_EQ(rowText(tally.book(), "Host"), "Host 1 1 0 0 / 1 1 0 0");
    EXPECT_EQ(rowText(tally.book(), "Cat"), "not tallied");

    // Now a spectator, the same window sees another game end.
    ASSERT_TRUE(link.sendAll("CMD_sendlogininfo+6" + T + "CMD_winner+Ann+130+" + T +
                             "CMD_chat+barrier|clBlack" + T));
    ASSERT_TRUE(waitForText(chat, "barrier"));
    EXPECT_EQ(ownText(tally.book()), "1 0 1 50");
    EXPECT_EQ(rowText(tally.book(), "Host"), "Host 1 1 0 0 / 1 1 0 0");
}

// A saving program killed at any moment leaves one whole tally: a child saves
// 5000 opponents in a loop, save k with k games against each, until SIGKILL.
TEST(TallyFile, KillDuringASaveLeavesAWholeTally) {
    QTemporaryDir home;
    const QString path = home.filePath("dunvextally.tld");
    for (int round = 1; round <= 3; ++round) {
        QProcess saver;
        saver.start(QStringLiteral(TALLY_SAVER), {path, QStringLiteral("5000")});
        QByteArray output;
        const QByteArray enough = "saved " + QByteArray::number(round * 2) + "\n";
        ASSERT_TRUE(waitFor(
            [&] {
                output += saver.readAllStandardOutput();
                return output.contains(enough) || saver.state() == QProcess::NotRunning;
            },
            60000));
        ASSERT_EQ(saver.state(), QProcess::Running) << saver.readAllStandardError().toStdString();
        saver.kill();
        ASSERT_TRUE(saver.waitForFinished());

        TallyBook book;
        ASSERT_EQ(book.load(path), "") << "round " << round;
        ASSERT_EQ(book.rowCount(), 5001);
        const QString games = book.cell(TallyBook::Games, 0);
        EXPECT_GE(games.toInt(), round * 2);
        int whole = 0;
        for (int row = 1; row < book.rowCount(); ++row)
            whole += book.cell(TallyBook::Together, row) == games;
        EXPECT_EQ(whole, 5000) << "every opponent from the same save";
    }
}

// A logout's polite stop (SIGTERM) still saves: the game leaves through its event loop.
TEST(TallyFile, TerminatedGameSavesItsTally) {
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("QT_LOGGING_RULES", "dunvex.*.info=true");
    environment.insert("DUNVEX_PORT", QString::number(freeTcpPort()));
    environment.insert("DUNVEX_LOBBY_PORT", QString::number(freeTcpPort()));
    environment.insert("DUNVEX_INSTANCE", QUuid::createUuid().toString(QUuid::WithoutBraces));
    environment.insert("DUNVEX_HOME", home.path());
    QProcess game;
    game.setProcessEnvironment(environment);
    game.setProcessChannelMode(QProcess::MergedChannels);
    game.start(gameProgram(), {"Ann", "127.0.0.1", "true"});
    QByteArray output;
    ASSERT_TRUE(waitFor([&] {
        output += game.readAll();
        return output.contains("slot 1 taken");
    })) << output.toStdString();
    game.terminate();
    ASSERT_TRUE(game.waitForFinished(10000));
    EXPECT_EQ(game.exitStatus(), QProcess::NormalExit);
    const QString path = home.filePath("dunvextally.tld");
    ASSERT_TRUE(QFile::exists(path));
    TallyBook book;
    EXPECT_EQ(book.load(path), "");
}
