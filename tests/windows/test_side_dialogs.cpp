// The start options, phrase editor, help and about windows, and the link
// launcher: real widgets offscreen, real settings files in a temporary folder.
#include "controls/SelButton.h"
#include "controls/SkinCheckBox.h"
#include "controls/SkinSpeedButton.h"
#include "controls/URL.h"
#include "platform/IniFile.h"
#include "support/TestSupport.h"
#include "windows/AboutForm.h"
#include "windows/GameStartForm.h"
#include "windows/HelpForm.h"
#include "windows/PhrasesForm.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTextBrowser>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

using namespace testsupport;

namespace {

// Each test gets its own data folder; links land in `opened` instead of a browser.
class SideDialogsTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        qputenv("DUNVEX_HOME", home.path().toLocal8Bit());
        controls::setShellOpenHandler([this](const QString& target) {
            opened << target;
            return shellResult;
        });
    }
    void TearDown() override { controls::setShellOpenHandler(nullptr); }

    QString settingsPath() const { return home.filePath("kelvlobby.ini"); }

    QTemporaryDir home;
    QStringList opened;
    bool shellResult = true;
};

QStringList ninePhrases(const QString& stem) {
    QStringList texts;
    for (int n = 1; n <= 9; ++n)
        texts << stem + QString::number(n);
    return texts;
}

} // namespace

TEST_F(SideDialogsTest, StartDialogReportsTheChosenOptionsAndHides) {
    Tgamestartform form;
    EXPECT_FALSE(form.team->Checked());
    EXPECT_FALSE(form.bonus->Checked());
    EXPECT_EQ(form.bonus->Caption(), "Bonus Dice Game");
    EXPECT_EQ(form.team->Caption(), "Team Game");
    std::vector<std::pair<bool, bool>> started;
    form.onStartGame = [&](bool bonus, bool team) { started.emplace_back(bonus, team); };
    const std::vector<std::pair<bool, bool>> choices{
        {false, false}, {true, false}, {false, true}, {true, true}};
    for (const auto& [bonus, team] : choices) {
        form.show();
        form.bonus->setChecked(bonus);
        form.team->setChecked(team);
        QTest::mouseClick(form.button_start, Qt::LeftButton);
        EXPECT_FALSE(form.isVisible());
    }
    EXPECT_EQ(started, choices);

    form.onStartGame = nullptr;
    form.show();
    form.button_startClick();
    EXPECT_FALSE(form.isVisible()) << "without a player window the dialog still hides";
}

TEST_F(SideDialogsTest, StartDialogOffersTheLastChoiceAgain) {
    Tgamestartform form;
    form.show();
    QTest::mouseClick(form.team, Qt::LeftButton);
    form.hide();
    form.show();
    EXPECT_TRUE(form.team->Checked());
    EXPECT_FALSE(form.bonus->Checked());
}

TEST_F(SideDialogsTest, PhraseEditsTakeAtMostFiftyCharacters) {
    Tphrases form;
    form.show();
    const QString typed = QString(50, QLatin1Char('a')) + QLatin1Char('b');
    QTest::keyClicks(form.phrase[4], typed);
    EXPECT_EQ(form.phrase[4]->text(), typed.left(50));
    EXPECT_EQ(form.phrase[4]->objectName(), "phrase4");
}

TEST_F(SideDialogsTest, DoneHandsBackAndStoresAllNinePhrases) {
    {
        QFile file(settingsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Lobby]\nNick=Ann\n\n[Dunvex]\nTop=10\nPhrase3=old\n");
    }
    Tphrases form;
    QStringList handedBack;
    form.onPhrasesChanged = [&](const QStringList& texts) { handedBack = texts; };
    form.setPhrases(ninePhrases("hello "));
    form.show();
    form.phrase[3]->clear();
    form.phrase[9]->setText("good game");
    QTest::mouseClick(form.SelButton8, Qt::LeftButton);

    QStringList expected = ninePhrases("hello ");
    expected[2].clear();
    expected[8] = "good game";
    EXPECT_EQ(handedBack, expected);
    EXPECT_FALSE(form.isVisible());
    platform::IniFile ini(settingsPath());
    for (int n = 1; n <= 9; ++n)
        EXPECT_EQ(ini.readString("Dunvex", QStringLiteral("Phrase%1").arg(n), "missing"),
                  expected.at(n - 1));
    EXPECT_EQ(ini.readString("Lobby", "Nick", ""), "Ann");
    EXPECT_EQ(ini.readInteger("Dunvex", "Top", 0), 10);
}

TEST_F(SideDialogsTest, ClosingThePhraseEditorOtherwiseDiscardsTheEdits) {
    Tphrases form;
    bool handedBack = false;
    form.onPhrasesChanged = [&](const QStringList&) { handedBack = true; };
    form.setPhrases(ninePhrases("p"));
    form.show();
    EXPECT_EQ(form.size(), QSize(354, 288)) << "the editor's size as designed";
    form.phrase[1]->setText("changed");
    form.close();
    EXPECT_FALSE(handedBack);
    EXPECT_FALSE(QFile::exists(settingsPath()));
    form.show();
    EXPECT_EQ(form.phrase[1]->text(), "p1");
}

TEST_F(SideDialogsTest, HelpPagesComeToTheFrontUnderTheirCaption) {
    Thelp help;
    bool aboutShown = false;
    help.onShowAbout = [&] { aboutShown = true; };
    help.show();
    EXPECT_EQ(help.pages->currentWidget(), help.memo[1]);
    EXPECT_EQ(help.label_caption->text(), "Overview");
    const QStringList captions{"Overview", "Connecting",    "Game Play",
                               "Scoring",  "Documentation", "License"};
    for (int tag = 6; tag >= 1; --tag) {
        SCOPED_TRACE(tag);
        EXPECT_EQ(help.SelButton[tag]->Caption(), captions.at(tag - 1));
        QTest::mouseClick(help.SelButton[tag], Qt::LeftButton);
        EXPECT_EQ(help.pages->currentWidget()->objectName(), QStringLiteral("memo%1").arg(tag));
        EXPECT_EQ(help.label_caption->text(), captions.at(tag - 1));
        EXPECT_TRUE(help.memo[tag]->toPlainText().startsWith(captions.at(tag - 1) + "\n\n"));
    }
    QTest::mouseClick(help.SelButton[4], Qt::LeftButton);
    QTest::mouseClick(help.button_done, Qt::LeftButton);
    EXPECT_FALSE(help.isVisible());
    help.show();
    EXPECT_EQ(help.pages->currentWidget(), help.memo[4]);
    EXPECT_EQ(help.label_caption->text(), "Scoring");
    QTest::mouseClick(help.button_about, Qt::LeftButton);
    EXPECT_TRUE(aboutShown);
}

TEST_F(SideDialogsTest, HelpPagesStateTheGamesRealNumbers) {
    Thelp help;
    const QString scoring = help.memo[4]->toPlainText();
    for (const char* rule :
         {"Full House: three of one number and two of another: 25", "30 points", "40 points",
          "50 points", "35 points", "higher than 63", "exactly 63 earns no bonus",
          "scores 24 as Fours", "Freebie: the sum of all five dice", "counts as a Full House"})
        EXPECT_TRUE(scoring.contains(QLatin1String(rule))) << rule;
    const QString connecting = help.memo[2]->toPlainText();
    EXPECT_TRUE(connecting.contains("port 7772"));
    EXPECT_TRUE(connecting.contains("dunvex NAME HOST-ADDRESS false"));
    const QString documentation = help.memo[5]->toPlainText();
    // The history starts with this very build.
    EXPECT_EQ(documentation.indexOf("Version "), documentation.indexOf("Version 1.0.3.13"));
    EXPECT_LT(documentation.indexOf("Version 1.0.3.13"), documentation.indexOf("Version 1.0.0.0"));
    EXPECT_TRUE(help.memo[6]->toPlainText().contains("MIT License"));
    EXPECT_EQ(help.label_notice1->text(), "Dunvex 1.0.3.13");
}

TEST_F(SideDialogsTest, AboutShowsTheLoginVersionAndOpensTheMakersSite) {
    Tabout about;
    about.show();
    EXPECT_EQ(about.version->text(), "1.0.3");
    EXPECT_EQ(about.label_build->text(), ".13");
    EXPECT_EQ(about.Label7->text(), "www.dunvex.example");
    EXPECT_EQ(about.URL1->URLType, TURL::utHttp);
    QTest::mouseClick(about.Label7, Qt::LeftButton);
    EXPECT_EQ(opened, QStringList{"http://www.dunvex.example"});
    QTest::mouseClick(about.button_done, Qt::LeftButton);
    EXPECT_FALSE(about.isVisible());
}

// Like any link, the maker's site opens when the left button comes up over
// it, not on the press, and not for the other button.
TEST_F(SideDialogsTest, TheMakersLinkOpensOnTheLeftButtonsRelease) {
    Tabout about;
    about.show();
    QTest::mousePress(about.Label7, Qt::LeftButton);
    EXPECT_TRUE(opened.isEmpty()) << "opened on the press";
    QTest::mouseRelease(about.Label7, Qt::LeftButton);
    EXPECT_EQ(opened, QStringList{"http://www.dunvex.example"});
    QTest::mouseClick(about.Label7, Qt::RightButton);
    EXPECT_EQ(opened.size(), 1);
}

TEST_F(SideDialogsTest, LinksGetThePrefixOfTheirType) {
    TURL link;
    EXPECT_EQ(link.URLType, TURL::utHttp);
    EXPECT_FALSE(link.open()) << "an empty address";
    EXPECT_TRUE(opened.isEmpty());

    link.URL = "example.org/x";
    const std::vector<std::pair<TURL::TURLType, QString>> prefixes{
        {TURL::utFile, "file://"}, {TURL::utFtp, "ftp://"},     {TURL::utGopher, "gopher://"},
        {TURL::utHttp, "http://"}, {TURL::utHttps, "https://"}, {TURL::utMailto, "mailto:"},
        {TURL::utNews, "news:"},   {TURL::utTelnet, "telnet:"}, {TURL::utWais, "wais:"},
        {TURL::utnone, ""}};
    QStringList expected;
    for (const auto& [type, prefix] : prefixes) {
        link.URLType = type;
        EXPECT_TRUE(link.open());
        expected << prefix + link.URL;
    }
    EXPECT_EQ(opened, expected);

    shellResult = false;
    EXPECT_FALSE(link.open()) << "the desktop's failure is reported";
}
