// The shared settings file: real files in a temporary folder.
#include "platform/IniFile.h"
#include "support/FifoWatchdog.h"

#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>

using platform::IniFile;

namespace {

void writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(IniFile, MissingFileReadsAsDefaultsAndIsCreatedBySave) {
    QTemporaryDir folder;
    const QString path = folder.filePath("kelvlobby.ini");
    IniFile ini(path);
    EXPECT_EQ(ini.readInteger("Dunvex", "Width", 783), 783);
    EXPECT_EQ(ini.readString("Dunvex", "Textcolor", "clblack"), "clblack");
    ini.writeInteger("Dunvex", "Width", 800);
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(IniFile(path).readInteger("Dunvex", "width", 0), 800) << "keys ignore case";
}

// A signal that broke some earlier call leaves EINTR in errno; the settings
// are read whole all the same.
TEST(IniFile, AnEarlierInterruptedCallDoesNotSpoilReading) {
    QTemporaryDir folder;
    const QString path = folder.filePath("kelvlobby.ini");
    writeFile(path, "[Dunvex]\nWidth=800\n");
    errno = EINTR;
    IniFile ini(path);
    EXPECT_EQ(ini.readInteger("Dunvex", "Width", 783), 800);
}

TEST(IniFile, UnreadableNumbersFallBackPerKey) {
    QTemporaryDir folder;
    const QString path = folder.filePath("kelvlobby.ini");
    writeFile(path, "[Dunvex]\nTop=abc\nLeft=12\nWidth=\nHeight=99999999999\n");
    IniFile ini(path);
    EXPECT_EQ(ini.readInteger("Dunvex", "Top", 3), 3);
    EXPECT_EQ(ini.readInteger("Dunvex", "Left", 3), 12);
    EXPECT_EQ(ini.readInteger("Dunvex", "Width", 783), 783);
    EXPECT_EQ(ini.readInteger("Dunvex", "Height", 512), 512);
}

TEST(IniFile, OtherSectionsSurviveASave) {
    QTemporaryDir folder;
    const QString path = folder.filePath("kelvlobby.ini");
    writeFile(path, "[Lobby]\nServer=games.example\nNick=Ann\n\n[Dunvex]\nTop=10\n");
    IniFile ini(path);
    ini.writeInteger("Dunvex", "Top", 20);
    ini.writeInteger("Dunvex", "Left", 30);
    ASSERT_TRUE(ini.save());
    IniFile reread(path);
    EXPECT_EQ(reread.readString("Lobby", "Server", ""), "games.example");
    EXPECT_EQ(reread.readString("Lobby", "Nick", ""), "Ann");
    EXPECT_EQ(reread.readInteger("Dunvex", "Top", 0), 20);
    const QByteArray text = readFile(path);
    EXPECT_LT(text.indexOf("Top"), text.indexOf("Left")) << "new keys follow the existing ones";
}

TEST(IniFile, GarbageFileNeitherCrashesNorBlocksSaving) {
    QTemporaryDir folder;
    const QString path = folder.filePath("kelvlobby.ini");
    QByteArray junk;
    for (int i = 0; i < 4096; ++i)
        junk += char(i * 31 + 7);
    writeFile(path, junk);
    IniFile ini(path);
    EXPECT_EQ(ini.readInteger("Dunvex", "Top", 3), 3);
    ini.writeInteger("Dunvex", "Top", 4);
    EXPECT_TRUE(ini.save());
    EXPECT_EQ(IniFile(path).readInteger("Dunvex", "Top", 0), 4);
}

TEST(IniFile, UnwritableFileReportsFailure) {
    QTemporaryDir folder;
    IniFile ini(folder.filePath("no-such-folder/kelvlobby.ini"));
    ini.writeInteger("Dunvex", "Top", 4);
    EXPECT_FALSE(ini.save());
}

namespace {

QStringList warnings;

void keepWarning(QtMsgType, const QMessageLogContext&, const QString& message) {
    warnings << message;
}

} // namespace

// A FIFO in place of the file is not read (reading would wait for a writer):
// defaults at once, a warning, and the next save puts a file in its place.
TEST(IniFile, FifoInPlaceOfTheFileReadsAsDefaultsAtOnce) {
    QTemporaryDir folder;
    const QString path = folder.filePath("kelvlobby.ini");
    testsupport::FifoWatchdog fifo(QFile::encodeName(path));
    ASSERT_TRUE(fifo.made());
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepWarning);
    IniFile ini(path);
    qInstallMessageHandler(previous);
    EXPECT_EQ(ini.readInteger("Dunvex", "Top", 3), 3);
    ini.writeInteger("Dunvex", "Top", 4);
    EXPECT_TRUE(ini.save());
    EXPECT_FALSE(fifo.released()) << "the settings waited for a writer";
    EXPECT_EQ(warnings, QStringList({"the settings file " + path +
                                     " could not be read (not a regular file); the defaults "
                                     "are used"}));
    EXPECT_EQ(readFile(path), "[Dunvex]\nTop=4\n");
}
